#include "helpers/failure.h"

#include <cstdint>
#include <cstdio>

#include "helpers/output.h"
#include "helpers/text.h"
#include "helpers/texts.h"
#include "helpers/vastel.h"

namespace narvo {

namespace {

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
      return ConsoleText(texts::kNotFound);
    case platform::IoErrorKind::PathNotFound:
      return ConsoleText(texts::kBadPath);
    case platform::IoErrorKind::TooManyOpenFiles:
      return ConsoleText(texts::kTooMany);
    case platform::IoErrorKind::AccessDenied:
      return ConsoleText(texts::kDenied);
    case platform::IoErrorKind::Other:
      break;
  }
  return ConsoleText(texts::kIoError, std::to_string(error.code));
}

std::string FormatFailureReport(std::string_view kindName, std::string_view moduleName,
                                const void* address, std::string_view message) {
  char hex[2 * sizeof(void*) + 1];
  std::snprintf(hex, sizeof hex, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
  std::string report(kindName);
  report += ConsoleText(texts::kOccurred);
  report += moduleName;
  report += ConsoleText(texts::kAt);
  report += hex;
  report += ConsoleText(texts::kAfterAddress);
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
  Report("ConvertError", reinterpret_cast<const void*>(&FailConversion),
         ConsoleText(texts::kNotInteger, text));
}

void FailOutOfMemory() {
  Report("OutOfMemory", reinterpret_cast<const void*>(&FailOutOfMemory),
         ConsoleText(texts::kOutOfMemory));
}

void FailClipboard() {
  Report("ClipboardError", reinterpret_cast<const void*>(&FailClipboard),
         ConsoleText(texts::kClipboard));
}

}  // namespace narvo
