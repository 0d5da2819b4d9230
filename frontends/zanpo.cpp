// zanpo: the clipboard edition. After a search that ended normally it copies
// one comma-separated field of the last selected line to the clipboard.
#include "engine/clipboard_field.h"
#include "engine/narvo_engine.h"
#include "helpers/failure.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::Init(argc, argv);
  narvo::State().edition = narvo::Edition::Clipboard;
  const std::string lastMatch = narvo::RunSearch();
  narvo::CopyFieldToClipboard(lastMatch);
  return 0;
}
