#include <cstdint>

#include "engine/matcher.h"
#include "engine/narvo_engine.h"
#include "engine/searcher.h"
#include "helpers/failure.h"
#include "helpers/line_reader.h"
#include "helpers/output.h"
#include "helpers/text.h"
#include "helpers/vastel.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// 指定した対象ファイルが見つかりません
constexpr const char* kFileNotFound =
    "\x8ew\x92\xe8\x82\xb5\x82\xbd\x91\xce\x8f\xdb\x83t\x83@"
    "\x83\x43\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// デフォルト対象ファイルが見つかりません
constexpr const char* kNoDefaultFile =
    "\x83\x66\x83t\x83H\x83\x8b\x83g\x91\xce\x8f\xdb\x83t\x83@"
    "\x83\x43\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// 検索する文字列の指定がありません
constexpr const char* kNoKeyword =
    "\x8c\x9f\x8d\xf5\x82\xb7\x82\xe9\x95\xb6\x8e\x9a\x97\xf1\x82\xcc\x8ew\x92\xe8\x82\xaa\x82\xa0"
    "\x82\xe8\x82\xdc\x82\xb9\x82\xf1";

// The run's state; RunSearch fills it once and never resets it.
SearchState searchState;

// The value of a digits-only /C or /W parameter; anything larger than a
// signed 32-bit number ends in the failure report.
std::int32_t SwitchNumber(const std::string& value) {
  std::int32_t n = 0;
  if (!ParseDecimal(value, &n)) FailConversion(value);
  return n;
}

std::string Quoted(const std::string& keyword, std::int32_t quoteMode) {
  switch (quoteMode) {
    case 1:
      return '"' + keyword + '"';
    case 2:
      return '"' + keyword;
    case 3:
      return keyword + '"';
    default:
      return keyword;
  }
}

}  // namespace

SearchState& State() {
  return searchState;
}

std::string ProgramBaseName() {
  return searchState.edition == Edition::Clipboard ? "zanpo" : "narvo";
}

std::string DefaultTargetFile() {
  const std::string program = Param(0);
  const std::string here = WithTrailingSeparator(platform::CurrentDirectory());
  const std::string name = FileName(program);
  const std::string candidates[] = {
      here + ChangeExtension(name, ".csv"),   here + ChangeExtension(name, ".txt"),
      ChangeExtension(program, ".csv"),       ChangeExtension(program, ".txt"),
      DirectoryPart(program) + "KEN_ALL.CSV",
  };
  for (const std::string& candidate : candidates) {
    if (platform::FileExists(candidate, nullptr)) return candidate;
  }
  return std::string();
}

void EndWithMessage(const char* text) {
  WriteLine(ConsoleText(text));
  FinishOutput();
  platform::ExitProcess(0);
}

std::string RunSearch() {
  SearchState& s = searchState;
  SetConsoleEncoding(platform::ConsoleIsUtf8() ? Encoding::Utf8 : Encoding::ShiftJis);
  LoadParameters();

  s.helpKind = ClassifyHelpRequest();
  switch (s.helpKind) {
    case HelpRequestKind::HelpWord:
    case HelpRequestKind::ShortSwitch:
    case HelpRequestKind::LongSwitch:
    case HelpRequestKind::NoParameters:
      ShowHelpScreen();
    default:
      break;
  }

  if (const int u = FindSwitch('U')) OpenRelatedPage(LowerCase(SwitchValue(u), ConsoleEncoding()));

  if (FindSwitch('S') != 0) {
    s.firstTermIndex += 1;
    s.readStdin = true;
  } else if (const int f = FindSwitch('F')) {
    s.targetPath = SwitchValue(f);
    if (!platform::FileExists(s.targetPath, nullptr)) EndWithMessage(kFileNotFound);
    s.firstTermIndex += 1;
  } else {
    s.targetPath = DefaultTargetFile();
    if (s.targetPath.empty()) EndWithMessage(kNoDefaultFile);
  }

  if (s.edition == Edition::Clipboard) {
    s.copyColumn = 3;
    if (const int c = FindSwitch('C')) {
      s.firstTermIndex += 1;
      const std::string v = SwitchValue(c);
      if (IsAllDigits(v)) s.copyColumn = SwitchNumber(v);
    }
  }

  if (FindSwitch('V') != 0) {
    s.excludeMode = true;
    s.firstTermIndex += 1;
  }

  if (const int w = FindSwitch('W')) {
    s.firstTermIndex += 1;
    const std::string v = SwitchValue(w);
    if (IsAllDigits(v)) {
      const std::int32_t n = SwitchNumber(v);
      s.quoteMode = n >= 1 && n <= 3 ? n : 0;
    } else {
      s.quoteMode = v.empty() ? 1 : 0;
    }
  }

  if (s.firstTermIndex > ParamCount()) EndWithMessage(kNoKeyword);

  for (int i = s.firstTermIndex; i <= ParamCount(); ++i) {
    s.terms.push_back(Quoted(Param(i), s.quoteMode));
  }

  std::string lastMatch;
  if (s.readStdin) {
    lastMatch = SearchInput(platform::StandardInput());
  } else {
    platform::Input input;
    platform::IoError error;
    if (!platform::OpenInput(s.targetPath, &input, &error)) FailIo(error);
    lastMatch = SearchInput(input);
    platform::CloseInput(&input);
  }
  FlushOutput();
  return lastMatch;
}

}  // namespace narvo
