#include "engine/prefilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace narvo {
namespace {

// Clean CR LF lines long enough for several vector rounds, with one byte put
// in at every offset: the scans work in rounds, so the offsets next to a
// round's edges are where they can go wrong.
std::string Lines() {
  std::string text;
  for (int i = 0; i < 12; ++i)
    text += "27127,\"53000\",\"\x91\xe5\x8d\xe3\"\r\n";
  return text;
}

// Runs check with the scans of every level this processor has.
template <typename Check>
void AtEveryLevel(Check check) {
  for (const ScanLevel level : ScanLevelsHere()) {
    SCOPED_TRACE(testing::Message() << "level " << static_cast<int>(level));
    check(KernelsFor(level));
  }
}

TEST(ScanBlock, FindsTheFirstByteTheLineReaderTreatsSpecially) {
  AtEveryLevel([](const ScanKernels& kernels) {
    const std::string clean = Lines();
    LineEnds ends;
    const BlockScan none = ScanBlock(kernels, clean.data(), clean.data() + clean.size(), &ends);
    EXPECT_EQ(none.irregular, clean.data() + clean.size());
    EXPECT_FALSE(none.bareLf);
    for (const std::string& odd : {std::string(1, '\0'), std::string("\x1a"), std::string("\r")}) {
      for (std::size_t at = 0; at < clean.size(); ++at) {
        // Anything put between a CR and its LF makes that CR the first lone one.
        if (clean[at] == '\n') continue;
        std::string text = clean;
        text.insert(at, odd);
        SCOPED_TRACE(testing::Message() << "byte " << int(odd[0]) << " at " << at);
        EXPECT_EQ(ScanBlock(kernels, text.data(), text.data() + text.size(), &ends).irregular,
                  text.data() + at);
      }
    }
  });
}

// The vector levels' look for the lines a sparse search must see: a candidate
// (the needle whole before the end), a lone CR or an end mark, whichever is first.
TEST(CandidateOrSpecial, StopsAtTheFirstCandidateLoneCrOrEndMark) {
  AtEveryLevel([](const ScanKernels& kernels) {
    if (kernels.candidateOrSpecial == nullptr) return;  // the portable level looks by memchr
    const Needle absent = MakeNeedle("zq", Encoding::ShiftJis);
    const Needle osaka = MakeNeedle("\x91\xe5\x8d\xe3", Encoding::ShiftJis);
    const auto find = [&kernels](const Needle& n, const std::string& text) {
      return static_cast<std::size_t>(
          kernels.candidateOrSpecial(n, text.data(), text.data() + text.size()) - text.data());
    };
    const std::string clean = Lines();
    EXPECT_EQ(find(absent, clean), clean.size());
    EXPECT_EQ(find(osaka, clean), clean.find("\x91\xe5"));
    for (const char* odd : {"\x1a", "\r"}) {
      for (std::size_t at = 0; at < clean.size(); ++at) {
        if (clean[at] == '\n') continue;
        std::string text = clean;
        text.insert(at, odd);
        ASSERT_EQ(find(absent, text), at) << int(odd[0]);
      }
    }
    // Alone in plain bytes, at every offset up to the end, and cut short there.
    for (std::size_t at = 0; at <= 140; ++at) {
      const std::string text = std::string(at, 'x') + "\x91\xe5\x8d\xe3";
      ASSERT_EQ(find(osaka, text + std::string(140 - at, 'x')), at);
      ASSERT_EQ(find(osaka, text), at);
      ASSERT_EQ(find(osaka, text.substr(0, text.size() - 1)), text.size() - 1);
    }
  });
}

TEST(ScanBlock, TellsWhetherAnLfLacksItsCr) {
  AtEveryLevel([](const ScanKernels& kernels) {
    const std::string clean = Lines();
    LineEnds ends;
    for (std::size_t at = 0; at <= clean.size(); ++at) {
      if (at > 0 && clean[at - 1] == '\r') continue;  // that would make a CR LF of a lone CR
      std::string text = clean;
      text.insert(at, "\n");
      SCOPED_TRACE(at);
      const BlockScan scan = ScanBlock(kernels, text.data(), text.data() + text.size(), &ends);
      EXPECT_EQ(scan.irregular, text.data() + text.size());
      EXPECT_TRUE(scan.bareLf);
    }
  });
}

TEST(LastLf, FindsTheLastLineEndBefore) {
  AtEveryLevel([](const ScanKernels& kernels) {
    const std::string text = Lines();
    for (std::size_t end = 0; end <= text.size(); ++end) {
      const std::size_t expected = text.rfind('\n', end == 0 ? 0 : end - 1);
      const char* lf = LastLf(kernels, text.data(), text.data() + end);
      if (end == 0 || expected == std::string::npos) {
        EXPECT_EQ(lf, nullptr) << end;
      } else {
        EXPECT_EQ(lf, text.data() + expected) << end;
      }
    }
  });
}

// The line bounds from the block's LF bits, for every offset of every line and
// every floor before it, in blocks that start at each offset of a vector round
// and end anywhere: LFs in the last partial round, LF-only lines, empty lines.
TEST(LineEnds, GiveTheBoundsOfTheLineHoldingAnyByte) {
  AtEveryLevel([](const ScanKernels& kernels) {
    const std::string lines = Lines() + "\n\nx\n\r\n" + Lines() + "tail\r\n";
    LineEnds ends;
    for (std::size_t first = 0; first < 64; first = lines.find('\n', first) + 1) {
      const char* begin = lines.data() + first;
      const char* end = lines.data() + lines.size();
      SCOPED_TRACE(first);
      ASSERT_EQ(ScanBlock(kernels, begin, end, &ends).irregular, end);
      for (const char* at = begin; at < end; ++at) {
        const char* start = at;
        while (start > begin && start[-1] != '\n')
          --start;
        const char* stop = static_cast<const char*>(std::memchr(at, '\n', end - at)) + 1;
        ASSERT_EQ(LineEndAfter(ends, at), stop) << at - begin;
        for (const char* floor = begin; floor <= start; floor = std::find(floor, end, '\n') + 1)
          ASSERT_EQ(LineStartBefore(ends, floor, at), start) << at - begin;
      }
    }
  });
}

}  // namespace
}  // namespace narvo
