#include "helpers/failure.h"

#include <gtest/gtest.h>

namespace narvo {
namespace {

TEST(IoErrorMessage, NamesTheFourKnownErrorsAndNumbersTheRest) {
  using K = platform::IoErrorKind;
  // ファイルが見つかりません
  EXPECT_EQ(
      IoErrorMessage({K::FileNotFound, 2}),
      "\x83t\x83@\x83\x43\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
  EXPECT_EQ(IoErrorMessage({K::Other, 28}), "I/O \x83G\x83\x89\x81[ (28)");  // I/O エラー (28)
  EXPECT_EQ(IoErrorMessage({K::Other, 5}),
            "I/O \x83G\x83\x89\x81[ (5)");  // EIO is not access denied
  EXPECT_NE(IoErrorMessage({K::AccessDenied, 13}), IoErrorMessage({K::PathNotFound, 20}));
  EXPECT_NE(IoErrorMessage({K::TooManyOpenFiles, 24}), IoErrorMessage({K::AccessDenied, 13}));
}

TEST(FormatFailureReport, LaysOutTwoLinesWithAFullStop) {
  const std::string report = FormatFailureReport("InOutError", "narvo", nullptr, "msg");
  // ... がモジュール narvo の 000... で発生しました。 CR LF msg. CR LF
  EXPECT_EQ(
      report.rfind("InOutError \x82\xaa\x83\x82\x83W\x83\x85\x81[\x83\x8b narvo \x82\xcc 0", 0),
      0u);
  EXPECT_NE(
      report.find("\x82\xc5\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\nmsg.\r\n"),
      std::string::npos);
  const std::string dotted = FormatFailureReport("K", "m", nullptr, "ends.");
  EXPECT_EQ(dotted.substr(dotted.size() - 7), "ends.\r\n");  // no second full stop
}

TEST(FormatFailureReport, IsCutTo1024Bytes) {
  const std::string report = FormatFailureReport("K", "m", nullptr, std::string(5000, 'x'));
  EXPECT_EQ(report.size(), 1024u);
  EXPECT_EQ(report.back(), 'x');
}

}  // namespace
}  // namespace narvo
