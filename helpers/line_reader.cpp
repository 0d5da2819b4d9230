#include "helpers/line_reader.h"

namespace narvo {

ReadFunction InputReadFunction(const platform::Input& input) {
  return [input](char* buffer, std::size_t size, platform::IoError* error) {
    return platform::ReadInput(input, buffer, size, error);
  };
}

}  // namespace narvo
