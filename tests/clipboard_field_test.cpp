#include "engine/clipboard_field.h"

#include <gtest/gtest.h>

#include <string>

namespace narvo {
namespace {

using namespace std::string_literals;

struct FieldCase {
  std::string line;
  std::int32_t column;
  std::string expected;
};

TEST(ClipboardField, CutsTheFieldTheClipboardGets) {
  const std::string zip = R"(1,"ab","1234567","cd")";
  const FieldCase cases[] = {
      {zip, 3, "1234567"},  // the postal code, quotes removed
      {zip, 1, "1"},
      {zip, 2, "ab"},
      {zip, 4, zip},  // the last field gives the whole line
      {zip, 5, zip},  // so does any column beyond the field count
      {zip, 2147483647, zip},
      {"a,b,c", 3, "a,b,c"},
      {"a,b,c", 2, "b"},
      {"a,b,c", 1, "a"},
      {"a,b,", 3, "a,b,"},  // an empty last field is still the last field
      {"a,b,", 2, "b"},
      {"a,,c", 2, ""},
      {",", 1, ""},
      {"", 3, ""},    // no selected line: an empty text
      {"\"", 3, ""},  // one double quote is both the first and the last byte
      {"\"\"", 1, ""},
      {"\"x\"", 3, "x"},
      {R"("a","b")", 5, R"(a","b)"},  // whole line begins and ends with a quote
      {R"("a,b",c)", 1, "\"a"},       // commas inside quotes still separate
      {R"("ab,c)", 1, "\"ab"},        // a quote at one end only stays
      {R"(x,"ab)", 2, R"(x,"ab)"},    // the last field is the whole line, quotes kept
      {"a,\"\",c", 2, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClipboardField(c.line, c.column, Encoding::ShiftJis), c.expected)
        << "line " << c.line << " column " << c.column;
  }
}

TEST(ClipboardField, FindsCommasOnCharacterBoundaries) {
  // ア (0x83 0x41) and 表 (0x95 0x5C) have ASCII-looking trail bytes; a lone
  // lead byte pairs with the comma after it, so that comma separates nothing.
  const std::string kanaA = "\x83\x41";
  const std::string hyou = "\x95\x5C";
  const std::string osakaUtf8 = "\xE5\xA4\xA7\xE9\x98\xAA";  // 大阪
  const struct {
    std::string line;
    std::int32_t column;
    Encoding encoding;
    std::string expected;
  } cases[] = {
      {kanaA + "," + hyou + ",c", 1, Encoding::ShiftJis, kanaA},
      {kanaA + "," + hyou + ",c", 2, Encoding::ShiftJis, hyou},
      {"\x83,b,c", 1, Encoding::ShiftJis, "\x83,b"},
      {"\x83,b,c", 2, Encoding::ShiftJis, "\x83,b,c"},
      {"\"\x83\",b", 1, Encoding::ShiftJis, "\x83"},  // quotes are bytes, even a trail byte
      // あ is E3 81 82: read as Shift-JIS its 0x82 would swallow the comma.
      {"\xE3\x81\x82,x,y", 2, Encoding::Utf8, "x"},
      {"\xE3\x81\x82,x,y", 2, Encoding::ShiftJis, "\xE3\x81\x82,x,y"},
      {"1,\"" + osakaUtf8 + "\",3", 2, Encoding::Utf8, osakaUtf8},
      // A byte-order mark before a UTF-8 file's first line is no part of a field.
      {"\xEF\xBB\xBF\"1\",x", 1, Encoding::Utf8, "1"},
      {"\xEF\xBB\xBF\"1\",x", 3, Encoding::Utf8, "\"1\",x"},
      {"\xEF\xBB\xBF\"1\",x", 1, Encoding::ShiftJis, "\xEF\xBB\xBF\"1\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClipboardField(c.line, c.column, c.encoding), c.expected)
        << "line " << c.line << " column " << c.column;
  }
}

TEST(ClipboardField, CommasAfterANulDoNotCount) {
  // The comma search ends at the first NUL, so the field asked for is beyond
  // the count and the whole line (NUL included) is handed over.
  EXPECT_EQ(ClipboardField("a\0,b,c"s, 2, Encoding::ShiftJis), "a\0,b,c"s);
  EXPECT_EQ(ClipboardField("a,b\0,c"s, 1, Encoding::ShiftJis), "a");
  EXPECT_EQ(ClipboardField("a,b\0,c"s, 2, Encoding::ShiftJis), "a,b\0,c"s);
}

}  // namespace
}  // namespace narvo
