#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/narvo_engine.h"
#include "helpers/vastel.h"

namespace narvo {
namespace {

struct SwitchCase {
  std::vector<std::string> parameters;
  Edition edition;
  bool readStdin, namedFile;
  std::string targetPath;
  std::int32_t copyColumn;
  bool excludeMode;
  std::vector<std::string> terms;  // quoted per /W
  std::string badNumber;
};

// Each switch counts once wherever it stands, so the keywords start after as
// many parameters as there are switches, whatever those parameters are.
const SwitchCase kSwitchCases[] = {
    {{"/Fdata.csv", "/V", "k"}, Edition::Plain, false, true, "data.csv", 0, true, {"k"}, ""},
    {{"/S", "/Fx", "a"}, Edition::Plain, true, false, "", 0, false, {"/Fx", "a"}, ""},
    {{"-s", "a"}, Edition::Clipboard, true, false, "", 3, false, {"a"}, ""},
    {{"/C0", "k"}, Edition::Clipboard, false, false, "", 0, false, {"k"}, ""},
    {{"/C0", "k"}, Edition::Plain, false, false, "", 0, false, {"/C0", "k"}, ""},
    {{"/Cx", "/c7", "k"}, Edition::Clipboard, false, false, "", 3, false, {"/c7", "k"}, ""},
    {{"k", "/v"}, Edition::Plain, false, false, "", 0, true, {"/v"}, ""},
    {{"/W", "k", "j"}, Edition::Plain, false, false, "", 0, false, {"\"k\"", "\"j\""}, ""},
    {{"/W2", "k"}, Edition::Plain, false, false, "", 0, false, {"\"k"}, ""},
    {{"+w3", "k"}, Edition::Plain, false, false, "", 0, false, {"k\""}, ""},
    {{"/W7", "k"}, Edition::Plain, false, false, "", 0, false, {"k"}, ""},
    {{"/Wx", "k"}, Edition::Plain, false, false, "", 0, false, {"k"}, ""},
    {{"/F"}, Edition::Plain, false, true, "", 0, false, {}, ""},
    // Reported only once the input is chosen: its messages come first.
    {{"/C2147483648", "/W99999999999", "k"},
     Edition::Clipboard,
     false,
     false,
     "",
     0,
     false,
     {"k"},
     "2147483648"},
};

TEST(ReadSwitches, InterpretsEachSwitchOnce) {
  for (const SwitchCase& c : kSwitchCases) {
    SCOPED_TRACE(testing::PrintToString(c.parameters));
    SetParameters("/usr/bin/narvo", c.parameters);
    const SearchState s = ReadSwitches(c.edition);
    EXPECT_EQ(s.readStdin, c.readStdin);
    EXPECT_EQ(s.namedFile, c.namedFile);
    EXPECT_EQ(s.targetPath, c.targetPath);
    EXPECT_EQ(s.copyColumn, c.copyColumn);
    EXPECT_EQ(s.excludeMode, c.excludeMode);
    EXPECT_EQ(s.terms, c.terms);
    EXPECT_EQ(s.badNumber, c.badNumber);
  }
}

}  // namespace
}  // namespace narvo
