// The UTF-8 / CP932 decision against a decoder written from the definition of
// UTF-8 (code point arithmetic, not byte ranges): a block is UTF-8 when it
// starts with a byte-order mark or every sequence in it decodes to a scalar
// value in its shortest form, a last sequence cut by the block end counting
// when some continuation could still complete it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "helpers/encoding.h"

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

// True when the cut sequence s could still become one that decodes. Only the
// second byte narrows the value range, so trying each for it is enough.
bool Completes(std::string_view s, std::size_t length) {
  std::string whole(s);
  if (whole.size() == 1) {
    for (int second = 0x80; second <= 0xBF; ++second) {
      std::string tried = whole + static_cast<char>(second);
      tried.resize(length, '\x80');
      if (Decodes(tried)) return true;
    }
    return false;
  }
  whole.resize(length, '\x80');
  return Decodes(whole);
}

bool ReferenceIsUtf8(std::string_view block) {
  if (block.substr(0, 3) == "\xEF\xBB\xBF") return true;
  for (std::size_t i = 0; i < block.size();) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(block[i]));
    if (length == 0) return false;
    if (i + length > block.size()) {
      for (std::size_t k = i + 1; k < block.size(); ++k) {
        if (!Continuation(static_cast<unsigned char>(block[k]))) return false;
      }
      return Completes(block.substr(i), length);
    }
    if (!Decodes(block.substr(i, length))) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view block(reinterpret_cast<const char*>(data), size);
  const bool utf8 = narvo::DecideDataEncoding(block) == narvo::Encoding::Utf8;
  if (utf8 != ReferenceIsUtf8(block)) std::abort();
  // Every prefix of UTF-8 text is still taken for UTF-8: a read block may end anywhere.
  if (utf8 && narvo::DecideDataEncoding(block.substr(0, size / 2)) != narvo::Encoding::Utf8) {
    std::abort();
  }
  const std::size_t high = narvo::FirstHighByte(block);
  for (std::size_t i = 0; i < (high == std::string_view::npos ? size : high); ++i) {
    if (data[i] >= 0x80) std::abort();
  }
  if (high != std::string_view::npos && data[high] < 0x80) std::abort();
  return 0;
}
