#include "helpers/vastel.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace narvo {
namespace {

void Use(std::vector<std::string> parameters) {
  SetParameters("/opt/bin/narvo", std::move(parameters));
}

TEST(FindSwitch, MatchesAnyPrefixAndCaseAndReturnsTheFirst) {
  Use({"x", "-s", "/S", "+sample"});
  EXPECT_EQ(FindSwitch('S'), 2);
  Use({"+sample"});
  EXPECT_EQ(FindSwitch('S'), 1);
  Use({"s", "/", "S/", "\\s"});
  EXPECT_EQ(FindSwitch('S'), 0);
  Use({"/\x83\x53"});  // a double-byte character after the slash is no letter
  EXPECT_EQ(FindSwitch('S'), 0);
  Use({});
  EXPECT_EQ(FindSwitch('S'), 0);
}

TEST(SwitchValue, DropsTheFirstTwoBytes) {
  Use({"/F", "/Fc:\\data\\x.csv", "/W2"});
  EXPECT_EQ(SwitchValue(1), "");
  EXPECT_EQ(SwitchValue(2), "c:\\data\\x.csv");
  EXPECT_EQ(SwitchValue(3), "2");
  EXPECT_EQ(SwitchValue(0), "");
  EXPECT_EQ(SwitchValue(-1), "");
  EXPECT_EQ(SwitchValue(9), "");
}

struct HelpCase {
  std::vector<std::string> parameters;
  HelpRequestKind expected;
};

TEST(ClassifyHelpRequest, ReturnsTheFirstHelpFormFound) {
  using K = HelpRequestKind;
  const HelpCase cases[] = {
      {{}, K::NoParameters},
      {{"x"}, K::NoRequest},
      {{"/?"}, K::ShortSwitch},
      {{"-?"}, K::ShortSwitch},
      {{"+?x"}, K::NoRequest},
      {{"/??"}, K::LongSwitch},
      {{"+??x"}, K::LongSwitch},
      {{"-HELP"}, K::HelpWord},
      {{"/Help"}, K::HelpWord},
      {{"/helpx"}, K::NoRequest},
      {{"HeLp"}, K::BareHelp},
      {{"?"}, K::BareQuestion},
      {{"??"}, K::BareDoubleQuestion},
      {{"??x"}, K::BareDoubleQuestion},
      {{"?", "/?"}, K::BareQuestion},  // later switches are not examined
      {{"x", "help", "/??"}, K::BareHelp},
      {{"a", "/?"}, K::ShortSwitch},
  };
  for (const auto& c : cases) {
    Use(c.parameters);
    EXPECT_EQ(ClassifyHelpRequest(), c.expected) << ::testing::PrintToString(c.parameters);
  }
}

TEST(TrailingSeparators, AreStrippedOnlyWhenStandingAlone) {
  const std::string s(1, platform::PathSeparator());
  EXPECT_EQ(StripTrailingSeparators(s + "usr" + s + "bin" + s + s + s), s + "usr" + s + "bin");
  EXPECT_EQ(StripTrailingSeparators(s + s + s), "");
  EXPECT_EQ(StripTrailingSeparators(""), "");
  EXPECT_EQ(WithTrailingSeparator(s), s);
  EXPECT_EQ(WithTrailingSeparator("x" + s + s), "x" + s);
  // 表 (0x95 0x5C) at the end is a character, not a separator, on every platform.
  EXPECT_EQ(StripTrailingSeparators("d" + s + "\x95\x5C"), "d" + s + "\x95\x5C");
  EXPECT_EQ(WithTrailingSeparator("d" + s + "\x95\x5C" + s), "d" + s + "\x95\x5C" + s);
}

TEST(IsAllDigits, AcceptsAsciiDigitsOnly) {
  EXPECT_TRUE(IsAllDigits("007"));
  EXPECT_FALSE(IsAllDigits(""));
  EXPECT_FALSE(IsAllDigits("12a"));
  EXPECT_FALSE(IsAllDigits("\x82\x50\x82\x51"));  // full-width １２
  EXPECT_FALSE(IsAllDigits("-1"));
}

}  // namespace
}  // namespace narvo
