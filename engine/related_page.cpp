#include "engine/narvo_engine.h"
#include "helpers/output.h"
#include "platform/platform.h"

namespace narvo {

std::string MailAddress() {
  // Handed over exactly as built: the spaces and brackets are not percent-encoded.
  return std::string("mailto:") + NARVO_MAIL_AUTHOR + "?subject=from [" + ProgramBaseName() +
         ".exe version 1.7]";
}

void OpenRelatedPage(const std::string& keyword) {
  if (keyword == "zip") {
    platform::OpenWebPage(NARVO_URL_ZIP);
  } else if (keyword == "new") {
    platform::OpenWebPage(NARVO_URL_NEW);
  } else if (keyword == "mail") {
    platform::OpenMailAddress(MailAddress());
  } else {
    platform::OpenWebPage(NARVO_URL_AUTHOR);
  }
  FinishOutput();
  platform::ExitProcess(0);
}

}  // namespace narvo
