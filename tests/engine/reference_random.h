// An independent model of the generator, written from its published constants, so that tests
// can say which draws a routine must make and in which order, and can place the generator just
// before a chosen draw.
#pragma once

#include <cstdint>

#include "engine/misc.h"

namespace vobrix::test {

class ReferenceRandom {
 public:
  // The state SeedRandom(seed) leaves: L = seed, H = 0, one Rand15 draw discarded.
  static ReferenceRandom Seeded(std::uint32_t seed) {
    ReferenceRandom r(seed);
    r.Rand15();
    return r;
  }
  explicit ReferenceRandom(std::uint64_t state) : state_(state) {}

  int Rand15() {
    const std::uint32_t low = static_cast<std::uint32_t>(state_) * 22695477u + 1u;
    state_ = (state_ & 0xFFFFFFFF00000000ull) | low;
    return static_cast<int>((low >> 16) & 0x7FFFu);
  }
  std::int32_t Rand31() {
    state_ = state_ * 1486058704437ull + 1ull;
    return static_cast<std::int32_t>((state_ >> 32) & 0x7FFFFFFFull);
  }
  std::int32_t Below(std::int32_t n) { return n == 0 ? 0 : Rand31() % n; }
  std::uint64_t state() const { return state_; }

 private:
  std::uint64_t state_;
};

// Sets the process generator so that its next Rand15 draw returns value (0 .. 32767): the low
// word is set to the predecessor, under the multiplier's inverse, of value << 16.
inline void PlaceBeforeRand15(int value, std::uint32_t highWord = 0) {
  std::uint32_t inverse = 22695477u;  // Newton's iteration doubles the correct bits each step
  for (int k = 0; k < 5; ++k) inverse *= 2u - 22695477u * inverse;
  const std::uint32_t next = static_cast<std::uint32_t>(value) << 16;
  const std::uint32_t low = (next - 1u) * inverse;
  SetRandomState((std::uint64_t{highWord} << 32) | low);
}

}  // namespace vobrix::test
