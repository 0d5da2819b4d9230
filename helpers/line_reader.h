// Where a search's bytes come from: a function that reads an input's next
// bytes, over a platform input in a run and over strings in the tests.
#pragma once

#include <cstddef>
#include <functional>

#include "platform/platform.h"

namespace narvo {

// Fills buffer with up to size bytes: the count, 0 at the end of the data, -1 with *error filled.
using ReadFunction =
    std::function<std::ptrdiff_t(char* buffer, std::size_t size, platform::IoError* error)>;

// A ReadFunction over an open platform input; a read failure ends in the failure report.
ReadFunction InputReadFunction(const platform::Input& input);

}  // namespace narvo
