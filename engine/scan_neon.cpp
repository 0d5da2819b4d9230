// The NEON level of aarch64, where NEON is always there: the vector type the
// kernels of scan_generic.h are instantiated with.
#include "engine/scan_levels.h"

#if NARVO_SCAN_NEON
#include <arm_neon.h>

namespace narvo {
namespace {

namespace neon {
#include "engine/scan_generic.h"

// Four registers make one vector of 64 bytes: NEON has no byte mask move, and
// the pairwise additions that make one cost least when they fold four
// registers into one 64-bit mask at once.
struct Vector {
  static constexpr std::size_t kWidth = 64;
  using Vec = uint8x16x4_t;
  using Cmp = uint8x16x4_t;
  static Vec Splat(char c) {
    const uint8x16_t v = vdupq_n_u8(static_cast<std::uint8_t>(c));
    return {{v, v, v, v}};
  }
  static Vec Load(const char* p) {
    const auto* q = reinterpret_cast<const std::uint8_t*>(p);
    return {{vld1q_u8(q), vld1q_u8(q + 16), vld1q_u8(q + 32), vld1q_u8(q + 48)}};
  }
  static Vec Or(Vec a, Vec b) {
    return {{vorrq_u8(a.val[0], b.val[0]), vorrq_u8(a.val[1], b.val[1]),
             vorrq_u8(a.val[2], b.val[2]), vorrq_u8(a.val[3], b.val[3])}};
  }
  static Cmp Eq(Vec a, Vec b) {
    return {{vceqq_u8(a.val[0], b.val[0]), vceqq_u8(a.val[1], b.val[1]),
             vceqq_u8(a.val[2], b.val[2]), vceqq_u8(a.val[3], b.val[3])}};
  }
  static Cmp And(Cmp x, Cmp y) {
    return {{vandq_u8(x.val[0], y.val[0]), vandq_u8(x.val[1], y.val[1]),
             vandq_u8(x.val[2], y.val[2]), vandq_u8(x.val[3], y.val[3])}};
  }
  static Cmp Either(Cmp x, Cmp y) { return Or(x, y); }
  static Cmp Differ(Cmp x, Cmp y) {
    return {{veorq_u8(x.val[0], y.val[0]), veorq_u8(x.val[1], y.val[1]),
             veorq_u8(x.val[2], y.val[2]), veorq_u8(x.val[3], y.val[3])}};
  }
  static bool None(Cmp x) {
    return vmaxvq_u8(vorrq_u8(vorrq_u8(x.val[0], x.val[1]), vorrq_u8(x.val[2], x.val[3]))) == 0;
  }
  // Each byte keeps its own bit of its group of eight; three rounds of
  // pairwise sums then gather the 64 bits in byte order.
  static std::uint64_t Bits(Cmp x) {
    static constexpr std::uint8_t kWeights[16] = {1, 2, 4, 8, 16, 32, 64, 128,
                                                  1, 2, 4, 8, 16, 32, 64, 128};
    const uint8x16_t weights = vld1q_u8(kWeights);
    const uint8x16_t low = vpaddq_u8(vandq_u8(x.val[0], weights), vandq_u8(x.val[1], weights));
    const uint8x16_t high = vpaddq_u8(vandq_u8(x.val[2], weights), vandq_u8(x.val[3], weights));
    const uint8x16_t quads = vpaddq_u8(low, high);
    return vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(quads, quads)), 0);
  }
  static Cmp NulOrEndMark(Vec v) {
    const Cmp nul = Eq(v, Splat(kNul));
    return Either(nul, Eq(v, Splat(kEndMark)));
  }
};
}  // namespace neon

}  // namespace

constinit const ScanKernels kNeonKernels = neon::KernelsOf<neon::Vector>(ScanLevel::Neon);

}  // namespace narvo

#endif  // NARVO_SCAN_NEON
