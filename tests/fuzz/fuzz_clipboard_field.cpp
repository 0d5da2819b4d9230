// ClipboardField against the field split written out plainly: the commas that
// stand as characters before the first NUL cut the line (a UTF-8 one without
// its byte-order mark) into fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/clipboard_field.h"

namespace {

bool Lead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::string Reference(std::string_view line, std::int32_t column, narvo::Encoding encoding) {
  if (encoding == narvo::Encoding::Utf8 && line.substr(0, 3) == "\xEF\xBB\xBF")
    line = line.substr(3);
  const std::string_view searched = line.substr(0, line.find('\0'));
  std::vector<std::size_t> commas;
  for (std::size_t i = 0; i < searched.size(); ++i) {
    if (searched[i] == ',') commas.push_back(i);
    // A comma byte never continues a UTF-8 sequence, but in Shift-JIS it can
    // be the second byte of a double-byte character.
    if (encoding == narvo::Encoding::ShiftJis && Lead(static_cast<unsigned char>(searched[i]))) ++i;
  }
  std::string_view field;
  if (column <= 0) {
    field = std::string_view();
  } else if (static_cast<std::size_t>(column) > commas.size()) {
    field = line;  // the last field, or beyond: the whole line
  } else {
    const std::size_t from = column == 1 ? 0 : commas[column - 2] + 1;
    field = line.substr(from, commas[column - 1] - from);
  }
  if (!field.empty() && field.front() == '"' && field.back() == '"') {
    field = field.size() < 2 ? std::string_view() : field.substr(1, field.size() - 2);
  }
  return std::string(field);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Byte 0 picks the encoding and a column (small ones mostly, the extremes
  // too), byte 1 a column offset; the rest is the line.
  const narvo::Encoding encoding = data[0] & 1 ? narvo::Encoding::Utf8 : narvo::Encoding::ShiftJis;
  std::int32_t column = data[1] % 12;
  if (data[0] & 2) column = INT32_MAX - data[1] % 4;
  if ((data[0] & 6) == 4) column = 0;
  const std::string_view line(reinterpret_cast<const char*>(data + 2), size - 2);
  if (narvo::ClipboardField(line, column, encoding) != Reference(line, column, encoding)) {
    std::abort();
  }
  return 0;
}
