// The Windows platform layer where it does more than pass a call through: the
// lower-case table and text conversion between code pages 932 and 65001.
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

TEST(Win32ConvertText, ConvertsBetweenShiftJisAndUtf8) {
  struct Case {
    const char *from, *to;
    std::string text;
    bool keepInvalid, ok;
    std::string expected;
  } cases[] = {
      {"CP932", "UTF-8", "\x91\xe5\x8d\xe3 a", false, true, "\xe5\xa4\xa7\xe9\x98\xaa a"},
      {"UTF-8", "CP932", "\xe5\xa4\xa7\xe9\x98\xaa a", false, true, "\x91\xe5\x8d\xe3 a"},
      {"CP932", "UTF-8", "", false, true, ""},
      // A lone lead byte does not decode: kept as it is, or the call fails.
      {"CP932", "UTF-8", "a\x91", true, true, "a\x91"},
      {"CP932", "UTF-8", "a\x91", false, false, ""},
      {"CP932", "UTF-8", "\x91\x20\x91\xe5", true, true, "\x91\x20\xe5\xa4\xa7"},
      // The euro sign has no Shift-JIS form.
      {"UTF-8", "CP932", "x\xe2\x82\xacy", true, true, "x\xe2\x82\xacy"},
      {"UTF-8", "CP932", "x\xe2\x82\xacy", false, false, ""},
      {"UTF-8", "EBCDIC", "x", true, false, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    const bool ok = platform::ConvertText(c.from, c.to, c.text, c.keepInvalid, &out);
    EXPECT_EQ(ok, c.ok) << c.text;
    if (ok) {
      EXPECT_EQ(out, c.expected) << c.text;
    }
  }
}

}  // namespace
