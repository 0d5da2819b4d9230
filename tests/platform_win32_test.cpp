// The Windows platform layer where it does more than pass a call through: the
// lower-case table and the UTF-8 folding that follows it, the choice of mode,
// and what a console shows of UTF-8 text.
// Needs the ANSI code page 932 (LANG=ja_JP.UTF-8 under wine).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "helpers/encoding.h"
#include "helpers/text.h"
#include "platform/console_win32.h"
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

TEST(Win32Mode, NativeOnlyInCodePage932WithoutAConsoleOrWithOneShowingIt) {
  struct Case {
    unsigned ansi, console;
    bool native;
  } cases[] = {
      {932, 0, true},       // no console: a pipe, a file, a program started by another
      {932, 932, true},     // the Japanese console
      {932, 65001, false},  // chcp 65001
      {932, 437, false},    // chcp 437: no Japanese on that console
      {1252, 0, false},     // Windows set to another language
      {1252, 932, false},   // ... its console switched to 932 does not make the keywords CP932
      {936, 936, false},
      {65001, 0, false},  // "Use Unicode UTF-8 for worldwide language support"
      {65001, 65001, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::win32::IsNativeMode(c.ansi, c.console), c.native)
        << c.ansi << " " << c.console;
  }
}

// What the console shows of pieces written one after another, joined.
std::wstring Shown(std::initializer_list<std::string> pieces, std::string* tail) {
  std::wstring shown;
  for (const std::string& piece : pieces)
    shown += platform::win32::ConsoleCharacters(tail, piece);
  return shown;
}

TEST(Win32Console, ShowsUtf8SplitAnywhereAsItsCharacters) {
  const std::string kita = "\xE5\x8C\x97";       // 北
  const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair
  struct Case {
    std::initializer_list<std::string> pieces;
    std::wstring shown;
    std::string tail;  // kept for the next write
  } cases[] = {
      {{kita + "x"}, L"\u5317x", ""},
      {{"\xE5", "\x8C\x97x"}, L"\u5317x", ""},
      {{"\xE5\x8C", "\x97", "\r\n"}, L"\u5317\r\n", ""},
      {{"a\xE5\x8C"}, L"a", "\xE5\x8C"},
      {{"\xF0\x9F", "\x98\x80"}, L"\xD83D\xDE00", ""},
      {{emoji + "\xF0\x9F\x98"}, L"\xD83D\xDE00", "\xF0\x9F\x98"},
      // The byte-order mark is not shown, also cut up; U+FEFF is nothing else on a screen.
      {{"\xEF\xBB\xBF"
        "1,x"},
       L"1,x",
       ""},
      {{"\xEF", "\xBB",
        "\xBF"
        "1"},
       L"1",
       ""},
      // Bytes that do not decode show as U+FFFD, also a sequence another one cuts off.
      {{"a\x97"
        "b"},
       L"a\xFFFD"
       L"b",
       ""},
      {{"\xE5\x8C", "x"}, L"\xFFFDx", ""},
      {{"\x82\xA0"}, L"\xFFFD\xFFFD", ""},  // Shift-JIS あ
      // Continuation bytes after a whole character are no sequence cut short.
      {{kita + "\x80\x80\x80"}, L"\u5317\xFFFD\xFFFD\xFFFD", ""},
  };
  for (const Case& c : cases) {
    std::string tail;
    const std::wstring shown = Shown(c.pieces, &tail);
    EXPECT_EQ(shown, c.shown) << *c.pieces.begin();
    EXPECT_EQ(tail, c.tail) << *c.pieces.begin();
  }
}

TEST(Win32Console, WideTextRoundTrips) {
  const std::string text =
      "\xE5\xA4\xA7\xE9\x98\xAA \xF0\xA0\xAE\xB7 \xEF\xBD\xA1 x";  // 大阪 𠮷 ｡ x
  EXPECT_EQ(platform::win32::Narrow(platform::win32::Widen(text)), text);
  EXPECT_EQ(platform::win32::Narrow(L"a\xD800"), "a\xEF\xBF\xBD");  // a lone surrogate
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
