#include "helpers/failure.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// The system's errors as the kinds the messages above name. The programs check
// that a file exists before opening it, so only a file that goes away or
// changes in between, or a full descriptor table, shows them.
TEST(IoErrorMessage, OpenInputTellsTheKind) {
  using K = platform::IoErrorKind;
  const std::string file = testing::TempDir() + "narvo_open_input_test";
  std::FILE* created = std::fopen(file.c_str(), "w");
  ASSERT_NE(created, nullptr);
  std::fclose(created);
  const auto kindOf = [](const std::string& path) {
    platform::Input input;
    platform::IoError error;
    if (platform::OpenInput(path, &input, &error)) {
      platform::CloseInput(&input);
      return K::Other;
    }
    EXPECT_NE(error.code, 0);
    return error.kind;
  };
  EXPECT_EQ(kindOf(file + ".missing"), K::FileNotFound);
#ifndef _WIN32
  EXPECT_EQ(kindOf(file + "/x"), K::PathNotFound);            // a file as a folder
  EXPECT_EQ(kindOf(std::string(300, 'n')), K::PathNotFound);  // a name no file system takes
  if (geteuid() != 0) {
    chmod(file.c_str(), 0);
    EXPECT_EQ(kindOf(file), K::AccessDenied);
  }
  rlimit descriptors;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &descriptors), 0);
  rlimit none = descriptors;
  none.rlim_cur = 0;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  const K full = kindOf(file);
  setrlimit(RLIMIT_NOFILE, &descriptors);
  EXPECT_EQ(full, K::TooManyOpenFiles);
#endif
  std::remove(file.c_str());
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
