// narvo: the plain edition, the search engine and nothing else.
#include <new>

#include "engine/narvo_engine.h"
#include "helpers/failure.h"
#include "helpers/output.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::Init(argc, argv);
  narvo::State().edition = narvo::Edition::Plain;
  try {
    narvo::RunSearch();
  } catch (const std::bad_alloc&) {
    // A line too long for memory: the buffers are released by now, so the report fits.
    narvo::FailOutOfMemory();
  }
  narvo::FinishOutput();
  return 0;
}
