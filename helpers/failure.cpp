#include "helpers/failure.h"

#include <cstdint>
#include <cstdio>

#include "helpers/output.h"
#include "helpers/text.h"
#include "helpers/vastel.h"

namespace narvo {

namespace {

// メモリが不足しています
constexpr const char* kOutOfMemory =
    "\x83\x81\x83\x82\x83\x8a\x82\xaa\x95s\x91\xab\x82\xb5\x82\xc4\x82\xa2\x82\xdc\x82\xb7";
// ファイルが見つかりません
constexpr const char* kNotFound =
    "\x83t\x83@\x83\x43\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// ファイル名の指定が間違っています
constexpr const char* kBadPath =
    "\x83t\x83@"
    "\x83\x43\x83\x8b\x96\xbc\x82\xcc\x8ew\x92\xe8\x82\xaa\x8a\xd4\x88\xe1\x82\xc1\x82\xc4\x82\xa2"
    "\x82\xdc\x82\xb7";
// オープンしたファイルが多すぎます
constexpr const char* kTooMany =
    "\x83I\x81[\x83v\x83\x93\x82\xb5\x82\xbd\x83t\x83@"
    "\x83\x43\x83\x8b\x82\xaa\x91\xbd\x82\xb7\x82\xac\x82\xdc\x82\xb7";
// ファイルへのアクセスが拒否されました
constexpr const char* kDenied =
    "\x83t\x83@"
    "\x83\x43\x83\x8b\x82\xd6\x82\xcc\x83\x41\x83N\x83Z\x83X\x82\xaa\x8b\x91\x94\xdb\x82\xb3\x82"
    "\xea\x82\xdc\x82\xb5\x82\xbd";
// I/O エラー (
constexpr const char* kIoBefore = "I/O \x83G\x83\x89\x81[ (";
//  は整数ではありません
constexpr const char* kNotIntegerAfter =
    " \x82\xcd\x90\xae\x90\x94\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// クリップボードを開くことができません
constexpr const char* kClipboard =
    "\x83N\x83\x8a\x83\x62\x83v\x83{\x81["
    "\x83h\x82\xf0\x8aJ\x82\xad\x82\xb1\x82\xc6\x82\xaa\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
//  がモジュール
constexpr const char* kOccurred = " \x82\xaa\x83\x82\x83W\x83\x85\x81[\x83\x8b ";
//  の
constexpr const char* kAt = " \x82\xcc ";
//  で発生しました。
constexpr const char* kAfterAddress =
    " \x82\xc5\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42";

constexpr std::size_t kReportLimit = 1024;

[[noreturn]] void Report(std::string_view kindName, const void* address, std::string_view message) {
  // The report comes after whatever the run already wrote; a failing flush
  // must not hide the report, so its outcome is ignored here.
  TryFlushOutput();
  const std::string report =
      FormatFailureReport(kindName, FileName(Param(0)), address, message) + "\r\n";
  const std::string converted = platform::ToReportEncoding(report);
  platform::IoError ignored;
  platform::WriteAll(platform::Stream::Error, converted.data(), converted.size(), &ignored);
  platform::ExitProcess(1);
}

}  // namespace

std::string IoErrorMessage(const platform::IoError& error) {
  switch (error.kind) {
    case platform::IoErrorKind::FileNotFound:
      return ConsoleText(kNotFound);
    case platform::IoErrorKind::PathNotFound:
      return ConsoleText(kBadPath);
    case platform::IoErrorKind::TooManyOpenFiles:
      return ConsoleText(kTooMany);
    case platform::IoErrorKind::AccessDenied:
      return ConsoleText(kDenied);
    case platform::IoErrorKind::Other:
      break;
  }
  return ConsoleText(kIoBefore) + std::to_string(error.code) + ")";
}

std::string FormatFailureReport(std::string_view kindName, std::string_view moduleName,
                                const void* address, std::string_view message) {
  char hex[2 * sizeof(void*) + 1];
  std::snprintf(hex, sizeof hex, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
  std::string report(kindName);
  report += ConsoleText(kOccurred);
  report += moduleName;
  report += ConsoleText(kAt);
  report += hex;
  report += ConsoleText(kAfterAddress);
  report += "\r\n";
  report += message;
  if (message.empty() || message.back() != '.') report += '.';
  report += "\r\n";
  if (report.size() > kReportLimit) report.resize(kReportLimit);
  return report;
}

void FailIo(const platform::IoError& error) {
  Report("InOutError", reinterpret_cast<const void*>(&FailIo), IoErrorMessage(error));
}

void FailConversion(std::string_view text) {
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about "'" + string.
  std::string message(1, '\'');
  message.append(text).append(1, '\'').append(ConsoleText(kNotIntegerAfter));
  Report("ConvertError", reinterpret_cast<const void*>(&FailConversion), message);
}

void FailOutOfMemory() {
  Report("OutOfMemory", reinterpret_cast<const void*>(&FailOutOfMemory), ConsoleText(kOutOfMemory));
}

void FailClipboard() {
  Report("ClipboardError", reinterpret_cast<const void*>(&FailClipboard), ConsoleText(kClipboard));
}

}  // namespace narvo
