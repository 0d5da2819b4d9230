#include "engine/clipboard_field.h"

#include "engine/narvo_engine.h"
#include "helpers/encoding.h"
#include "helpers/failure.h"
#include "helpers/text.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// The clipboard text for line in the console's encoding. A line of Shift-JIS
// data is cut into fields by the Shift-JIS rules and, on a UTF-8 console, then
// converted, just as the selected lines are when they are written.
std::string ClipboardText(std::string_view line, std::int32_t column) {
  const Encoding dataEncoding = State().lastMatchEncoding;
  std::string field = ClipboardField(line, column, dataEncoding);
  if (ConsoleEncoding() == Encoding::Utf8 && dataEncoding == Encoding::ShiftJis) {
    return ShiftJisToUtf8(field);
  }
  return field;
}

}  // namespace

std::string ClipboardField(std::string_view line, std::int32_t column, Encoding encoding) {
  std::string withLead(1, ',');
  withLead.append(line);
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
