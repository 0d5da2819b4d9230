#include "helpers/output.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "helpers/encoding.h"
#include "helpers/failure.h"
#include "helpers/text.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// Small: it gathers the scattered lines of a search that writes few; many
// lines go out straight from the read buffer (WritePieces), and every page of
// a larger buffer would cost a page fault for little.
constexpr std::size_t kBufferSize = 1 << 14;

// Once a run has written this much, its gathered writes are handed to a thread
// of their own: the system's copy of the bytes (into the page cache or a pipe)
// then runs beside the reading and searching instead of after it. A run that
// writes little never starts the thread.
constexpr std::size_t kOutputForWriter = 1 << 20;

// Writes handed over and not yet done, at most this many.
constexpr std::size_t kJobs = 4;

// The writer thread and what it is handed. It runs until the process ends, so
// it is never destroyed. Fields under lock.
struct Writer {
  std::mutex lock;
  std::condition_variable changed;
  struct Job {
    std::string buffered;  // bytes that were in the buffer, copied
    std::vector<std::string_view> pieces;
    bool toUtf8 = false;  // pieces after the buffered bytes are Shift-JIS to convert
  } jobs[kJobs];
  std::unique_ptr<char[]> converted;  // the writer's output buffer for them, uninitialised
  OutputMark handed = 0;              // jobs handed over so far; job n is jobs[(n - 1) % kJobs]
  OutputMark written = 0;             // of them, jobs done
  bool failed = false;                // a write failed: the jobs after it are dropped
  platform::IoError error;
};

// Bytes written but not yet handed to the system.
std::string pending;
std::size_t total = 0;     // bytes appended so far: enough of them start the writer
Writer* writer = nullptr;  // once started

bool WriteInUtf8(Writer* w, const Writer::Job& job, platform::IoError* error) {
  bool ok =
      platform::WriteAll(platform::Stream::Output, job.buffered.data(), job.buffered.size(), error);
  ConvertPieces(
      std::span(job.pieces).subspan(job.buffered.empty() ? 0 : 1),
      [w] {
        if (!w->converted)
          w->converted = std::make_unique_for_overwrite<char[]>(kConvertBufferSize);
        return w->converted.get();
      },
      [&](std::string_view bytes) {
        ok = ok && platform::WriteAll(platform::Stream::Output, bytes.data(), bytes.size(), error);
      });
  return ok;
}

void WriteJobs(Writer* w) {
  std::unique_lock<std::mutex> held(w->lock);
  for (;;) {
    w->changed.wait(held, [w] { return w->written < w->handed; });
    const Writer::Job& job = w->jobs[w->written % kJobs];
    const bool skip = w->failed;
    held.unlock();
    platform::IoError error;
    const bool ok = skip || (job.toUtf8 ? WriteInUtf8(w, job, &error)
                                        : platform::WriteAllPieces(platform::Stream::Output,
                                                                   job.pieces, &error));
    held.lock();
    if (!ok) {
      w->failed = true;
      w->error = error;
    }
    ++w->written;
    w->changed.notify_all();
  }
}

// Waits until job mark (and every one before) is written; false when a write failed.
bool Await(OutputMark mark, platform::IoError* error) {
  std::unique_lock<std::mutex> held(writer->lock);
  writer->changed.wait(held, [mark] { return writer->written >= mark; });
  *error = writer->error;
  return !writer->failed;
}

// Hands the buffered bytes and then the pieces to the writer as one job.
OutputMark HandOver(std::span<const std::string_view> pieces, bool toUtf8 = false) {
  platform::IoError error;
  if (writer->handed >= kJobs && !Await(writer->handed - kJobs + 1, &error)) FailIo(error);
  Writer::Job& job = writer->jobs[writer->handed % kJobs];
  job.buffered.swap(pending);
  pending.clear();
  job.pieces.clear();
  if (!job.buffered.empty()) job.pieces.emplace_back(job.buffered);
  job.pieces.insert(job.pieces.end(), pieces.begin(), pieces.end());
  job.toUtf8 = toUtf8;
  {
    std::lock_guard<std::mutex> held(writer->lock);
    ++writer->handed;
  }
  writer->changed.notify_all();
  return writer->handed;
}

bool Drain(platform::IoError* error) {
  if (writer != nullptr) {
    if (!pending.empty()) HandOver({});
    return Await(writer->handed, error);
  }
  const bool ok =
      platform::WriteAll(platform::Stream::Output, pending.data(), pending.size(), error);
  pending.clear();
  return ok;
}

}  // namespace

void WriteBytes(std::string_view bytes) {
  total += bytes.size();
  if (pending.capacity() < kBufferSize) pending.reserve(kBufferSize);
  if (pending.size() + bytes.size() > kBufferSize) {
    FlushOutput();
    if (bytes.size() >= kBufferSize) {
      // Long lines go straight out instead of through the buffer.
      platform::IoError error;
      if (!platform::WriteAll(platform::Stream::Output, bytes.data(), bytes.size(), &error)) {
        FailIo(error);
      }
      return;
    }
  }
  pending.append(bytes);
}

OutputMark WritePieces(std::span<const std::string_view> pieces) {
  std::size_t size = 0;
  for (std::string_view piece : pieces)
    size += piece.size();
  total += size;
  if (pending.size() + size <= kBufferSize) {
    if (pending.capacity() < kBufferSize) pending.reserve(kBufferSize);
    for (std::string_view piece : pieces)
      pending.append(piece);
    return 0;
  }
  if (writer == nullptr && total >= kOutputForWriter) {
    writer = new Writer;
    std::thread(WriteJobs, writer).detach();
  }
  if (writer != nullptr) return HandOver(pieces);
  static std::vector<std::string_view> all;
  all.clear();
  all.emplace_back(pending);
  all.insert(all.end(), pieces.begin(), pieces.end());
  platform::IoError error;
  const bool ok = platform::WriteAllPieces(platform::Stream::Output, all, &error);
  pending.clear();
  if (!ok) FailIo(error);
  return 0;
}

OutputMark WritePiecesInUtf8(std::span<const std::string_view> pieces) {
  return writer == nullptr ? 0 : HandOver(pieces, true);
}

void AwaitOutput(OutputMark mark) {
  platform::IoError error;
  if (writer != nullptr && mark != 0 && !Await(mark, &error)) FailIo(error);
}

void WriteLine(std::string_view bytes) {
  WriteBytes(bytes);
  WriteBytes("\r\n");
}

void FlushOutput() {
  platform::IoError error;
  if (!Drain(&error)) FailIo(error);
}

void FinishOutput() {
  FlushOutput();
  platform::IoError error;
  if (!platform::CloseOutput(&error)) FailIo(error);
}

bool TryFlushOutput() {
  platform::IoError error;
  return Drain(&error);
}

std::string ConsoleText(std::string_view shiftJisText) {
  if (ConsoleEncoding() != Encoding::Utf8) return std::string(shiftJisText);
  return ShiftJisToUtf8(shiftJisText);
}

std::string ConsoleText(std::string_view shiftJisText, std::string_view value) {
  std::string text = ConsoleText(shiftJisText);
  // '%' is never part of a Shift-JIS character, so the first one is the mark.
  const std::size_t mark = text.find("%s");
  if (mark != std::string::npos) text.replace(mark, 2, value);
  return text;
}

}  // namespace narvo
