// Splitting a whole command line into parameters, the way the program's own
// platform hands it over on Windows. Pure: POSIX gets argv already split and
// only the tests use this there.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "helpers/text.h"

namespace narvo {

// The parameters of a command line after the program name: controls and spaces
// separate, double quotes group and are dropped, a stray "" before a parameter
// is skipped, characters of encoding are stepped over whole (a Shift-JIS trail
// byte may be a quote), and counting stops at the first empty parameter.
std::vector<std::string> SplitCommandLine(std::string_view commandLine,
                                          Encoding encoding = Encoding::ShiftJis);

}  // namespace narvo
