#include "support/trees.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zel::test {

trees::AXNode el(std::optional<std::string> role, std::vector<trees::AXNode> children) {
  trees::AXNode n;
  n.role = std::move(role);
  n.children = std::move(children);
  return n;
}

trees::AXNode st(std::string value) {
  trees::AXNode n = el("AXStaticText");
  n.value = std::move(value);
  return n;
}

trees::AXNode titled(trees::AXNode n, std::string title) {
  n.title = std::move(title);
  return n;
}
trees::AXNode valued(trees::AXNode n, std::string value) {
  n.value = std::move(value);
  return n;
}
trees::AXNode described(trees::AXNode n, std::string desc) {
  n.desc = std::move(desc);
  return n;
}
trees::AXNode classed(trees::AXNode n, std::vector<std::string> classes) {
  n.domClasses = std::move(classes);
  return n;
}

trees::AXNode subroled(trees::AXNode n, std::string subrole) {
  n.subrole = std::move(subrole);
  return n;
}

trees::AXNode withID(trees::AXNode n, std::string domID) {
  n.domID = std::move(domID);
  return n;
}

trees::AXNode link(std::string url, std::vector<trees::AXNode> children) {
  trees::AXNode n = el("AXLink", std::move(children));
  n.url = std::move(url);
  return n;
}

trees::AXNode image(std::string url) {
  trees::AXNode n = el("AXImage");
  n.url = std::move(url);
  return n;
}

void editAll(trees::AXNode& root, const std::function<void(trees::AXNode&)>& change) {
  std::vector<trees::AXNode*> pending{&root};
  while (!pending.empty()) {
    trees::AXNode* n = pending.back();
    pending.pop_back();
    change(*n);
    for (trees::AXNode& c : n->children) pending.push_back(&c);
  }
}

trees::AXNode chain(size_t depth) {
  trees::AXNode cur = st("end");
  for (size_t i = 1; i < depth; ++i) {
    trees::AXNode parent = el("AXGroup");
    parent.children.push_back(std::move(cur));
    cur = std::move(parent);
  }
  return cur;
}

trees::AXNode syntheticWindow(size_t target) {
  trees::AXNode thread = classed(el("AXGroup"), {"flex", "flex-col"});
  size_t count = 0;
  auto paragraph = [&](size_t i) {
    count += 4;
    return classed(el("AXGroup", {st("Paragraph " + std::to_string(i) + " says something "),
                                  el("AXLink", {st("a link")}), st(" and goes on.")}),
                   {"_Paragraph_x1"});
  };
  for (size_t turn = 0; count < target; ++turn) {
    trees::AXNode message = classed(el("AXGroup"), {"group/turn-messages", "message"});
    message.children.push_back(el("AXHeading", {st(turn % 2 ? "ChatGPT said:" : "You said:")}));
    count += 3;
    for (size_t p = 0; p < 6; ++p) message.children.push_back(paragraph(p));
    trees::AXNode list = el("AXList");
    for (size_t i = 0; i < 4; ++i)
      list.children.push_back(el("AXGroup", {titled(el("AXListMarker"), "\u2022"), st("item " + std::to_string(i))}));
    count += 13;
    message.children.push_back(std::move(list));
    trees::AXNode table = el("AXTable");
    for (size_t r = 0; r < 3; ++r) {
      trees::AXNode row = el("AXRow");
      for (size_t c = 0; c < 3; ++c) row.children.push_back(el("AXCell", {st("r" + std::to_string(r) + "c" + std::to_string(c))}));
      table.children.push_back(std::move(row));
    }
    count += 22;
    message.children.push_back(std::move(table));
    message.children.push_back(classed(el("AXGroup", {st("int main() {\n  return 0;\n}")}), {"_CodeBlock_y"}));
    message.children.push_back(described(el("AXButton", {st("Copy")}), "Copy"));
    count += 4;
    thread.children.push_back(std::move(message));
  }
  trees::AXNode main = el("AXGroup", {std::move(thread)});
  main.subrole = "AXLandmarkMain";
  trees::AXNode web =
      titled(el("AXWebArea", {el("AXToolbar", {described(el("AXButton"), "Back")}), std::move(main)}), "Chat");
  web.url = "https://chatgpt.com/c/0123abcd-0123-4567-89ab-0123456789ab";
  return titled(el("AXWindow", {std::move(web)}), "Chat");
}

trees::AXNode fixtureWindow(const std::string& name) {
  std::ifstream in(std::string(ZEL_FIXTURES) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  auto windows = trees::decodeWindows(bytes.str());
  EXPECT_TRUE(windows && !windows->empty()) << name << ": " << windows.error();
  if (!windows || windows->empty()) return trees::AXNode();
  return windows->front();
}

}  // namespace zel::test
