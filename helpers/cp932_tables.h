// CP932 (Shift-JIS) <-> UTF-8 by tables compiled in, so nothing is loaded at
// run time. helpers/cp932_tables.cpp holds them, generated with glibc's iconv
// by tools/generate_cp932.py and checked in: every build has the same ones.
#pragma once

#include <cstddef>
#include <cstdint>

namespace narvo::cp932 {

constexpr int kFirstTrail = 0x40, kLastTrail = 0xFC;
constexpr int kRows = 60;  // the lead bytes 0x81-0x9F and 0xE0-0xFC

// Per byte, the character it is alone: up to three UTF-8 bytes in the entry's
// low bytes, their count in its top byte; a byte that does not decode stands for itself.
extern const std::uint32_t kSingle[256];

// Per lead byte its row of kPairs (1 to kRows); 0 for the other bytes.
extern const std::uint8_t kRowOfLead[256];

// Per lead/trail pair, at row * 256 + trail: its character as in kSingle, or
// 0 where the pair does not decode, as in row 0 and at bytes that are no trail byte.
extern const std::uint32_t kPairs[(kRows + 1) * 256];

// A character's UTF-8 bytes as one number (E3 81 82 as 0xE38182) and its CP932 code.
struct FromUtf8 {
  std::uint32_t utf8;
  std::uint16_t cp932;  // 0xB1 for a single byte, 0x82A0 for a pair
};

// Every non-ASCII character CP932 holds, by utf8 ascending; characters iconv
// writes as an ASCII byte (¥, ‾) are left out.
extern const FromUtf8 kFromUtf8[];
extern const std::size_t kFromUtf8Count;

}  // namespace narvo::cp932
