#include <cstdio>

#include "engine/narvo_engine.h"
#include "helpers/output.h"
#include "helpers/text.h"
#include "helpers/texts.h"
#include "helpers/vastel.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// The screens a row belongs to.
enum Screens : unsigned {
  Minimal = 1,
  Short = 2,
  Long = 4,
  All = Minimal | Short | Long,
  ShortLong = Short | Long,
};

enum class RowKind {
  Text,            // the program's own text (Shift-JIS), ASCII included
  Manual,          // the text with the manual's name filled in
  Usage,           // the usage line: the program's name and its switches
  UsageAddresses,  // the program's name and the /U switch
  DefaultFile,     // a blank row, the default data file's date and its path
  Banner,          // program name and version
  NotOriginal,     // the program file's name, when it is not the original one
};

struct HelpRow {
  unsigned screens;
  bool clipboardOnly;  // the /C rows, in the clipboard edition only
  RowKind kind;
  const char* text = "";
};

constexpr const char* kUText = " [/U[zip|new|kesri|mail]]";
constexpr const char* kVersion = "1.7";
#define NARVO_ADDRESS_INDENT "                   "  // 19 spaces

// The three screens, top to bottom.
constexpr HelpRow kRows[] = {
    {All, false, RowKind::Text},
    {All, false, RowKind::Text, texts::kIntro1},
    {All, false, RowKind::Text, texts::kIntro2},
    {All, false, RowKind::Text},
    {All, false, RowKind::Usage},
    {Long, false, RowKind::UsageAddresses},
    {Short, false, RowKind::Text},
    {Short, false, RowKind::Text, texts::kLongHelpHint},
    {Long, false, RowKind::Text},
    {Long, false, RowKind::Text, texts::kShortHelp},
    {Long, false, RowKind::Text, texts::kShortHelpForms},
    {Long, false, RowKind::Manual, texts::kManual},
    {Long, false, RowKind::Text},
    {ShortLong, false, RowKind::Text, texts::kExclude},
    {Long, false, RowKind::Text},
    {ShortLong, false, RowKind::Text, texts::kQuote},
    {Long, false, RowKind::Text, texts::kQuote0},
    {Long, false, RowKind::Text, texts::kQuote1},
    {Long, false, RowKind::Text, texts::kQuote2},
    {Long, false, RowKind::Text, texts::kQuote3},
    {Long, false, RowKind::Text, texts::kQuoteDefault},
    {Long, false, RowKind::Text},
    {ShortLong, false, RowKind::Text, texts::kFile},
    {Long, false, RowKind::Text, texts::kOrder},
    {Long, false, RowKind::Text, texts::kOrder1},
    {Long, false, RowKind::Text, texts::kOrder11},
    {Long, false, RowKind::Text, texts::kOrder12},
    {Long, false, RowKind::Text, texts::kOrder2},
    {Long, false, RowKind::Text, texts::kOrder21},
    {Long, false, RowKind::Text, texts::kOrder22},
    {Long, false, RowKind::Text, "                      2-3. KEN_ALL.CSV"},
    {Long, false, RowKind::Text},
    {ShortLong, false, RowKind::Text, texts::kStdin},
    {Long, false, RowKind::Text, texts::kStdinNote},
    {Long, false, RowKind::Text},
    {ShortLong, true, RowKind::Text, texts::kCopy},
    {Long, true, RowKind::Text, texts::kCopyWhole},
    {Long, true, RowKind::Text, texts::kCopyLast},
    {Long, true, RowKind::Text, texts::kCopyDefault},
    {Long, true, RowKind::Text, texts::kCopyZero},
    {Long, true, RowKind::Text},
    {ShortLong, false, RowKind::Text, texts::kTerms},
    {Long, false, RowKind::Text},
    {Long, false, RowKind::Text, kUText},
    {Long, false, RowKind::Text, texts::kPages},
    {Long, false, RowKind::Text, texts::kPageZip},
    {Long, false, RowKind::Text, NARVO_ADDRESS_INDENT NARVO_URL_ZIP},
    {Long, false, RowKind::Text, texts::kPageNew},
    {Long, false, RowKind::Text, NARVO_ADDRESS_INDENT NARVO_URL_NEW},
    {Long, false, RowKind::Text, texts::kPageAuthor},
    {Long, false, RowKind::Text, NARVO_ADDRESS_INDENT NARVO_URL_AUTHOR},
    {Long, false, RowKind::Text, texts::kPageMail},
    {Long, false, RowKind::Text, NARVO_ADDRESS_INDENT "mailto:" NARVO_MAIL_AUTHOR},
    {Long, false, RowKind::Text},
    {Long, false, RowKind::Usage},
    {Long, false, RowKind::UsageAddresses},
    {ShortLong, false, RowKind::DefaultFile},
    {All, false, RowKind::Text},
    {All, false, RowKind::Banner},
    {All, false, RowKind::NotOriginal},
    {All, false, RowKind::Text, " Copyright (C) 2026 the narvo developers"},
};
#undef NARVO_ADDRESS_INDENT

std::string InQuotes(const std::string& text) {
  return '"' + text + '"';
}

// The blank row, the default data file's date (or that there is none) and its path.
void WriteDefaultFileRows() {
  WriteLine("");
  const std::string path = DefaultTargetFile();
  platform::LocalTime t;
  if (path.empty() || !platform::FileExists(path, &t)) {
    WriteLine(ConsoleText(texts::kNoDefault));
    return;
  }
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d  %02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute);
  WriteLine(ConsoleText(texts::kDefaultFile, stamp));
  WriteLine(path);
}

}  // namespace

void ShowHelpScreen(HelpRequestKind kind, Edition edition) {
  const unsigned screen = kind == HelpRequestKind::LongSwitch     ? Long
                          : kind == HelpRequestKind::NoParameters ? Minimal
                                                                  : Short;
  const bool clipboard = edition == Edition::Clipboard;
  const std::string base = ProgramBaseName();
  const std::string programFile = FileName(Param(0));
  // The stem is console text; the rest of the usage line is the program's own.
  const std::string stem = ChangeExtension(programFile, "");
  std::string switches = texts::kUsageSwitches;
  if (clipboard) switches += texts::kUsageCopy;
  switches += texts::kUsageTerms;
  const std::string original = base + std::string(platform::ExecutableSuffix());
  const bool isOriginal =
      LowerCase(programFile, ConsoleEncoding()) == LowerCase(original, ConsoleEncoding());

  for (const HelpRow& row : kRows) {
    if ((row.screens & screen) == 0 || (row.clipboardOnly && !clipboard)) continue;
    switch (row.kind) {
      case RowKind::Text:
        WriteLine(ConsoleText(row.text));
        break;
      case RowKind::Manual:
        WriteLine(ConsoleText(row.text, base + "17.txt"));
        break;
      case RowKind::Usage:
        WriteLine(stem + ConsoleText(switches));
        break;
      case RowKind::UsageAddresses:
        WriteLine(stem + kUText);
        break;
      case RowKind::DefaultFile:
        WriteDefaultFileRows();
        break;
      case RowKind::Banner:
        WriteLine(InQuotes(base + ".exe") + " for command-prompt of WindowsXP  version " +
                  kVersion);
        break;
      case RowKind::NotOriginal:
        if (!isOriginal) WriteLine(" ( " + InQuotes(programFile) + " is not original name )");
        break;
    }
  }
  FinishOutput();
  platform::ExitProcess(0);
}

}  // namespace narvo
