#include "helpers/line_reader.h"

#include "helpers/failure.h"
#include "helpers/text.h"

namespace narvo {

namespace {

// True when an unread byte is buffered, reading more when the buffer is used up.
bool Available(LineReader* r) {
  if (r->begin < r->end) return true;
  if (r->dataEnded) return false;
  platform::IoError error;
  const std::ptrdiff_t n = r->read(r->buffer.data(), r->buffer.size(), &error);
  if (n < 0) FailIo(error);
  r->begin = 0;
  r->end = static_cast<std::size_t>(n);
  if (n == 0) r->dataEnded = true;
  return n > 0;
}

// After an end mark inside a line: the rest of the physical line is dropped up
// to and including its LF; another end mark, or the end of the data, ends the input.
void SkipRestOfLine(LineReader* r) {
  while (Available(r)) {
    for (std::size_t i = r->begin; i < r->end; ++i) {
      const char c = r->buffer[i];
      if (c == '\n' || c == kEndMark) {
        r->begin = i + 1;
        if (c == kEndMark) r->inputEnded = r->endMarked = true;
        return;
      }
    }
    r->begin = r->end;
  }
  r->inputEnded = true;
}

}  // namespace

void InitLineReader(LineReader* reader, ReadFunction read, std::size_t bufferSize) {
  reader->read = std::move(read);
  reader->buffer.assign(bufferSize == 0 ? 1 : bufferSize, '\0');
  reader->begin = reader->end = 0;
  reader->dataEnded = reader->inputEnded = reader->endMarked = false;
}

ReadFunction InputReadFunction(const platform::Input& input) {
  return [input](char* buffer, std::size_t size, platform::IoError* error) {
    return platform::ReadInput(input, buffer, size, error);
  };
}

bool ReadLine(LineReader* r, std::string* line) {
  line->clear();
  if (r->inputEnded) return false;
  if (!Available(r) || r->buffer[r->begin] == kEndMark) {
    r->endMarked = r->begin < r->end;
    r->inputEnded = true;
    return false;
  }
  while (Available(r)) {
    std::size_t i = r->begin;
    while (i < r->end && r->buffer[i] != '\n' && r->buffer[i] != '\r' && r->buffer[i] != kEndMark) {
      ++i;
    }
    line->append(r->buffer.data() + r->begin, i - r->begin);
    if (i == r->end) {
      r->begin = r->end;
      continue;
    }
    const char c = r->buffer[i];
    r->begin = i + 1;
    if (c == '\n') return true;
    if (c == kEndMark) {
      SkipRestOfLine(r);
      return true;
    }
    // CR: a line end only with LF right after it, otherwise dropped.
    if (Available(r) && r->buffer[r->begin] == '\n') {
      ++r->begin;
      return true;
    }
  }
  return true;  // a last line without a line end
}

}  // namespace narvo
