// The command-line helpers both programs share: the parameter list, switch
// lookup, the help-request classifier, trailing separators and the digit test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace narvo {

// The help request found on the command line; the values are fixed.
enum class HelpRequestKind {
  NoRequest = 0,
  HelpWord = 1,
  ShortSwitch = 2,
  LongSwitch = 3,
  BareHelp = 6,
  BareQuestion = 7,
  BareDoubleQuestion = 8,
  NoParameters = 9,
};

// Takes the program path and parameters from the platform.
void LoadParameters();

// Replaces the parameter list (parameter 0 is programPath); for tests and LoadParameters.
void SetParameters(std::string programPath, std::vector<std::string> parameters);

// Number of parameters after the program name.
int ParamCount();

// Parameter index (0 is the program's full path); empty outside 0..ParamCount().
const std::string& Param(int index);

// Number of the first parameter starting with "/", "-" or "+" and letter (any
// case); 0 when there is none. One-byte parameters never match.
int FindSwitch(char letter);

// Parameter index without its first two bytes; empty for an index below 1.
std::string SwitchValue(int index);

// The first help form on the command line, or NoRequest / NoParameters.
HelpRequestKind ClassifyHelpRequest();

// path without the separators standing as characters of their own at its end.
std::string StripTrailingSeparators(std::string_view path);

// StripTrailingSeparators(path) followed by one separator.
std::string WithTrailingSeparator(std::string_view path);

// True for a non-empty text of ASCII digits only.
bool IsAllDigits(std::string_view text);

}  // namespace narvo
