#include "helpers/params.h"

#include "helpers/text.h"

namespace narvo {

namespace {

bool IsSeparatorByte(unsigned char c) {
  return c >= 1 && c <= 32;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line, Encoding encoding) {
  line = line.substr(0, line.find('\0'));
  std::vector<std::string> parameters;
  std::size_t p = 0;
  bool programName = true;
  for (;;) {
    for (;;) {
      while (p < line.size() && IsSeparatorByte(static_cast<unsigned char>(line[p])))
        ++p;
      if (p + 1 < line.size() && line[p] == '"' && line[p + 1] == '"') {
        p += 2;
      } else {
        break;
      }
    }
    std::string parameter;
    bool quoted = false;
    while (p < line.size()) {
      const auto c = static_cast<unsigned char>(line[p]);
      if (!quoted && IsSeparatorByte(c)) break;
      if (c == '"') {
        quoted = !quoted;
        ++p;
        continue;
      }
      const std::size_t n = CharLength(line, p, encoding);
      parameter.append(line.substr(p, n));
      p += n;
    }
    if (programName) {
      programName = false;
      continue;
    }
    // The end of the line, or a lone quote there, yields the empty parameter
    // that ends the count.
    if (parameter.empty()) break;
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

}  // namespace narvo
