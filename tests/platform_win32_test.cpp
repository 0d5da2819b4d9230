// The Windows platform layer where it does more than pass a call through: the
// lower-case table.
// Needs the ANSI code page 932 (LANG=ja_JP.UTF-8 under wine).
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

std::string Lower(std::string text) {
  platform::LowerCase(text.data(), text.size());
  return text;
}

TEST(Win32LowerCase, FoldsWholeCharactersAndLeavesUndefinedBytesAlone) {
  struct Case {
    std::string text, expected;
  } cases[] = {
      {"ABC xyz", "abc xyz"},
      {"\x83\x41", "\x83\x41"},                  // ア: its trail byte is no letter A
      {"\x82\x60\x82\x79", "\x82\x81\x82\x9a"},  // ＡＺ -> ａｚ, the code page's own mapping
      {"\xe3\x20Z", "\xe3\x20z"},                // a lead byte before a space is no character
      {"Q\x81", "q\x81"},                        // a lead byte at the end stays as it is
      {std::string("A\0B", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Lower(c.text), c.expected) << c.text;
}

}  // namespace
