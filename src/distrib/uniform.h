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

// One step of the generator from Seed1 and Seed2, each component stepped with
// Schrage's method (s = q k + r with m = a q + r, so that every product fits
// in 32-bit signed arithmetic). Returns z in 1 .. 2147483562.
inline std::int32_t SchrageStep() {
  std::int32_t k = Seed1 / 53668;
  Seed1 = 40014 * (Seed1 - k * 53668) - k * 12211;
  if (Seed1 < 0) Seed1 += 2147483563;
  k = Seed2 / 52774;
  Seed2 = 40692 * (Seed2 - k * 52774) - k * 3791;
  if (Seed2 < 0) Seed2 += 2147483399;
  std::int32_t z = Seed1 - Seed2;
  if (z < 1) z += 2147483562;
  return z;
}

// Each Schrage step is a chain of dependent multiplications, so drawing one
// value at a time is bound by their latency. For seeds inside 1 .. m - 1
// (where Schrage's step is exactly s -> a s mod m) the next steps are computed
// ahead, each straight from the current seeds by a precomputed power of a, and
// handed out one by one. Seed1 and Seed2 always hold the state after the last
// value handed out, exactly as stepping one at a time leaves them; a block
// whose seeds were changed from outside is dropped.
inline constexpr int kUniformBlockSize = 64;
struct UniformBlock {
  std::int32_t seed1[kUniformBlockSize];  // the seeds after each step
  std::int32_t seed2[kUniformBlockSize];
  std::int32_t z[kUniformBlockSize];  // each step's value
  int next = kUniformBlockSize;       // the next step to hand out
  std::int32_t last1 = 0, last2 = 0;  // the seeds the last step handed out left
};
extern UniformBlock uniformBlock;

// Fills the block with the steps that follow Seed1 and Seed2. Returns false,
// leaving the block empty, when a seed lies outside 1 .. m - 1.
bool RefillUniformBlock();

// True when the block still has steps that follow Seed1 and Seed2.
inline bool UniformBlockIsCurrent() {
  const UniformBlock& b = uniformBlock;
  return b.next < kUniformBlockSize && Seed1 == b.last1 && Seed2 == b.last2;
}

// The next step's z, advancing Seed1 and Seed2.
inline std::int32_t NextUniformStep() {
  UniformBlock& b = uniformBlock;
  if (!UniformBlockIsCurrent()) {
    if (!RefillUniformBlock()) return SchrageStep();
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
// that the generators' loops can inline it.
inline long double Uniform_01() {
  return detail::UniformFromStep(detail::NextUniformStep());
}

// The same stream as Uniform_01, for a loop that owns it for a while (the
// engines' draws): the position in the block of steps computed ahead is kept
// here rather than in the process-wide state, which is brought up to date by
// Sync() and on destruction. Between the two nothing else may draw from the
// stream or assign the seeds.
class UniformSource {
 public:
  UniformSource() { Load(); }
  ~UniformSource() { Sync(); }
  UniformSource(const UniformSource&) = delete;
  UniformSource& operator=(const UniformSource&) = delete;

  long double operator()() {
    if (next_ == detail::kUniformBlockSize) [[unlikely]] {
      Sync();
      if (!detail::RefillUniformBlock()) return Uniform_01();  // seeds out of range
      Load();
    }
    return detail::UniformFromStep(detail::uniformBlock.z[next_++]);
  }

  // For a generator that works on several values at once: the number of
  // values the block holds ahead (an exhausted block is refilled first), 0 when
  // the stream can only be drawn one value at a time; Ahead() gives their
  // steps, and Skip(n) takes the first n of them as drawn.
  int Ready() {
    if (next_ == detail::kUniformBlockSize) {
      Sync();
      if (!detail::RefillUniformBlock()) return 0;
      Load();
    }
    return detail::kUniformBlockSize - next_;
  }
  const std::int32_t* Ahead() const { return &detail::uniformBlock.z[next_]; }
  void Skip(int n) { next_ += n; }

  // Leaves Seed1, Seed2 and the block as drawing one value at a time would.
  void Sync() {
    detail::UniformBlock& b = detail::uniformBlock;
    if (next_ > first_) {
      b.next = next_;
      Seed1 = b.last1 = b.seed1[next_ - 1];
      Seed2 = b.last2 = b.seed2[next_ - 1];
    }
    first_ = next_;
  }

 private:
  void Load() {
    detail::UniformBlock& b = detail::uniformBlock;
    if (!detail::UniformBlockIsCurrent()) {
      if (!detail::RefillUniformBlock()) {
        next_ = first_ = detail::kUniformBlockSize;  // every value through Uniform_01
        return;
      }
    }
    next_ = first_ = b.next;
  }

  int next_ = 0;   // the next step of the block to hand out
  int first_ = 0;  // the block's position at the last Sync
};

}  // namespace quorvane
