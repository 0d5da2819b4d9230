// The UTF-8 / CP932 decision against a decoder written from the definition of
// UTF-8 (code point arithmetic, not byte ranges): data is UTF-8 when it starts
// with a byte-order mark or every sequence of the line holding its first byte
// >= 0x80 decodes to a scalar value in its shortest form (in the native mode,
// one of them of three bytes or more). The check piece by
// piece must say what it says on the whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "helpers/encoding.h"
#include "tests/reference_search.h"

namespace {

// Length of the sequence a lead byte starts; 0 for a byte no sequence starts with.
std::size_t SequenceLength(unsigned char c) {
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) return 2;
  if ((c & 0xF0) == 0xE0) return 3;
  if ((c & 0xF8) == 0xF0) return 4;
  return 0;
}

bool Continuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// True when the whole sequence s decodes to a scalar value in its shortest form.
bool Decodes(std::string_view s) {
  const std::size_t n = s.size();
  const auto lead = static_cast<unsigned char>(s[0]);
  std::uint32_t cp = n == 1 ? lead : lead & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[k]);
    if (!Continuation(c)) return false;
    cp = cp << 6 | (c & 0x3F);
  }
  static const std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  return cp >= kLeast[n] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

// *long3: set when a character of three bytes or more decodes.
bool ReferenceIsUtf8(std::string_view text, bool* long3 = nullptr) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(text[i]));
    if (length == 0 || i + length > text.size()) return false;
    if (!Decodes(text.substr(i, length))) return false;
    if (long3 != nullptr && length >= 3) *long3 = true;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  narvo::Utf8Check whole, pieces;
  narvo::CheckUtf8(&whole, text);
  if (narvo::IsCompleteUtf8(whole) != ReferenceIsUtf8(text)) std::abort();
  for (std::size_t at = 0; at < size; at += 1 + data[at] % 5)
    narvo::CheckUtf8(&pieces, text.substr(at, 1 + data[at] % 5));
  if (narvo::IsCompleteUtf8(pieces) != narvo::IsCompleteUtf8(whole)) std::abort();

  const std::size_t high = narvo::FirstHighByte(text);
  for (std::size_t i = 0; i < (high == std::string_view::npos ? size : high); ++i) {
    if (data[i] >= 0x80) std::abort();
  }
  if (high != std::string_view::npos && data[high] < 0x80) std::abort();
  // End marks cut the input; the searcher's tests cover them.
  if (text.find('\x1a') != std::string_view::npos) return 0;
  const std::optional<narvo::Encoding> decided = narvo::DecideDataEncoding(text);
  if (high == std::string_view::npos) {
    if (decided) std::abort();
    return 0;
  }
  const std::size_t lineStart = text.rfind('\n', high) + 1;
  const std::string_view line = text.substr(lineStart, text.find('\n', high) - lineStart);
  const bool bom = text.substr(0, 3) == "\xEF\xBB\xBF";
  bool long3 = false;
  const bool valid = ReferenceIsUtf8(line, &long3);
  const auto encoding = [](bool utf8) {
    return utf8 ? narvo::Encoding::Utf8 : narvo::Encoding::ShiftJis;
  };
  if (decided != encoding(bom || valid)) std::abort();
  // The native mode's rule also wants a character of three bytes or more.
  if (narvo::DecideDataEncoding(text, true) != encoding(bom || (valid && long3))) std::abort();
  return 0;
}
