// The x86 levels: the vector types the kernels of scan_generic.h are
// instantiated with, each compiled for its own extension.
#include "engine/scan_levels.h"

#if NARVO_SCAN_X86
#include <immintrin.h>

namespace narvo {
namespace {

namespace sse2 {
#include "engine/scan_generic.h"

struct Vector {
  static constexpr std::size_t kWidth = 16;
  using Vec = __m128i;
  using Cmp = __m128i;
  static Vec Splat(char c) { return _mm_set1_epi8(c); }
  static Vec Load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static Vec Or(Vec a, Vec b) { return _mm_or_si128(a, b); }
  static Cmp Eq(Vec a, Vec b) { return _mm_cmpeq_epi8(a, b); }
  static Cmp And(Cmp x, Cmp y) { return _mm_and_si128(x, y); }
  static Cmp Either(Cmp x, Cmp y) { return _mm_or_si128(x, y); }
  static Cmp Differ(Cmp x, Cmp y) { return _mm_xor_si128(x, y); }
  static bool None(Cmp x) { return _mm_movemask_epi8(x) == 0; }
  static std::uint64_t Bits(Cmp x) { return static_cast<std::uint32_t>(_mm_movemask_epi8(x)); }
  static Cmp NulOrEndMark(Vec v) {
    return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_setzero_si128()), _mm_cmpeq_epi8(v, Splat(kEndMark)));
  }
};
}  // namespace sse2

NARVO_TARGET_BEGIN("avx2")
namespace avx2 {
#include "engine/scan_generic.h"

struct Vector {
  static constexpr std::size_t kWidth = 32;
  using Vec = __m256i;
  using Cmp = __m256i;
  static Vec Splat(char c) { return _mm256_set1_epi8(c); }
  static Vec Load(const char* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static Vec Or(Vec a, Vec b) { return _mm256_or_si256(a, b); }
  static Cmp Eq(Vec a, Vec b) { return _mm256_cmpeq_epi8(a, b); }
  static Cmp And(Cmp x, Cmp y) { return _mm256_and_si256(x, y); }
  static Cmp Either(Cmp x, Cmp y) { return _mm256_or_si256(x, y); }
  static Cmp Differ(Cmp x, Cmp y) { return _mm256_xor_si256(x, y); }
  static bool None(Cmp x) { return _mm256_testz_si256(x, x) != 0; }
  static std::uint64_t Bits(Cmp x) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(x)); }
  static Cmp NulOrEndMark(Vec v) {
    return _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_setzero_si256()),
                           _mm256_cmpeq_epi8(v, Splat(kEndMark)));
  }
};
}  // namespace avx2
NARVO_TARGET_END

#if NARVO_SCAN_AVX512
// AVX-512 with byte and word instructions: the compares give bit masks directly.
NARVO_TARGET_BEGIN("avx512f,avx512bw")
namespace avx512 {
#include "engine/scan_generic.h"

// A byte equals its entry, picked by its low four bits, only when it is a NUL
// or an end mark (bytes of 0x80 and up pick 0).
alignas(64) constexpr char kNulOrEndMarkTable[64] = {
#define NARVO_ROW 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, kEndMark, -1, -1, -1, -1, -1
    NARVO_ROW, NARVO_ROW, NARVO_ROW, NARVO_ROW
#undef NARVO_ROW
};

struct Vector {
  static constexpr std::size_t kWidth = 64;
  using Vec = __m512i;
  using Cmp = __mmask64;
  static Vec Splat(char c) { return _mm512_set1_epi8(c); }
  static Vec Load(const char* p) { return _mm512_loadu_si512(p); }
  static Vec Or(Vec a, Vec b) { return _mm512_or_si512(a, b); }
  static Cmp Eq(Vec a, Vec b) { return _mm512_cmpeq_epi8_mask(a, b); }
  static Cmp And(Cmp x, Cmp y) { return x & y; }
  static Cmp Either(Cmp x, Cmp y) { return x | y; }
  static Cmp Differ(Cmp x, Cmp y) { return x ^ y; }
  static bool None(Cmp x) { return x == 0; }
  static std::uint64_t Bits(Cmp x) { return x; }
  static Cmp NulOrEndMark(Vec v) {
    return _mm512_cmpeq_epi8_mask(_mm512_shuffle_epi8(_mm512_load_si512(kNulOrEndMarkTable), v), v);
  }
};
}  // namespace avx512
NARVO_TARGET_END
#endif

}  // namespace

constinit const ScanKernels kSse2Kernels = sse2::KernelsOf<sse2::Vector>(ScanLevel::Sse2);
constinit const ScanKernels kAvx2Kernels = avx2::KernelsOf<avx2::Vector>(ScanLevel::Avx2);
#if NARVO_SCAN_AVX512
constinit const ScanKernels kAvx512Kernels = avx512::KernelsOf<avx512::Vector>(ScanLevel::Avx512);
#endif

}  // namespace narvo

#endif  // NARVO_SCAN_X86
