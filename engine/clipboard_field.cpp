#include "engine/clipboard_field.h"

#include "helpers/encoding.h"
#include "helpers/failure.h"
#include "helpers/text.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// The clipboard text for line: UTF-8 on a UTF-8 console and from UTF-8 data,
// else Shift-JIS. A line of Shift-JIS data is cut into fields by the Shift-JIS
// rules and, on a UTF-8 console, then converted, just as the selected lines are
// when they are written.
std::string ClipboardText(std::string_view line, std::int32_t column, Encoding dataEncoding) {
  std::string field = ClipboardField(line, column, dataEncoding);
  if (ConsoleEncoding() == Encoding::Utf8 && dataEncoding == Encoding::ShiftJis) {
    return ShiftJisToUtf8(field);
  }
  return field;
}

}  // namespace

std::string ClipboardField(std::string_view line, std::int32_t column, Encoding encoding) {
  if (column <= 0) return std::string();
  // The byte-order mark of UTF-8 data marks the file, not the first field.
  if (encoding == Encoding::Utf8 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
  // A comma after the first NUL is never found, as with Position. The line is
  // cut there once and each character is looked at once: asking Position for
  // every field rescanned the rest of the line for its NUL each time, which
  // made a long line of commas with /C2147483647 take hours.
  std::string_view w = line.substr(0, line.find('\0'));
  const auto nextComma = [&w, encoding] {
    for (std::size_t i = 0; i < w.size(); i += CharLength(w, i, encoding)) {
      if (w[i] == ',') return i;
    }
    return std::string_view::npos;
  };
  // w starts at field 1; each step moves past the next comma, and once none
  // is left w no longer changes, so a huge column stops early.
  std::size_t comma = nextComma();
  for (std::int32_t k = 1; k < column && comma != std::string_view::npos; ++k) {
    w.remove_prefix(comma + 1);
    comma = nextComma();
  }
  std::string_view field = comma == std::string_view::npos ? line : w.substr(0, comma);
  if (!field.empty() && field.front() == '"' && field.back() == '"') {
    field = field.size() == 1 ? std::string_view() : field.substr(1, field.size() - 2);
  }
  return std::string(field);
}

void CopyFieldToClipboard(const SearchOutcome& outcome, std::int32_t column) {
  if (column == 0) return;
  const std::string text = ClipboardText(outcome.lastMatch, column, outcome.lastMatchEncoding);
  const bool utf8 =
      ConsoleEncoding() == Encoding::Utf8 || outcome.lastMatchEncoding == Encoding::Utf8;
  if (!platform::SetClipboardText(text, utf8)) FailClipboard();
}

}  // namespace narvo
