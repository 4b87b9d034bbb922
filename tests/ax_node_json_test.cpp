#include <gtest/gtest.h>

#include "trees/ax_node.h"
#include "base/json_text.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
namespace {

using test::el;
using test::st;

TEST(AXNodeJSON, EncodesSortedKeysWithOptionalsOnlyWhenPresent) {
  AXNode n = el("AXWebArea", {st("a/b")});
  n.url = "https://claude.ai/chat/1";
  n.title = "";
  EXPECT_EQ(n.json(),
            R"({"children":[{"children":[],"domClasses":[],"role":"AXStaticText","value":"a/b"}],)"
            R"("domClasses":[],"role":"AXWebArea","title":"","url":"https://claude.ai/chat/1"})");
}

TEST(AXNodeJSON, RoundTripsEveryField) {
  AXNode n = el("AXGroup", {st("x"), el(std::nullopt)});
  n.subrole = "AXLandmarkMain";
  n.title = "t\u00e9";
  n.desc = "d\n\"q\"";
  n.value = "";
  n.domClasses = {"a", "b"};
  n.domID = "id";
  n.url = "u";
  auto back = AXNode::decode(n.json());
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back.value(), n);
}

TEST(AXNodeJSON, NullAndUnknownKeysAreAccepted) {
  auto n = AXNode::decode(
      R"({"role":"AXGroup","title":null,"extra":{"deep":[1,{"x":null}]},"domClasses":["c"],"children":[],"z":7})");
  ASSERT_TRUE(n) << n.error();
  EXPECT_EQ(n->role, "AXGroup");
  EXPECT_EQ(n->title, std::nullopt);
  EXPECT_EQ(n->domClasses, std::vector<std::string>{"c"});
}

TEST(AXNodeJSON, StructuralErrorsFailTheWholeTreeWithAPlace) {
  struct Case {
    const char* json;
    const char* error;
  };
  const Case cases[] = {
      {R"({"children":[]})", "$: \"domClasses\" is missing"},
      {R"({"domClasses":[]})", "$: \"children\" is missing"},
      {R"({"domClasses":[],"children":[{"domClasses":[],"children":[]},{"domClasses":[]}]})",
       "$.children[1]: \"children\" is missing"},
      {R"({"role":5,"domClasses":[],"children":[]})", "$: \"role\" must be a string or null, found a number"},
      {R"({"domClasses":[1],"children":[]})", "$: \"domClasses\" must hold only strings"},
      {R"({"domClasses":null,"children":[]})", "$: \"domClasses\" must be an array of strings, found null"},
      {R"({"domClasses":[],"children":[3]})", "$: expected a node object"},
      {R"({"domClasses":[],"children":{}})", "$: \"children\" must be an array of node objects, found an object"},
      {R"([])", "$: expected a node object, found an array"},
      {R"("x")", "$: expected a node object or an array of them, found a string"},
  };
  for (const auto& c : cases) {
    auto n = AXNode::decode(c.json);
    EXPECT_FALSE(n) << c.json;
    EXPECT_EQ(n.error(), c.error) << c.json;
  }
  auto broken = AXNode::decode("{\"role\":");
  ASSERT_FALSE(broken);
  EXPECT_NE(broken.error().find("parse error"), std::string::npos) << broken.error();
  EXPECT_FALSE(AXNode::decode("{\"role\":\"\xff\",\"domClasses\":[],\"children\":[]}"));
  EXPECT_FALSE(AXNode::decode(""));
}

std::string nested(size_t depth) {
  std::string s;
  for (size_t i = 0; i < depth; ++i) s += R"({"domClasses":[],"children":[)";
  for (size_t i = 0; i < depth; ++i) s += "]}";
  return s;
}

TEST(AXNodeJSON, NestingIsLimitedTo4096Nodes) {
  auto deepest = AXNode::decode(nested(4096));
  ASSERT_TRUE(deepest) << deepest.error();
  EXPECT_EQ(deepest->preorder().size(), 4096u);
  auto tooDeep = AXNode::decode(nested(4097));
  ASSERT_FALSE(tooDeep);
  // The error names the first steps and the depth, not all 4096 of them.
  EXPECT_EQ(tooDeep.error(),
            "$.children[0].children[0].children[0].children[0].children[0].children[0]\u2026 (4095 levels down): "
            "nodes are nested deeper than 4096 levels");
  // Deep nesting inside an ignored key is walked without recursion too.
  std::string junk = R"({"domClasses":[],"children":[],"x":)" + std::string(200000, '[') + std::string(200000, ']') + "}";
  EXPECT_TRUE(AXNode::decode(junk));
}

TEST(AXNodeJSON, WindowsFilesHoldOneTreeOrAList) {
  auto one = decodeWindows(R"({"domClasses":[],"children":[]})");
  ASSERT_TRUE(one);
  EXPECT_EQ(one->size(), 1u);
  auto two = decodeWindows(R"([{"domClasses":[],"children":[]},{"role":"AXWindow","domClasses":[],"children":[]}])");
  ASSERT_TRUE(two);
  ASSERT_EQ(two->size(), 2u);
  EXPECT_EQ((*two)[1].role, "AXWindow");
  auto none = decodeWindows("[]");
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
  auto bad = decodeWindows(R"([{"domClasses":[],"children":[]},{"children":[]}])");
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error(), "$[1]: \"domClasses\" is missing");
  EXPECT_FALSE(decodeWindows(R"([[]])"));
}

TEST(AXNodeJSON, InvalidUTF8CannotBeEncoded) {
  AXNode n = st("bad \xc3");
  EXPECT_THROW(n.json(), UnencodableValue);
}

// The writer escapes exactly as nlohmann's serializer does, so printed lines
// read back the same in any JSON parser and look the same as before.
TEST(JSONWriter, EscapesLikeTheJSONLibrary) {
  const std::string samples[] = {
      "", "plain ascii text that is long enough for the fast path", "a/b", "quote \" and back\\slash",
      std::string("\0\x01\x1f\x7f", 4), "\b\f\n\r\t", "caf\u00e9 \u2028 \U0001F600 \u00b7",
      "12345678\"12345678\\12345678\n", "\xef\xbf\xbf",
  };
  for (const auto& s : samples) {
    std::string ours;
    appendJSONString(ours, s);
    EXPECT_EQ(ours, Json(s).dump()) << s;
  }
  for (const char* bad : {"\xc3", "\xff", "\xed\xa0\x80", "\xc0\xaf", "ok then \xe2\x82"}) {
    std::string out;
    EXPECT_THROW(appendJSONString(out, bad), UnencodableValue) << bad;
  }
}

TEST(JSONWriter, SeparatesMembersAndElements) {
  auto line = encodeLine([](JSONWriter& w) {
    w.beginObject().key("a").beginArray().integer(1).boolean(false).string("x").beginObject().endObject().endArray();
    w.field("b", std::optional<std::string>()).field("c", std::optional<int64_t>(-3)).key("d").strings({"p", "q"});
    w.endObject();
  });
  EXPECT_EQ(line, R"({"a":[1,false,"x",{}],"c":-3,"d":["p","q"]})");
  EXPECT_EQ(encodeLine([](JSONWriter& w) { w.beginObject().key("d").date(Date{1e300}, DateForm::wholeSeconds); }),
            std::nullopt);
}

}  // namespace
}  // namespace zel
