// The Windows platform layer where it does more than pass a call through: the
// lower-case table, and the UTF-8 folding that follows it.
// Needs the ANSI code page 932 (LANG=ja_JP.UTF-8 under wine).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "helpers/encoding.h"
#include "helpers/text.h"
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

// UTF-8 data in the native mode folds what the code page folds in CP932: every
// character that decodes, lower-cased in CP932 and converted, is the character
// converted and lower-cased in UTF-8.
TEST(Win32LowerCase, FoldsTheLettersUtf8DataFoldsInTheNativeMode) {
  std::vector<std::string> characters;
  for (int c = 0x20; c <= 0xFF; ++c) {
    const auto lead = static_cast<char>(c);
    if (!platform::IsLeadByte(static_cast<unsigned char>(c))) {
      characters.push_back({lead});
      continue;
    }
    for (int trail = 0x40; trail <= 0xFC; ++trail)
      characters.push_back({lead, static_cast<char>(trail)});
  }
  for (const std::string& text : characters) {
    std::string utf8, lowered;
    if (!narvo::KeywordFromCp932(text, &utf8)) continue;
    ASSERT_TRUE(narvo::KeywordFromCp932(Lower(text), &lowered));
    EXPECT_EQ(lowered, narvo::LowerCase(utf8, narvo::Encoding::Utf8, true)) << utf8;
  }
}

}  // namespace
