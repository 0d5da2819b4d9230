// The search engine both programs share: command-line interpretation, the
// choice of input (named file, default data file or standard input), keyword
// matching and output, the help screen and the related-page launcher.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "helpers/text.h"
#include "helpers/vastel.h"

namespace narvo {

// Which program runs the engine: the plain one, or the one that copies a field to the clipboard.
enum class Edition { Plain, Clipboard };

// Everything the engine learns about the run, filled in the order of RunSearch.
struct SearchState {
  Edition edition = Edition::Plain;
  HelpRequestKind helpKind = HelpRequestKind::NoRequest;
  std::int32_t firstTermIndex = 1;  // first keyword parameter; each counted switch adds 1
  bool readStdin = false;
  bool namedFile = false;  // /F, without /S
  bool excludeMode = false;
  std::int32_t quoteMode = 0;   // /W: 0 none, 1 both sides, 2 before, 3 after
  std::int32_t copyColumn = 0;  // /C field for the clipboard edition; 0 copies nothing
  std::string targetPath;
  // A /C or /W value beyond 32 bits: the failure report, once the input is chosen.
  std::string badNumber;
  std::vector<std::string> terms;  // keywords as typed, wrapped per quoteMode
};

// The process's one search state: the front end sets the edition, RunSearch the rest.
SearchState& State();

// The switches among the parameters (/S /F /C /V /W, and where the keywords
// start) as state of edition, read without touching the file system.
SearchState ReadSwitches(Edition edition);

// What a search gives the front end.
struct SearchOutcome {
  // The last line written, without its line end; empty when none (or not kept).
  std::string lastMatch;
  Encoding lastMatchEncoding = Encoding::ShiftJis;  // the data encoding it was read in
};

// Runs the whole search and returns the last line written.
// Help, the launcher, the three messages and failures end the process inside.
SearchOutcome RunSearch();

// "narvo" or "zanpo" by edition, whatever name the program file has.
std::string ProgramBaseName();

// The first existing default data file, or empty: program-named .csv/.txt in
// the current folder, then beside the program, then KEN_ALL.CSV and
// utf_ken_all.csv beside it; then the same four names in each of the
// platform's data folders.
std::string DefaultTargetFile();

// Writes the short, long or minimal help screen for kind in edition's form and exits with status 0.
[[noreturn]] void ShowHelpScreen(HelpRequestKind kind, Edition edition);

// Hands the address named by keyword (lower-cased /U value) to the platform and exits with status
// 0.
[[noreturn]] void OpenRelatedPage(const std::string& keyword);

// The mailto address /Umail opens, subject included.
std::string MailAddress();

// Writes text (Shift-JIS) as one line in the console's encoding and exits with status 0.
[[noreturn]] void EndWithMessage(const char* text);

}  // namespace narvo
