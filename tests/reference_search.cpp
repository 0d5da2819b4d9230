#include "tests/reference_search.h"

#include <algorithm>
#include <cstring>

#include "engine/data_encoding.h"
#include "engine/matcher.h"
#include "helpers/encoding.h"
#include "helpers/failure.h"

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

std::optional<Encoding> DecideDataEncoding(std::string_view data, bool strict) {
  const std::size_t high = FirstHighByte(data);
  if (high == std::string_view::npos) return std::nullopt;
  // Where the line reader ends the input: an end mark where a line begins, or
  // a second one in a line whose rest it skips after the first.
  std::size_t inputEnd = data.size();
  for (std::size_t at = 0; at < data.size();) {
    const std::size_t lf = std::min(data.find('\n', at), data.size());
    const std::size_t mark = data.find(kEndMark, at);
    if (mark == at) {
      inputEnd = at;
      break;
    }
    const std::size_t second = mark < lf ? data.find(kEndMark, mark + 1) : data.npos;
    if (second < lf) {
      inputEnd = second;
      break;
    }
    at = lf + 1;
  }
  if (high >= inputEnd) return std::nullopt;
  if (data.substr(0, 3) == "\xEF\xBB\xBF") return Encoding::Utf8;
  const std::size_t lineEnd = std::min(data.find('\n', high), inputEnd);
  Utf8Check check;
  CheckUtf8(&check, data.substr(high, lineEnd - high));
  return TakesUtf8(check, strict) ? Encoding::Utf8 : Encoding::ShiftJis;
}

SearchOutcome SearchStreamByLine(const SearchSetup& setup, const ReadFunction& read,
                                 const ByteSink& sink) {
  // The whole data first: the encoding is decided on it as a whole.
  std::string data;
  std::vector<char> block(setup.bufferSize == 0 ? 1 : setup.bufferSize);
  platform::IoError error;
  for (std::ptrdiff_t n; (n = read(block.data(), block.size(), &error)) != 0;) {
    if (n < 0) FailIo(error);
    data.append(block.data(), static_cast<std::size_t>(n));
  }
  DataState d;
  StartData(&d, setup);
  if (setup.consoleUtf8 || setup.decideNative) {
    if (const std::optional<Encoding> decided = DecideDataEncoding(data, !setup.consoleUtf8)) {
      Decide(&d, setup, *decided);
    }
  }
  LineReader reader;
  std::size_t offset = 0;
  InitLineReader(
      &reader,
      [&](char* buffer, std::size_t size, platform::IoError*) {
        const std::size_t n = std::min(size, data.size() - offset);
        std::memcpy(buffer, data.data() + offset, n);
        offset += n;
        return static_cast<std::ptrdiff_t>(n);
      },
      setup.bufferSize);
  SearchOutcome outcome;
  std::string line;
  while (ReadLine(&reader, &line)) {
    if (!LineSelected(d.matcher, line)) continue;
    sink(setup.consoleUtf8 && d.encoding == Encoding::ShiftJis ? ShiftJisToUtf8(line) : line);
    sink("\r\n");
    outcome.lastMatch = line;
    outcome.lastMatchEncoding = d.encoding;
  }
  return outcome;
}

}  // namespace narvo
