// A small deterministic pseudo-random generator for the asset tools. The committed assets must
// come out bit for bit the same on every run and every C library, so nothing here may depend on
// rand() or on the platform.
#pragma once

#include <cstdint>

namespace tc {

// xorshift32 with a splitmix-style scrambled seed, so that small neighbouring seeds still give
// unrelated sequences.
class Prng {
 public:
  explicit Prng(uint32_t seed) {
    uint32_t z = seed + 0x9E3779B9u;
    z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
    z = (z ^ (z >> 13)) * 0xC2B2AE35u;
    z ^= z >> 16;
    state_ = z != 0 ? z : 0x6D2B79F5u;
  }

  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

  // Uniform in [0, 1).
  float Unit() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }

  // Uniform in [-1, 1).
  float Signed() { return Unit() * 2.0f - 1.0f; }

  // Uniform integer in [0, n).
  uint32_t Below(uint32_t n) {
    return static_cast<uint32_t>((static_cast<uint64_t>(Next()) * n) >> 32);
  }

 private:
  uint32_t state_;
};

}  // namespace tc
