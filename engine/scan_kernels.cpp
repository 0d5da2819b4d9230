// The choice of the scan level, made once.
#include "engine/scan_kernels.h"

#include "engine/scan_levels.h"

namespace narvo {

std::vector<ScanLevel> ScanLevelsHere() {
  std::vector<ScanLevel> levels{ScanLevel::Portable};
#if NARVO_SCAN_X86
  levels.push_back(ScanLevel::Sse2);
  if (__builtin_cpu_supports("avx2")) levels.push_back(ScanLevel::Avx2);
#endif
#if NARVO_SCAN_AVX512
  if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512f")) {
    levels.push_back(ScanLevel::Avx512);
  }
#endif
#if NARVO_SCAN_NEON
  levels.push_back(ScanLevel::Neon);
#endif
  return levels;
}

ScanLevel WidestScanLevel() {
  return ScanLevelsHere().back();
}

const ScanKernels& KernelsFor(ScanLevel level) {
  switch (level) {
#if NARVO_SCAN_X86
    case ScanLevel::Sse2:
      return kSse2Kernels;
    case ScanLevel::Avx2:
      return kAvx2Kernels;
#endif
#if NARVO_SCAN_AVX512
    case ScanLevel::Avx512:
      return kAvx512Kernels;
#endif
#if NARVO_SCAN_NEON
    case ScanLevel::Neon:
      return kNeonKernels;
#endif
    default:
      return kPortableKernels;
  }
}

const ScanKernels& WidestKernels() {
  static const ScanKernels& widest = KernelsFor(WidestScanLevel());
  return widest;
}

}  // namespace narvo
