// The clipboard edition's last step: one comma-separated field of the last
// selected line goes to the clipboard.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/narvo_engine.h"
#include "helpers/text.h"

namespace narvo {

// Field column of line as the clipboard gets it: every comma separates, a
// column at or beyond the field count (or the last field) gives the whole
// line, and one pair of surrounding double quotes is removed. A byte-order
// mark that starts a line of UTF-8 data is no part of any field.
std::string ClipboardField(std::string_view line, std::int32_t column, Encoding encoding);

// Copies field column of the search's last line to the clipboard in the
// console's encoding, or in UTF-8 when the data was (an empty text when there
// is none); column 0 leaves it alone. A clipboard that cannot be opened ends in the failure report.
void CopyFieldToClipboard(const SearchOutcome& outcome, std::int32_t column);

}  // namespace narvo
