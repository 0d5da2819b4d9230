#include "tests/reference_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace narvo {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

// Reads all lines of data, handed over chunk bytes per read through a buffer of bufferSize.
Lines ReadAll(const std::string& data, std::size_t chunk, std::size_t bufferSize) {
  std::size_t offset = 0;
  LineReader reader;
  InitLineReader(
      &reader,
      [&](char* buffer, std::size_t size, platform::IoError*) -> std::ptrdiff_t {
        const std::size_t n = std::min({size, chunk, data.size() - offset});
        std::memcpy(buffer, data.data() + offset, n);
        offset += n;
        return static_cast<std::ptrdiff_t>(n);
      },
      bufferSize);
  Lines lines;
  std::string line;
  while (ReadLine(&reader, &line))
    lines.push_back(line);
  EXPECT_FALSE(ReadLine(&reader, &line)) << "the end of input stays the end";
  return lines;
}

struct ReadCase {
  std::string data;
  Lines expected;
};

TEST(ReadLine, SplitsLinesAndHonoursEndMarks) {
  const ReadCase cases[] = {
      {"", {}},
      {"abc", {"abc"}},
      {"abc\n", {"abc"}},
      {"abc\r\ndef\r\n", {"abc", "def"}},
      {"a\nb\n\nc", {"a", "b", "", "c"}},
      {"a\rb\r\nc", {"ab", "c"}},  // a lone CR is dropped
      {"a\r\r\nb", {"a", "b"}},
      {"\r", {""}},  // a lone CR still starts a line
      {"a\n\r", {"a", ""}},
      {"a\r", {"a"}},
      {"\x1a"
       "abc\n",
       {}},  // Ctrl-Z where a line begins ends the input
      {"abc\n\x1a"
       "def\n",
       {"abc"}},
      {"abc\x1a"
       "def",
       {"abc"}},  // inside a line it ends the line
      {"abc\x1a"
       "def\nghi",
       {"abc", "ghi"}},
      {"abc\x1a"
       "def\x1a\nghi",
       {"abc"}},  // another one while skipping ends the input
      {"abc\x1a"
       "d\re\r\nghi",
       {"abc", "ghi"}},  // a lone CR does not stop the skipping
      {"\r\x1a", {""}},
      {"\r\x1a\nx", {"", "x"}},
      {"a\0b\n\0\n"s, {"a\0b"s, "\0"s}},         // NUL is an ordinary byte
      {"\x83\n\x83\x0d\x0a", {"\x83", "\x83"}},  // a lead byte never swallows a line end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadAll(c.data, 1 << 16, 1 << 16), c.expected) << ::testing::PrintToString(c.data);
    // Every split of the data across reads gives the same lines.
    for (std::size_t chunk : {1, 2, 3}) {
      EXPECT_EQ(ReadAll(c.data, chunk, 4), c.expected)
          << ::testing::PrintToString(c.data) << " chunk " << chunk;
    }
  }
}

TEST(ReadLine, HasNoLengthLimit) {
  const std::string longLine(1 << 20, 'x');
  const Lines lines = ReadAll(longLine + "\r\nend", 4096, 16);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], longLine);
  EXPECT_EQ(lines[1], "end");
}

}  // namespace
}  // namespace narvo
