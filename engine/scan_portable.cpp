// The portable level: what every processor runs, with no vector extension.
#include "engine/scan_levels.h"

namespace narvo {
namespace {

namespace portable {
#include "engine/scan_generic.h"

// The bytes left to the caller's own loop.
const char* NoCandidateOfAny(const std::vector<Needle>&, const char* p, const char*) {
  return p;
}

BlockScan ScanWholeBlock(const char* begin, const char* end, std::uint64_t* bits) {
  return ScanBlockScalar(begin, begin, end, false, bits);
}
}  // namespace portable

}  // namespace

constinit const ScanKernels kPortableKernels = {ScanLevel::Portable, portable::CandidateScalar,
                                                portable::NoCandidateOfAny, portable::LastLfScalar,
                                                portable::ScanWholeBlock};

}  // namespace narvo
