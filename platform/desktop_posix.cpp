// Clipboard and address opener on Linux and macOS: handed to the desktop's own programs.
#include "platform/platform.h"

namespace platform {

bool SetClipboardText(std::string_view) { return false; }

void OpenWebPage(const std::string&) {}

void OpenMailAddress(const std::string&) {}

}  // namespace platform
