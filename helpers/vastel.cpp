#include "helpers/vastel.h"

#include "helpers/text.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// Parameter 0 is the program path; 1.. are the parameters proper.
std::vector<std::string> parameterList{std::string()};

bool IsSwitchPrefix(char c) {
  return c == '/' || c == '-' || c == '+';
}

// True when text is one of "/"+word, "-"+word, "+"+word.
bool IsSwitchForm(std::string_view text, std::string_view word) {
  return text.size() == word.size() + 1 && IsSwitchPrefix(text[0]) && text.substr(1) == word;
}

}  // namespace

void LoadParameters() {
  SetParameters(platform::ProgramPath(), platform::Parameters());
}

void SetParameters(std::string programPath, std::vector<std::string> parameters) {
  parameterList.clear();
  parameterList.push_back(std::move(programPath));
  for (auto& p : parameters)
    parameterList.push_back(std::move(p));
}

int ParamCount() {
  return static_cast<int>(parameterList.size()) - 1;
}

const std::string& Param(int index) {
  static const std::string none;
  return index >= 0 && index <= ParamCount() ? parameterList[index] : none;
}

int FindSwitch(char letter) {
  for (int i = 1; i <= ParamCount(); ++i) {
    const std::string& p = Param(i);
    if (p.size() < 2) continue;
    for (char prefix : {'/', '-', '+'}) {
      const char form[2] = {prefix, letter};
      if (platform::EqualIgnoringCase(std::string_view(p).substr(0, 2),
                                      std::string_view(form, 2))) {
        return i;
      }
    }
  }
  return 0;
}

std::string SwitchValue(int index) {
  if (index < 1) return std::string();
  const std::string& p = Param(index);
  return p.size() > 2 ? p.substr(2) : std::string();
}

HelpRequestKind ClassifyHelpRequest() {
  if (ParamCount() == 0) return HelpRequestKind::NoParameters;
  for (int i = 1; i <= ParamCount(); ++i) {
    const std::string& p = Param(i);
    const std::string lower = LowerCase(p, ConsoleEncoding());
    if (p.size() >= 3 && IsSwitchPrefix(p[0]) && p[1] == '?' && p[2] == '?') {
      return HelpRequestKind::LongSwitch;
    }
    if (IsSwitchForm(p, "?")) return HelpRequestKind::ShortSwitch;
    if (IsSwitchForm(lower, "help")) return HelpRequestKind::HelpWord;
    if (p.size() >= 2 && p[0] == '?' && p[1] == '?') return HelpRequestKind::BareDoubleQuestion;
    if (p == "?") return HelpRequestKind::BareQuestion;
    if (lower == "help") return HelpRequestKind::BareHelp;
  }
  return HelpRequestKind::NoRequest;
}

std::string StripTrailingSeparators(std::string_view path) {
  const char separator = platform::PathSeparator();
  // Walk whole characters so a separator-valued trail byte (0x5C) never counts.
  std::size_t keep = 0;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t n = CharLength(path, i, ConsoleEncoding());
    if (!(n == 1 && path[i] == separator)) keep = i + n;
    i += n;
  }
  return std::string(path.substr(0, keep));
}

std::string WithTrailingSeparator(std::string_view path) {
  return StripTrailingSeparators(path) + platform::PathSeparator();
}

bool IsAllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace narvo
