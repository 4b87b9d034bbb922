#include "tools/capture_tool.h"

#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>

#include "capture/ax_node.h"
#include "capture/json_text.h"

namespace zel::tools {

const char* const captureUsage = "usage: zel-capture text FILE...";

namespace {

struct Io {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  int status = 0;

  void problem(const std::string& file, const std::string& what) {
    err << "zel-capture: " << file << ": " << what << '\n';
    status = 2;
  }
  void line(const Json& value) {
    if (auto text = encodeJSON(value)) out << *text << '\n';
  }
};

std::optional<std::string> readFile(const std::string& name, Io& io) {
  if (name == "-") return std::string(std::istreambuf_iterator<char>(io.in), {});
  std::ifstream file(name, std::ios::binary);
  if (!file) {
    io.problem(name, "cannot be opened");
    return std::nullopt;
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad()) {
    io.problem(name, "cannot be read");
    return std::nullopt;
  }
  return bytes.str();
}

// Reads every file as window trees and hands each file's windows on; a file
// that cannot be read or decoded is reported and skipped.
void forEachTreeFile(const std::vector<std::string>& files, Io& io,
                     const std::function<void(std::vector<AXNode>&)>& use) {
  for (const auto& name : files) {
    auto bytes = readFile(name, io);
    if (!bytes) continue;
    auto windows = decodeWindows(*bytes);
    if (!windows) {
      io.problem(name, windows.error());
      continue;
    }
    use(windows.value());
  }
}

void textCommand(const std::vector<std::string>& files, Io& io) {
  forEachTreeFile(files, io, [&](std::vector<AXNode>& windows) {
    for (const AXNode& w : windows) io.line(Json{{"text", w.text()}, {"texts", w.texts()}});
  });
}

}  // namespace

int runCaptureTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  Io io{in, out, err};
  if (args.size() >= 2 && args[0] == "text") {
    textCommand({args.begin() + 1, args.end()}, io);
    out.flush();
    return io.status;
  }
  err << captureUsage << '\n';
  return 1;
}

}  // namespace zel::tools
