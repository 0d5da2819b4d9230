// zanpo: the clipboard edition. After a search that ended normally it copies
// one comma-separated field of the last selected line to the clipboard.
#include <new>

#include "engine/clipboard_field.h"
#include "engine/narvo_engine.h"
#include "helpers/failure.h"
#include "helpers/output.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::Init(argc, argv);
  narvo::State().edition = narvo::Edition::Clipboard;
  try {
    const narvo::SearchOutcome outcome = narvo::RunSearch();
    narvo::CopyFieldToClipboard(outcome, narvo::State().copyColumn);
  } catch (const std::bad_alloc&) {
    // A line too long for memory: the buffers are released by now, so the report fits.
    narvo::FailOutOfMemory();
  }
  narvo::FinishOutput();
  return 0;
}
