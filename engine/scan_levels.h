// What the level files share: which vector extensions this build compiles
// kernels for, and each level's table. The only header that knows the processor.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/scan_kernels.h"
#include "helpers/text.h"

// x86 gets SSE2 (always there on x86-64), and AVX2 and AVX-512 when the
// processor has them, chosen at run time; aarch64 always has NEON. The build
// may leave the vectors out (NARVO_NO_SIMD) or AVX-512 alone (NARVO_NO_AVX512).
#if !defined(NARVO_NO_SIMD) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__) && \
    defined(__GNUC__)
#define NARVO_SCAN_X86 1
#else
#define NARVO_SCAN_X86 0
#endif
#if NARVO_SCAN_X86 && !defined(NARVO_NO_AVX512)
#define NARVO_SCAN_AVX512 1
#else
#define NARVO_SCAN_AVX512 0
#endif
#if !defined(NARVO_NO_SIMD) && defined(__aarch64__) && defined(__GNUC__)
#define NARVO_SCAN_NEON 1
#else
#define NARVO_SCAN_NEON 0
#endif

// Code between these is compiled for the named extensions, whatever the
// build's own target; the intrinsics of a wider level may be used only there.
#define NARVO_STRINGIFY(x) #x
#if defined(__clang__)
#define NARVO_TARGET_BEGIN(extensions) \
  _Pragma(NARVO_STRINGIFY(             \
      clang attribute push(__attribute__((target(extensions))), apply_to = function)))
#define NARVO_TARGET_END _Pragma("clang attribute pop")
#else
#define NARVO_TARGET_BEGIN(extensions) \
  _Pragma("GCC push_options") _Pragma(NARVO_STRINGIFY(GCC target(extensions)))
#define NARVO_TARGET_END _Pragma("GCC pop_options")
#endif

namespace narvo {

extern const ScanKernels kPortableKernels;
#if NARVO_SCAN_X86
extern const ScanKernels kSse2Kernels;
extern const ScanKernels kAvx2Kernels;
#endif
#if NARVO_SCAN_AVX512
extern const ScanKernels kAvx512Kernels;
#endif
#if NARVO_SCAN_NEON
extern const ScanKernels kNeonKernels;
#endif

}  // namespace narvo
