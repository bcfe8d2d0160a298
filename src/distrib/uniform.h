// The program's one source of uniform random numbers: L'Ecuyer's (1988)
// combined multiplicative congruential generator, each component stepped with
// Schrage's method in 32-bit signed arithmetic.
#pragma once

#include <cstdint>

namespace quorvane {

inline constexpr std::int32_t kStartSeed1 = 897183450;
inline constexpr std::int32_t kStartSeed2 = 1841323562;

// Process-wide generator state, shared by every distribution object. The
// engines assign both at the start of every run. Not synchronised: only one
// thread draws at a time.
extern std::int32_t Seed1;
extern std::int32_t Seed2;

namespace detail {

// The generator's components, s -> a s mod m:
//   component 1: a = 40014, m = 2147483563 = 2^31 - 85;
//   component 2: a = 40692, m = 2147483399 = 2^31 - 249.
inline constexpr std::int64_t kModulus1 = 2147483563, kModulus2 = 2147483399;

// One step of the generator from seed1 and seed2, each component stepped with
// Schrage's method (s = q k + r with m = a q + r, so that every product fits
// in 32-bit signed arithmetic). Returns z in 1 .. 2147483562.
inline std::int32_t SchrageStep(std::int32_t& seed1, std::int32_t& seed2) {
  std::int32_t k = seed1 / 53668;
  seed1 = 40014 * (seed1 - k * 53668) - k * 12211;
  if (seed1 < 0) seed1 += static_cast<std::int32_t>(kModulus1);
  k = seed2 / 52774;
  seed2 = 40692 * (seed2 - k * 52774) - k * 3791;
  if (seed2 < 0) seed2 += static_cast<std::int32_t>(kModulus2);
  std::int32_t z = seed1 - seed2;
  if (z < 1) z += static_cast<std::int32_t>(kModulus1 - 1);
  return z;
}

// Each Schrage step is a chain of dependent multiplications, so drawing one
// value at a time is bound by their latency. For seeds inside 1 .. m - 1
// (where Schrage's step is exactly s -> a s mod m) the next steps are computed
// ahead, each straight from the current seeds by a precomputed power of a, and
// handed out one by one.
inline constexpr int kUniformBlockSize = 64;
struct UniformBlock {
  std::int32_t seed1[kUniformBlockSize];  // the seeds after each step
  std::int32_t seed2[kUniformBlockSize];
  std::int32_t z[kUniformBlockSize];  // each step's value
  int next = kUniformBlockSize;       // the next step to hand out
  std::int32_t last1 = 0, last2 = 0;  // the seeds the last step handed out left
};

// Fills block with the steps that follow seed1 and seed2 (block.last1/last2
// := the seeds). Returns false, leaving the block empty, when a seed lies
// outside 1 .. m - 1.
bool RefillUniformBlock(UniformBlock& block, std::int32_t seed1, std::int32_t seed2);

// The block behind Uniform_01 (Seed1 and Seed2 always hold the state after the
// last value handed out, exactly as stepping one at a time leaves them; a block
// whose seeds were changed from outside is dropped).
extern UniformBlock uniformBlock;

// True when the block still has steps that follow Seed1 and Seed2.
inline bool UniformBlockIsCurrent() {
  const UniformBlock& b = uniformBlock;
  return b.next < kUniformBlockSize && Seed1 == b.last1 && Seed2 == b.last2;
}

// The next step's z, advancing Seed1 and Seed2.
inline std::int32_t NextUniformStep() {
  UniformBlock& b = uniformBlock;
  if (!UniformBlockIsCurrent()) {
    if (!RefillUniformBlock(b, Seed1, Seed2)) return SchrageStep(Seed1, Seed2);
  }
  const int q = b.next++;
  Seed1 = b.last1 = b.seed1[q];
  Seed2 = b.last2 = b.seed2[q];
  return b.z[q];
}

// z lies in 1 .. 2147483562, so the result lies in [4.66e-10, 0.99999998721]:
// never 0 and never 1. The scale is the extended real nearest to
// 4.656613e-10, slightly below 1 / 2147483563.
inline long double UniformFromStep(std::int32_t z) {
  return static_cast<long double>(z) * 4.656613e-10L;
}

}  // namespace detail

// The next uniform real in (0, 1), advancing Seed1 and Seed2. Defined here so
// that the generators' loops can inline it. Not thread-safe: the seeds are
// shared by the whole process.
inline long double Uniform_01() {
  return detail::UniformFromStep(detail::NextUniformStep());
}

// A stream of the same generator with seeds of its own: what one engine run
// draws from, so that runs on several threads at once never share state. It
// gives exactly the values Uniform_01 would give after Seed1 and Seed2 were set
// to the same seeds.
class UniformSource {
 public:
  UniformSource(std::int32_t seed1, std::int32_t seed2) : seed1_(seed1), seed2_(seed2) {}
  UniformSource(const UniformSource&) = delete;
  UniformSource& operator=(const UniformSource&) = delete;

  long double operator()() {
    if (block_.next == detail::kUniformBlockSize) [[unlikely]] {
      if (!Refill()) return detail::UniformFromStep(detail::SchrageStep(seed1_, seed2_));
    }
    return detail::UniformFromStep(block_.z[block_.next++]);
  }

  // For a generator that works on several values at once: the number of
  // values the block holds ahead (an exhausted block is refilled first), 0 when
  // the stream can only be drawn one value at a time; Ahead() gives their
  // steps, and Skip(n) takes the first n of them as drawn.
  int Ready() {
    if (block_.next == detail::kUniformBlockSize && !Refill()) return 0;
    return detail::kUniformBlockSize - block_.next;
  }
  const std::int32_t* Ahead() const { return &block_.z[block_.next]; }
  void Skip(int n) { block_.next += n; }

  // The seeds after the last value handed out.
  std::int32_t Seed1() const { return InBlock() ? block_.seed1[block_.next - 1] : seed1_; }
  std::int32_t Seed2() const { return InBlock() ? block_.seed2[block_.next - 1] : seed2_; }

 private:
  // True when the last value handed out came from the block.
  bool InBlock() const { return blockValid_ && block_.next > 0; }
  // Starts a new block after the last value handed out; false (the block stays
  // empty) when the seeds lie outside the range the block can step.
  bool Refill() {
    seed1_ = Seed1();
    seed2_ = Seed2();
    blockValid_ = detail::RefillUniformBlock(block_, seed1_, seed2_);
    return blockValid_;
  }

  std::int32_t seed1_, seed2_;  // the seeds the block starts from
  bool blockValid_ = false;     // the block holds steps from seed1_, seed2_
  detail::UniformBlock block_;
};

}  // namespace quorvane
