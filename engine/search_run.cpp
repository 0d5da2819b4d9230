#include <cstdint>

#include "engine/matcher.h"
#include "engine/narvo_engine.h"
#include "engine/searcher.h"
#include "helpers/failure.h"
#include "helpers/line_reader.h"
#include "helpers/output.h"
#include "helpers/text.h"
#include "helpers/texts.h"
#include "helpers/vastel.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// The run's state; RunSearch fills it once and never resets it.
SearchState searchState;

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
  // Japan Post's UTF-8 file comes after its Shift-JIS one wherever that is
  // looked for, so only a search that found nothing can change.
  const std::string candidates[] = {
      here + ChangeExtension(name, ".csv"),   here + ChangeExtension(name, ".txt"),
      ChangeExtension(program, ".csv"),       ChangeExtension(program, ".txt"),
      DirectoryPart(program) + "KEN_ALL.CSV", DirectoryPart(program) + "utf_ken_all.csv",
  };
  for (const std::string& candidate : candidates) {
    if (platform::FileExists(candidate, nullptr)) return candidate;
  }
  // An installed program's folder is no place for data; these come only after the others.
  for (const std::string& folder : platform::DataFolders(program)) {
    for (const std::string& file : {ChangeExtension(name, ".csv"), ChangeExtension(name, ".txt"),
                                    std::string("KEN_ALL.CSV"), std::string("utf_ken_all.csv")}) {
      if (platform::FileExists(folder + file, nullptr)) return folder + file;
    }
  }
  return std::string();
}

void EndWithMessage(const char* text) {
  WriteLine(ConsoleText(text));
  FinishOutput();
  platform::ExitProcess(0);
}

SearchState ReadSwitches(Edition edition) {
  SearchState s;
  s.edition = edition;
  // A number too large for 32 bits is reported after the input is chosen, as
  // its messages come first.
  const auto number = [&s](const std::string& value) {
    std::int32_t n = 0;
    if (!ParseDecimal(value, &n) && s.badNumber.empty()) s.badNumber = value;
    return n;
  };
  if (FindSwitch('S') != 0) {
    s.firstTermIndex += 1;
    s.readStdin = true;
  } else if (const int f = FindSwitch('F')) {
    s.namedFile = true;
    s.targetPath = SwitchValue(f);
    s.firstTermIndex += 1;
  }
  if (edition == Edition::Clipboard) {
    s.copyColumn = 3;
    if (const int c = FindSwitch('C')) {
      s.firstTermIndex += 1;
      const std::string v = SwitchValue(c);
      if (IsAllDigits(v)) s.copyColumn = number(v);
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
      const std::int32_t n = number(v);
      s.quoteMode = n >= 1 && n <= 3 ? n : 0;
    } else {
      s.quoteMode = v.empty() ? 1 : 0;
    }
  }
  for (int i = s.firstTermIndex; i <= ParamCount(); ++i)
    s.terms.push_back(Quoted(Param(i), s.quoteMode));
  return s;
}

SearchOutcome RunSearch() {
  SetConsoleEncoding(platform::ConsoleIsUtf8() ? Encoding::Utf8 : Encoding::ShiftJis);
  LoadParameters();

  SearchState& s = searchState;
  s.helpKind = ClassifyHelpRequest();
  switch (s.helpKind) {
    case HelpRequestKind::HelpWord:
    case HelpRequestKind::ShortSwitch:
    case HelpRequestKind::LongSwitch:
    case HelpRequestKind::NoParameters:
      ShowHelpScreen(s.helpKind, s.edition);
    default:
      break;
  }
  if (const int u = FindSwitch('U')) OpenRelatedPage(LowerCase(SwitchValue(u), ConsoleEncoding()));

  const HelpRequestKind help = s.helpKind;
  s = ReadSwitches(s.edition);
  s.helpKind = help;
  if (s.namedFile && !platform::FileExists(s.targetPath, nullptr))
    EndWithMessage(texts::kFileNotFound);
  if (!s.readStdin && !s.namedFile) {
    s.targetPath = DefaultTargetFile();
    if (s.targetPath.empty()) EndWithMessage(texts::kNoDefaultFile);
  }
  if (!s.badNumber.empty()) FailConversion(s.badNumber);
  if (s.firstTermIndex > ParamCount()) EndWithMessage(texts::kNoKeyword);

  SearchOutcome outcome;
  if (s.readStdin) {
    outcome = SearchInput(platform::StandardInput(), s);
  } else {
    platform::Input input;
    platform::IoError error;
    if (!platform::OpenInput(s.targetPath, &input, &error)) FailIo(error);
    outcome = SearchInput(input, s);
    platform::CloseInput(&input);
  }
  FlushOutput();
  return outcome;
}

}  // namespace narvo
