#include "platform/simulated/desktop.h"

#include <fstream>
#include <set>
#include <type_traits>

#include "base/date.h"
#include "base/json_document.h"
#include "base/json_fields.h"
#include "base/json_text.h"

namespace zel::platform {

namespace {

using nlohmann::json;
using R = Result<Desktop>;

struct Problem {
  std::string what;
};

const json* member(const json& j, const char* key) {
  auto it = j.find(key);
  return it == j.end() ? nullptr : &*it;
}

// Runs one read of JsonFields, its problem worded with the place it is at.
template <class Read>
std::invoke_result_t<Read, const JsonFields&> fields(const json& j, const std::string& where, Read&& read) {
  try {
    return read(JsonFields(j));
  } catch (const JsonFieldProblem& p) {
    throw Problem{where + ": \"" + p.key + "\" " + std::string(mustBe(p.kind))};
  }
}

std::optional<std::string> optionalText(const json& j, const char* key, const std::string& where) {
  return fields(j, where, [&](const JsonFields& f) { return f.optionalText(key); });
}

std::vector<std::string> texts(const json& j, const char* key, const std::string& where) {
  return fields(j, where, [&](const JsonFields& f) { return f.optionalTexts(key).value_or(std::vector<std::string>{}); });
}

// Adds the element tree `root` to the flat list, without recursion; returns
// the root's index. Where an element sits is spelled out only for an error,
// so that deep trees are not slowed by paths.
ElementIndex addTree(const json& root, std::vector<DesktopElement>& elements, const std::string& where) {
  struct Job {
    const json* node;
    std::optional<ElementIndex> parent;
    size_t position;  // among the parent's children
  };
  const auto rootIndex = static_cast<ElementIndex>(elements.size());
  std::vector<std::pair<ElementIndex, size_t>> origin;  // per element of this tree: parent, position
  auto pathOf = [&](std::optional<ElementIndex> parent, size_t position, bool isRoot) {
    std::vector<size_t> positions;
    if (!isRoot) positions.push_back(position);
    for (auto p = parent; p && *p != rootIndex;) {
      const auto& [up, at] = origin[*p - rootIndex];
      positions.push_back(at);
      p = up;
    }
    return childrenPath(where, std::vector<size_t>(positions.rbegin(), positions.rend()));
  };

  std::vector<Job> jobs{{&root, std::nullopt, 0}};
  while (!jobs.empty()) {
    const Job job = jobs.back();
    jobs.pop_back();
    const json& j = *job.node;
    try {
      if (!j.is_object()) throw Problem{"an element must be an object"};
      if (elements.size() >= UINT32_MAX) throw Problem{"too many elements"};
      DesktopElement e;
      const JsonFields f(j);
      e.role = f.optionalText("role");
      e.subrole = f.optionalText("subrole");
      e.title = f.optionalText("title");
      e.desc = f.optionalText("desc");
      e.domID = f.optionalText("domID");
      e.url = f.optionalText("url");
      e.identifier = f.optionalText("identifier");
      e.watch = f.optionalText("watch");
      if (const json* v = member(j, "value"); v && !v->is_null()) {
        if (v->is_string()) e.value = v->get<std::string>();
        else if (v->is_boolean()) e.value = v->get<bool>();
        else if (v->is_number_integer() && !(v->is_number_unsigned() && v->get<uint64_t>() > uint64_t(INT64_MAX)))
          e.value = v->get<int64_t>();
        else if (v->is_number()) e.value = v->get<double>();
        else throw Problem{"\"value\" must be a text, a number or a boolean"};
      }
      if (auto classes = f.optionalTexts("domClasses")) e.domClasses = std::move(*classes);
      if (auto unreadable = f.optionalTexts("unreadable")) e.unreadable = std::move(*unreadable);
      const json* kids = member(j, "children");
      if (kids && !kids->is_array()) throw Problem{"\"children\" must be a list of elements"};

      const auto index = static_cast<ElementIndex>(elements.size());
      elements.push_back(std::move(e));
      origin.emplace_back(job.parent.value_or(index), job.position);
      if (job.parent) elements[*job.parent].children.push_back(index);
      // Children are pushed in reverse so that they are added in order.
      if (kids)
        for (size_t i = kids->size(); i-- > 0;) jobs.push_back({&(*kids)[i], index, i});
    } catch (const Problem& p) {
      throw Problem{pathOf(job.parent, job.position, !job.parent) + ": " + p.what};
    } catch (const JsonFieldProblem& p) {
      throw Problem{pathOf(job.parent, job.position, !job.parent) + ": \"" + p.key + "\" " + std::string(mustBe(p.kind))};
    }
  }
  return rootIndex;
}

DesktopApp decodeApp(const json& j, std::vector<DesktopElement>& elements, const std::string& where) {
  if (!j.is_object()) throw Problem{where + ": must be an object"};
  DesktopApp app;
  const json* bundle = member(j, "bundleID");
  if (!bundle || !bundle->is_string()) throw Problem{where + ": \"bundleID\" must be a text"};
  app.bundleID = bundle->get<std::string>();
  const json* pid = member(j, "pid");
  if (!pid || !pid->is_number_integer() || (pid->is_number_unsigned() && pid->get<uint64_t>() > INT32_MAX) ||
      pid->get<int64_t>() < INT32_MIN || pid->get<int64_t>() > INT32_MAX)
    throw Problem{where + ": \"pid\" must be a 32-bit integer"};
  app.pid = static_cast<Pid>(pid->get<int64_t>());
  if (const json* v = member(j, "launched"); v && !v->is_null())
    app.launched = fields(j, where, [](const JsonFields& f) { return f.date("launched"); }).sinceReference;
  if (const json* v = member(j, "signature")) {
    const std::string s = v->is_string() ? v->get<std::string>() : "";
    if (s == "vendors") app.signature = SignatureVerdict::vendors;
    else if (s == "refused") app.signature = SignatureVerdict::refused;
    else if (s == "changedOnDisk") app.signature = SignatureVerdict::changedOnDisk;
    else throw Problem{where + ": \"signature\" must be \"vendors\", \"refused\" or \"changedOnDisk\""};
  }
  if (const json* v = member(j, "languages")) app.languages = *v;
  if (member(j, "menuBar")) app.menuBar = texts(j, "menuBar", where);
  app.treeNeeds = optionalText(j, "treeNeeds", where);
  if (const json* v = member(j, "windowsError")) {
    if (!v->is_number_integer() || v->get<int64_t>() < INT32_MIN || v->get<int64_t>() > INT32_MAX)
      throw Problem{where + ": \"windowsError\" must be an integer"};
    app.windowsError = static_cast<int32_t>(v->get<int64_t>());
  }
  if (const json* windows = member(j, "windows")) {
    if (!windows->is_array()) throw Problem{where + ": \"windows\" must be a list of elements"};
    for (size_t i = 0; i < windows->size(); ++i)
      app.windows.push_back(addTree((*windows)[i], elements, where + ".windows[" + std::to_string(i) + "]"));
  }
  for (const char* key : {"focusedWindow", "mainWindow"}) {
    const json* v = member(j, key);
    if (!v || v->is_null()) continue;
    std::optional<ElementIndex> index;
    if (v->is_number_integer()) {
      const int64_t i = v->get<int64_t>();
      if (i < 0 || static_cast<uint64_t>(i) >= app.windows.size())
        throw Problem{where + ": \"" + key + "\" names no window"};
      index = app.windows[static_cast<size_t>(i)];
    } else {
      index = addTree(*v, elements, where + "." + key);
    }
    (std::string_view(key) == "focusedWindow" ? app.focusedWindow : app.mainWindow) = index;
  }
  return app;
}

}  // namespace

const DesktopApp* Desktop::app(Pid pid) const {
  for (const auto& a : apps)
    if (a.pid == pid) return &a;
  return nullptr;
}

Result<Desktop> Desktop::decode(std::string_view text) {
  // Read so that a file larger than the memory there is ends as
  // std::bad_alloc, which the caller reports, never as an abort.
  JsonDocument document;
  if (auto why = document.read(text)) return R::failure(*why);
  const json& j = document.value();
  if (!j.is_object()) return R::failure("the desktop must be a JSON object");

  try {
    Desktop d;
    if (const json* v = member(j, "trusted")) {
      if (!v->is_boolean()) throw Problem{"\"trusted\" must be true or false"};
      d.trusted = v->get<bool>();
    }
    d.front = optionalText(j, "front", "desktop");
    if (const json* v = member(j, "idleSeconds")) {
      if (!v->is_number()) throw Problem{"\"idleSeconds\" must be a number"};
      d.idleSeconds = v->get<double>();
    }
    if (const json* v = member(j, "session"); v && !v->is_null()) {
      if (!v->is_object()) throw Problem{"\"session\" must be an object or null"};
      const json* flag = member(*v, "CGSSessionScreenIsLocked");
      d.screenLockFlag = flag && flag->is_boolean() && flag->get<bool>();
    }
    if (const json* v = member(j, "displays")) {
      if (!v->is_array()) throw Problem{"\"displays\" must be a list"};
      for (const json& display : *v) {
        const json* asleep = display.is_object() ? member(display, "asleep") : nullptr;
        if (!asleep || !asleep->is_boolean()) throw Problem{"each display must be {\"asleep\": true or false}"};
        d.displaysAsleep.push_back(asleep->get<bool>());
      }
    }
    if (const json* apps = member(j, "apps")) {
      if (!apps->is_array()) throw Problem{"\"apps\" must be a list"};
      std::set<Pid> pids;
      for (size_t i = 0; i < apps->size(); ++i) {
        const std::string where = "app " + std::to_string(i);
        DesktopApp app = decodeApp((*apps)[i], d.elements, where);
        if (!pids.insert(app.pid).second) throw Problem{where + ": pid " + std::to_string(app.pid) + " is used twice"};
        d.apps.push_back(std::move(app));
      }
    }
    return d;
  } catch (const Problem& p) {
    return R::failure(p.what);
  }
}

Result<Desktop> Desktop::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return R::failure(path + ": cannot be read");
  // One copy of the text, of the size the file has.
  const std::streamoff size = in.tellg();
  if (size < 0) return R::failure(path + ": cannot be read");
  std::string bytes(static_cast<size_t>(size), '\0');
  in.seekg(0);
  if (!in.read(bytes.data(), size)) return R::failure(path + ": cannot be read");
  auto d = decode(bytes);
  if (!d) return R::failure(path + ": " + d.error());
  return d;
}

}  // namespace zel::platform
