#include "helpers/params.h"

#include <gtest/gtest.h>

namespace narvo {
namespace {

using Params = std::vector<std::string>;

struct SplitCase {
  const char* line;
  Params expected;
};

TEST(SplitCommandLine, FollowsTheWindowsCommandLineRules) {
  const SplitCase cases[] = {
      {"narvo", {}},
      {"narvo a b", {"a", "b"}},
      {"\"C:\\Program Files\\narvo.exe\" a", {"a"}},  // the program name is skipped, quoted or not
      {"narvo \"\x91\xe5\x8d\xe3 \x95\x7b\"", {"\x91\xe5\x8d\xe3 \x95\x7b"}},  // "大阪 府"
      {"narvo a\"b c\"d", {"ab cd"}},
      {"narvo \"\" a", {"a"}},  // a pair of quotes alone is no parameter
      {"narvo \"\"\"\" a", {"a"}},
      {"narvo \"\"a", {"a"}},
      {"narvo a \"", {"a"}},          // a lone quote at the end is the empty one
      {"narvo a \" b", {"a", " b"}},  // an open quote runs to the end of the line
      {"narvo\ta\x01"
       "b\x1f"
       "c",
       {"a", "b", "c"}},  // every control separates
      {"narvo   /S   /W1  x  ", {"/S", "/W1", "x"}},
      {"narvo \x95\x5C\"x y\"", {"\x95\x5Cx y"}},  // 表 has 0x5C as its second byte
      {"narvo \x83\x22 b", {"\x83\x22", "b"}},     // a double-byte character is stepped over whole
      {"narvo \x83", {"\x83"}},                    // lone lead byte at the end
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
}

TEST(SplitCommandLine, CountingStopsAtTheFirstEmptyParameter) {
  EXPECT_EQ(SplitCommandLine(std::string("narvo a\0b", 9)), Params{"a"});
  EXPECT_EQ(SplitCommandLine(""), Params{});
  EXPECT_EQ(SplitCommandLine("\""), Params{});
}

TEST(SplitCommandLine, Utf8StepsOverItsOwnSequences) {
  // 北 ends in 0x97, a Shift-JIS lead byte that would take the space or quote after it.
  const SplitCase cases[] = {
      {"narvo \xe5\x8c\x97 x", {"\xe5\x8c\x97", "x"}},
      {"narvo \"\xe5\x8c\x97\" \"\xe5\x8c\x97 x\"", {"\xe5\x8c\x97", "\xe5\x8c\x97 x"}},
      {"narvo \xe5\x8c", {"\xe5\x8c"}},  // a sequence cut short at the end
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitCommandLine(c.line, Encoding::Utf8), c.expected) << c.line;
}

}  // namespace
}  // namespace narvo
