#include "engine/clipboard_field.h"

#include "engine/narvo_engine.h"
#include "helpers/failure.h"
#include "helpers/text.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// True when text is well-formed UTF-8 (no overlong forms, no stray
// continuation bytes, nothing cut off at the end).
bool IsWellFormedUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
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
    if (i + length > text.size()) return false;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      if (!IsUtf8Continuation(static_cast<unsigned char>(text[i + k]))) return false;
    }
    i += length;
  }
  return true;
}

// The clipboard text for line in the console's encoding. On a UTF-8 console a
// line of Shift-JIS data is cut into fields by the Shift-JIS rules and then
// converted, just as the selected lines are when they are written.
std::string ClipboardText(std::string_view line, std::int32_t column) {
  if (ConsoleEncoding() != Encoding::Utf8) return ClipboardField(line, column, Encoding::ShiftJis);
  if (IsWellFormedUtf8(line)) return ClipboardField(line, column, Encoding::Utf8);
  const std::string field = ClipboardField(line, column, Encoding::ShiftJis);
  std::string converted;
  if (!platform::ConvertText("CP932", "UTF-8", field, true, &converted)) return field;
  return converted;
}

}  // namespace

std::string ClipboardField(std::string_view line, std::int32_t column, Encoding encoding) {
  const std::string withLead = "," + std::string(line);
  std::string_view w = withLead;
  // Each step moves past the next comma; once none is left w no longer
  // changes, so a huge column stops early with the same result.
  for (std::int32_t k = 0; k < column; ++k) {
    const std::size_t p = Position(",", w, encoding);
    if (p == 0) break;
    w.remove_prefix(p);
  }
  const std::size_t p = Position(",", w, encoding);
  std::string_view field = p == 0 ? line : w.substr(0, p - 1);
  if (!field.empty() && field.front() == '"' && field.back() == '"') {
    field = field.size() == 1 ? std::string_view() : field.substr(1, field.size() - 2);
  }
  return std::string(field);
}

void CopyFieldToClipboard(const std::string& line) {
  const std::int32_t column = State().copyColumn;
  if (column == 0) return;
  if (!platform::SetClipboardText(ClipboardText(line, column))) FailClipboard();
}

}  // namespace narvo
