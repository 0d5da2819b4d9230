#include "helpers/encoding.h"

#include "platform/platform.h"

namespace narvo {

std::size_t FirstHighByte(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return i;
  }
  return std::string_view::npos;
}

bool IsUtf8Prefix(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    // The lead byte gives the length and the range of the second byte, which
    // rules out overlong forms, surrogates and code points beyond U+10FFFF.
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (p + k == end) return true;
      const unsigned char t = p[k];
      if (k == 1 ? t < low || t > high : !IsUtf8Continuation(t)) return false;
    }
    p += length;
  }
  return true;
}

Encoding DecideDataEncoding(std::string_view block) {
  if (block.substr(0, 3) == "\xEF\xBB\xBF") return Encoding::Utf8;
  return IsUtf8Prefix(block) ? Encoding::Utf8 : Encoding::ShiftJis;
}

bool KeywordToCp932(std::string_view keyword, std::string* converted) {
  if (!platform::ConvertText("UTF-8", "CP932", keyword, false, converted)) return false;
  // Every ASCII character converts to itself; one byte more below 0x80
  // standing as a character means iconv put an ASCII stand-in for a character
  // CP932 lacks (¥ as a backslash), which Shift-JIS data would then match.
  std::size_t asciiTyped = 0, asciiConverted = 0;
  for (char c : keyword)
    asciiTyped += static_cast<unsigned char>(c) < 0x80;
  for (std::size_t i = 0; i < converted->size();
       i += CharLength(*converted, i, Encoding::ShiftJis)) {
    asciiConverted += static_cast<unsigned char>((*converted)[i]) < 0x80;
  }
  return asciiTyped == asciiConverted;
}

std::vector<std::string> KeywordsForData(const std::vector<std::string>& typed, bool consoleUtf8,
                                         Encoding dataEncoding) {
  if (!consoleUtf8 || dataEncoding == Encoding::Utf8) return typed;
  std::vector<std::string> keywords;
  for (const std::string& t : typed) {
    std::string converted;
    keywords.push_back(KeywordToCp932(t, &converted) ? converted : std::string());
  }
  return keywords;
}

std::string ShiftJisToUtf8(std::string_view text) {
  std::string converted;
  if (!platform::ConvertText("CP932", "UTF-8", text, true, &converted)) return std::string(text);
  return converted;
}

}  // namespace narvo
