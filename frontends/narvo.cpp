// narvo: the plain edition, the search engine and nothing else.
#include "engine/narvo_engine.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::Init(argc, argv);
  narvo::State().edition = narvo::Edition::Plain;
  narvo::RunSearch();
  return 0;
}
