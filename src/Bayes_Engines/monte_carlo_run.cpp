// The Monte Carlo run shared by the standard-theory and the calibrated engine.
//
// Every draw is made exactly as the straightforward sequence of matrix-library
// calls would make it (same operations, same order, same rounding), but only on
// the live blocks: 2 x 2 products and the 2 x 2 Gauss-Jordan inverse are written
// out, each entry of Lambda is formed where its factorisation reads it, and
// nothing is cleared or copied whole. Inside the draws a pivot is refused only
// when it cannot be used: a Gauss-Jordan pivot that is zero or not finite, a
// Cholesky pivot sum that is not a positive finite number. Such a draw (a
// value that would reach the report and is not finite) stops the run.
//
// Two threads may share a run. The variates must come from the one uniform
// stream in draw order, so the calling thread draws them (chunk by chunk into a
// small ring of buffers) and the evaluation of a chunk (Lambda, its factor, the
// coefficient draw, z*, Phi(z*)) runs on whichever thread is free. The sum of
// Phi(z*) is taken chunk by chunk in draw order by the calling thread, so the
// results are identical bit for bit to a single-threaded run.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Bayes_Engines/draw_evaluation.h"
#include "Bayes_Engines/draw_kernels.h"
#include "Bayes_Engines/engines.h"
#include "Bayes_Engines/normal_phi.h"
#include "Bayes_Engines/regression_from_summary.h"
#include "Bayes_Engines/shared_draws.h"
#include "distrib/distributions.h"
#include "distrib/extended_precision.h"
#include "distrib/numeric_helpers.h"
#include "distrib/uniform.h"
#include "matrix_handling/decompositions.h"
#include "matrix_handling/matrix_ops.h"

namespace quorvane {
namespace {

enum class Prior { StandardTheory, Calibrated };

constexpr int kChunkDraws = 2048;  // draws per buffer
constexpr int kRingSlots = 8;      // buffers in flight
// With two threads the drawing thread also evaluates a chunk once this many
// drawn chunks wait, so that the other thread never runs dry.
constexpr int kHelpAtBacklog = 4;
// A draw of the calibrated engine that keeps rejecting candidates asks the
// progress callback this often whether to go on.
constexpr std::uint32_t kTrialsBetweenChecks = 1u << 16;
// The engines' domain: 1 <= k <= 5 covariates.
constexpr int kMaxCovariates = 5;
// The x87 kernels are measurably faster than the portable evaluation from
// this many covariates on; below, they are as fast or slower (README, "For
// developers").
constexpr int kFewestCovariatesForKernels = 3;

using detail::kCholThreshold;
using detail::kPivotThreshold;
using detail::PivotScale;

// A 2 x 2 matrix, 1-based like the library's.
struct M2 {
  long double e[3][3];
};

// T = A B by the library's rule: an accumulator from 0 receives the products
// with the inner index ascending.
inline void Mult2(const M2& A, const M2& B, M2& T) {
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 2; ++j) {
      long double acc = 0;
      for (int k = 1; k <= 2; ++k) acc = A.e[i][k] * B.e[k][j] + acc;
      T.e[i][j] = acc;
    }
  }
}

// A pivot the elimination can divide by: not zero, not infinite, not NaN.
inline bool UsablePivot(long double pivot) {
  return std::fabs(pivot) > 0 && std::isfinite(pivot);
}

// Gauss-Jordan inverse of a 2 x 2 matrix: the library's Mat_Inverse restricted
// to order 2 (first row whose pivot passes, the same operations in the same
// order), except that a pivot is passed over only when it cannot be used at
// all. A Wishart draw can be nearly singular (a chi-square variate with one
// degree of freedom is now and then tiny); its inverse is a legitimate, very
// large covariance, which 80-bit arithmetic forms accurately. Returns false
// when no usable pivot is left.
inline bool Inverse2(const M2& A, M2& Ainv) {
  M2 W = A;
  Ainv.e[1][1] = 1;
  Ainv.e[1][2] = 0;
  Ainv.e[2][1] = 0;
  Ainv.e[2][2] = 1;
  for (int p = 1; p <= 2; ++p) {
    int r = p;
    while (!UsablePivot(W.e[r][p])) {
      if (r == 2) return false;
      ++r;
    }
    if (r != p) {
      for (int j = 1; j <= 2; ++j) {
        std::swap(W.e[r][j], W.e[p][j]);
        std::swap(Ainv.e[r][j], Ainv.e[p][j]);
      }
    }
    const long double f = 1 / W.e[p][p];
    for (int j = 1; j <= 2; ++j) {
      W.e[p][j] = f * W.e[p][j];
      Ainv.e[p][j] = f * Ainv.e[p][j];
    }
    for (int i = 1; i <= 2; ++i) {
      if (i == p) continue;
      const long double g = -W.e[i][p];
      for (int j = 1; j <= 2; ++j) {
        W.e[i][j] = g * W.e[p][j] + W.e[i][j];
        Ainv.e[i][j] = g * Ainv.e[p][j] + Ainv.e[i][j];
      }
    }
  }
  return true;
}

#if QUORVANE_X87_KERNELS
// A drawn variate as the evaluation reads it.
using VariateSlot = Split;
inline void ToSlot(long double x, VariateSlot& slot) {
  SplitInto(x, slot);
}
inline long double FromSlot(const VariateSlot& v) {
  return Join(v);
}
#else
using VariateSlot = long double;
inline void ToSlot(long double x, VariateSlot& slot) {
  slot = x;
}
inline long double FromSlot(VariateSlot v) {
  return v;
}
#endif

// Everything a draw's evaluation needs that depends only on the run.
struct RunConstants {
  int kp1 = 0;  // k + 1
  int d = 0;    // 2 (k + 1), the order of Lambda
  Matrix xtxInv;
  Vector score;  // score_vec_for_intercept_plus_COVS
  Vector bHat;   // B_Star_Mat_As_A_Vector
  long double case1 = 0, case2 = 0;
  long double xtx[kMaxOrder][kMaxOrder] = {};  // xtxInv, 0-based, for the evaluation loop
#if QUORVANE_X87_KERNELS
  DrawKernel kernel = nullptr;  // when k is 1 to 5 and the constants split exactly
  DrawKernelFrame frame{};      // the constants, split, for the kernel
#endif
};

// Lambda = Sigma* (x) (X'X)^-1 at (i, j), 0-based, on or below the diagonal:
// Sigma*[a, b] x (X'X)^-1[r, c], the product the Kronecker product forms.
template <int KP1>
inline long double LambdaAt(const RunConstants& rc, int kp1, const long double (&s)[2][2], int i,
                            int j) {
  const int a = i >= kp1 ? 1 : 0, b = j >= kp1 ? 1 : 0;
  return s[a][b] * rc.xtx[i - a * kp1][j - b * kp1];
}

// z* from a draw's conditional means mu1, mu2 at the case's covariates, its
// Sigma*[1,1], Sigma*[2,2] and its correlation rho.
inline long double ZStar(const RunConstants& rc, long double s11, long double s22, long double rho,
                         long double mu1, long double mu2) {
  const long double z1 = (rc.case1 - mu1) / std::sqrt(s11);
  const long double z2 = (rc.case2 - mu2) / std::sqrt(s22);
  return (z1 - z2) / std::sqrt(2.0L - 2.0L * rho);
}

// The conditional means mu1, mu2 at the case's covariates of one draw, from
// its residual covariance Sigma* and its 2 (k + 1) standard normal variates u.
// Returns false (mu1, mu2 untouched) when the Cholesky factorisation of Lambda
// meets a pivot sum that is not a positive finite number.
//
// The arithmetic is the library's, element by element: Lambda's entries as the
// Kronecker product forms them, every entry of the factor with its sum taken
// with k ascending and divided by the same pivot, then Cf u with j ascending.
// Only the schedule differs: the factor is formed row by row (each entry needs
// only rows above it), each entry of Lambda is formed where it is read, and
// Cf u accumulates along a row while its entries are still at hand. Every
// draw whose pivots reach the library's threshold gets the library's bits; a
// smaller positive pivot is used as well, where the library's factorisation
// would have stopped. KP1 is k + 1 (the loops unroll fully).
//
// Each entry b of the coefficient draw B* goes to sink(i, b) as row i ends
// (i ascending); the case-free part of a draw ends there.
template <int KP1, class Sink>
bool EvaluateRows(const RunConstants& rc, const M2& sigma, const long double* u, Sink&& sink) {
  static_assert(KP1 >= 2 && KP1 <= kMaxCovariates + 1);
  constexpr int kp1 = KP1;
  constexpr int d = 2 * kp1;
  long double L[d][d];  // the factor, lower triangle only
  const long double s[2][2] = {{sigma.e[1][1], sigma.e[1][2]}, {sigma.e[2][1], sigma.e[2][2]}};

  // Row by row: each entry is the library's (k ascending in every sum, the
  // same pivots), and Cf u accumulates along the row as its entries appear.
#pragma GCC unroll 16
  for (int i = 0; i < d; ++i) {
    long double acc = 0;
#pragma GCC unroll 16
    for (int j = 0; j < i; ++j) {
      long double t = LambdaAt<KP1>(rc, kp1, s, i, j);
#pragma GCC unroll 16
      for (int k = 0; k < j; ++k) t = t - L[j][k] * L[i][k];
      const long double lij = t / L[j][j];
      L[i][j] = lij;
      acc = lij * u[j] + acc;
    }
    const long double diagonal = LambdaAt<KP1>(rc, kp1, s, i, i);
    long double sum = diagonal;
#pragma GCC unroll 16
    for (int k = 0; k < i; ++k) sum = sum - L[i][k] * L[i][k];
    if (!(sum > 0 && std::isfinite(sum))) return false;  // NaN fails too
    const long double pivot = std::sqrt(sum);
    L[i][i] = pivot;
    acc = pivot * u[i] + acc;
    if (acc == 0) {
      for (int j = i + 1; j < d; ++j) acc = 0.0L * u[j] + acc;
    }
    sink(i, rc.bHat[i + 1] + acc);
  }
  return true;
}

// The conditional means at the case's covariates: B*' score, each mean's sum
// from 0 with i ascending.
template <int KP1>
bool EvaluateDrawFast(const RunConstants& rc, const M2& sigma, const long double* u,
                      long double& mu1Out, long double& mu2Out) {
  constexpr int kp1 = KP1;
  long double mu1 = 0, mu2 = 0;
  const bool evaluated = EvaluateRows<KP1>(rc, sigma, u, [&](int i, long double b) {
    if (i < kp1) {
      mu1 = b * rc.score[i + 1] + mu1;
    } else {
      mu2 = b * rc.score[i - kp1 + 1] + mu2;
    }
  });
  if (!evaluated) return false;
  mu1Out = mu1;
  mu2Out = mu2;
  return true;
}

// The coefficient draw B* alone (2 (k + 1) entries into b), for draws shared
// by many cases.
template <int KP1>
bool EvaluateCoefficients(const RunConstants& rc, const M2& sigma, const long double* u,
                          long double* b) {
  return EvaluateRows<KP1>(rc, sigma, u, [b](int i, long double value) { b[i] = value; });
}

using EvaluateFn = bool (*)(const RunConstants&, const M2&, const long double*, long double&,
                            long double&);

// The evaluation for k + 1; k is 1 to kMaxCovariates.
EvaluateFn PickEvaluator(int kp1) {
  switch (kp1) {
    case 2:
      return EvaluateDrawFast<2>;
    case 3:
      return EvaluateDrawFast<3>;
    case 4:
      return EvaluateDrawFast<4>;
    case 5:
      return EvaluateDrawFast<5>;
    default:
      return EvaluateDrawFast<6>;
  }
}

#if QUORVANE_X87_KERNELS
// Chooses the kernel for k and splits the run's constants into its frame; no
// kernel when a constant does not split exactly.
void PrepareKernel(RunConstants& rc, const EngineOptions& options) {
  rc.kernel = nullptr;
  const int k = rc.kp1 - 1;
  if (options.drawKernels == DrawKernelUse::Never) return;
  if (options.drawKernels == DrawKernelUse::WhereFaster && k < kFewestCovariatesForKernels) return;
  const DrawKernel kernel = DrawKernelFor(k);
  if (kernel == nullptr) return;
  bool exact = SplitsExactly(kCholThreshold);
  rc.frame.threshold = SplitOf(kCholThreshold);
  for (int r = 0; r < rc.kp1; ++r) {
    for (int c = 0; c < rc.kp1; ++c) {
      rc.frame.xtx[r][c] = SplitOf(rc.xtx[r][c]);
      exact = exact && SplitsExactly(rc.xtx[r][c]);
    }
    rc.frame.score[r] = SplitOf(rc.score[r + 1]);
    exact = exact && SplitsExactly(rc.score[r + 1]);
  }
  for (int i = 0; i < rc.d; ++i) {
    rc.frame.bHat[i] = SplitOf(rc.bHat[i + 1]);
    exact = exact && SplitsExactly(rc.bHat[i + 1]);
  }
  if (exact) rc.kernel = kernel;
}
#endif

// One buffer of drawn variates and the evaluations made from them.
struct Chunk {
  std::vector<M2> sigma;
  std::vector<long double> rho;
  std::vector<VariateSlot> u;    // d variates per draw
  std::vector<long double> phi;  // Phi(z*) per draw
  int evaluated = -1;            // index of the last chunk evaluated in this buffer
};

// The case-free half of the draws: the Wishart draw of Sigma*, the calibrated
// prior's accept/reject step and the 2 (k + 1) variates of the coefficient
// draw, from the run's one uniform stream in draw order. The owner (a run)
// is told of a stop (StopFor), asked whether it is stopping (Stopping) and,
// during a long rejection, for progress (AskProgress).
template <Prior prior>
class Sampler {
 public:
  Sampler(long double lfac[3][3], int controlCount, int covariateCount, int d)
      : d_(d),
        normal_(0, 1),
        uniform_(0, 1),
        chiA_(prior == Prior::StandardTheory ? controlCount - covariateCount
                                             : controlCount - covariateCount - 2),
        chiB_(prior == Prior::StandardTheory ? controlCount - covariateCount - 1
                                             : controlCount - covariateCount - 3) {
    for (int i = 1; i <= 2; ++i) {
      for (int j = 1; j <= 2; ++j) {
        lfac_.e[i][j] = lfac[i][j];
        lfacT_.e[j][i] = lfac[i][j];
      }
    }
  }

  // Draws first .. first + count - 1 into the chunk's sigma, rho and u.
  template <class Owner>
  void Draw(Owner& owner, Chunk& chunk, int first, int count, UniformSource& uniform);
  std::int64_t Trials() const { return trials_; }

 private:
  const int d_;
  tNormal_distribution normal_;
  tUniform_distribution uniform_;
  tChi_square_distribution chiA_, chiB_;
  M2 lfac_{}, lfacT_{};
  std::int64_t trials_ = 0;  // drawing thread only
};

template <Prior prior>
class Run {
 public:
  Run(const RunConstants& rc, int drawCount, long double lfac[3][3], int controlCount,
      int covariateCount, const EngineOptions& options)
      : rc_(rc),
        D_(drawCount),
        options_(options),
        normal_(0, 1),
        sampler_(lfac, controlCount, covariateCount, rc.d) {}

  // Fills zlist[0..D-1] and phiSum. Returns false when cancelled or stopped.
  bool Execute(long double* zlist, long double& phiSum);
  // Valid after Execute.
  EngineStop Stop() const { return stopReason_; }
  std::int64_t PortableDraws() const { return portableDraws_; }
  std::int64_t Trials() const { return sampler_.Trials(); }

  // For the sampler.
  void StopFor(EngineStop reason);
  bool Stopping() const { return stop_.load(); }
  bool AskProgress(std::int64_t done);

 private:
  void DrawChunk(int c, UniformSource& uniform);
  void EvaluateChunk(int c);
  bool TryClaim(int& c);

  const RunConstants& rc_;
  const int D_;
  const EngineOptions& options_;
  tNormal_distribution normal_;
  Sampler<prior> sampler_;
  const EvaluateFn evaluate_ = PickEvaluator(rc_.kp1);

  int chunkCount_ = 0;
  std::vector<Chunk> ring_;
  long double* zlist_ = nullptr;  // D draws, in draw order
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<int> produced_{0};   // chunks drawn
  std::atomic<int> nextClaim_{0};  // next chunk to evaluate
  std::atomic<bool> stop_{false};
  EngineStop stopReason_ = EngineStop::None;  // guarded by mutex_
  std::int64_t portableDraws_ = 0;            // guarded by mutex_
};

template <Prior prior>
void Run<prior>::StopFor(EngineStop reason) {
  {
    std::lock_guard lock(mutex_);
    if (stopReason_ == EngineStop::None) stopReason_ = reason;
  }
  stop_.store(true);
  changed_.notify_all();
}

template <Prior prior>
bool Run<prior>::AskProgress(std::int64_t done) {
  if (!options_.progress) return true;
  if (options_.progress(done, D_)) return true;
  stop_.store(true);
  changed_.notify_all();
  return false;
}

template <Prior prior>
void Run<prior>::DrawChunk(int c, UniformSource& uniform) {
  Chunk& chunk = ring_[static_cast<std::size_t>(c % kRingSlots)];
  const int first = c * kChunkDraws;
  sampler_.Draw(*this, chunk, first, std::min(kChunkDraws, D_ - first), uniform);
}

template <Prior prior>
template <class Owner>
void Sampler<prior>::Draw(Owner& owner, Chunk& chunk, int first, int count,
                          UniformSource& uniform) {
  const int d = d_;
  for (int t = 0; t < count; ++t) {
    M2 A, At, P, Q, W, sigma;
    long double rho = 0;
    std::uint32_t trials = 0;
    for (;;) {
      if constexpr (prior == Prior::StandardTheory) {
        A.e[1][1] = std::sqrt(chiA_.Random_Variate(uniform));
        A.e[1][2] = normal_.Random_Variate(uniform);
        A.e[2][1] = 0;
        A.e[2][2] = std::sqrt(chiB_.Random_Variate(uniform));
      } else {
        A.e[1][1] = std::sqrt(chiA_.Random_Variate(uniform));
        A.e[2][2] = std::sqrt(chiB_.Random_Variate(uniform));
        A.e[1][2] = normal_.Random_Variate(uniform);
        A.e[2][1] = 0;
      }
      At.e[1][1] = A.e[1][1];
      At.e[1][2] = A.e[2][1];
      At.e[2][1] = A.e[1][2];
      At.e[2][2] = A.e[2][2];
      Mult2(At, A, P);
      Mult2(lfac_, P, Q);
      Mult2(Q, lfacT_, W);
      const bool inverted = Inverse2(W, sigma);
      rho = sigma.e[1][2] / std::sqrt(sigma.e[1][1] * sigma.e[2][2]);
      ++trials_;
      // A trial whose values are not finite can never become a usable draw
      // (and would make the accept/reject step reject for ever).
      if (!inverted || !std::isfinite(sigma.e[1][1]) || !std::isfinite(sigma.e[2][2]) ||
          !std::isfinite(rho)) {
        owner.StopFor(EngineStop::NotFinite);
        return;
      }
      if constexpr (prior == Prior::StandardTheory) {
        break;
      } else {
        const long double v = uniform_.Random_Variate(uniform);
        if (1 - rho * rho >= v * v) break;
        const std::int64_t accepted = static_cast<std::int64_t>(first) + t;
        if (trials_ >= kTrialsBeforeRateCheck && accepted * kMaxMeanTrials < trials_) {
          owner.StopFor(EngineStop::RarelyAccepted);
          return;
        }
        if (++trials % kTrialsBetweenChecks == 0 &&
            (owner.Stopping() || !owner.AskProgress(accepted))) {
          return;
        }
      }
    }
    chunk.sigma[static_cast<std::size_t>(t)] = sigma;
    chunk.rho[static_cast<std::size_t>(t)] = rho;
    VariateSlot* u = &chunk.u[static_cast<std::size_t>(t) * static_cast<std::size_t>(d)];
    long double variates[kMaxOrder];
    normal_.Random_Variates(uniform, variates, d);
    for (int i = 0; i < d; ++i) ToSlot(variates[i], u[i]);
  }
}

template <Prior prior>
void Run<prior>::EvaluateChunk(int c) {
  Chunk& chunk = ring_[static_cast<std::size_t>(c % kRingSlots)];
  const int first = c * kChunkDraws;
  const int count = std::min(kChunkDraws, D_ - first);
  std::int64_t portable = 0;  // draws the kernel handed back
#if QUORVANE_X87_KERNELS
  DrawKernelFrame frame;  // this thread's: the run's constants, then each draw's work
  if (rc_.kernel != nullptr) frame = rc_.frame;
#endif
  for (int t = 0; t < count; ++t) {
    const auto ts = static_cast<std::size_t>(t);
    const M2& sigma = chunk.sigma[ts];
    const VariateSlot* slots = &chunk.u[ts * static_cast<std::size_t>(rc_.d)];
    long double z = 0;
#if QUORVANE_X87_KERNELS
    if (rc_.kernel != nullptr) {
      const long double lower[3] = {sigma.e[1][1], sigma.e[2][1], sigma.e[2][2]};
      bool done = rc_.kernel(&frame, lower, slots);
      if (done) {
        z = ZStar(rc_, sigma.e[1][1], sigma.e[2][2], chunk.rho[ts], frame.mu1, frame.mu2);
      } else {
        ++portable;
      }
      if (done && std::isfinite(z)) {
        zlist_[first + t] = z;
        chunk.phi[ts] = normal_.Distribution_function(z);
        continue;
      }
    }
#endif
    long double u[kMaxOrder];
    for (int i = 0; i < rc_.d; ++i) u[i] = FromSlot(slots[i]);
    long double mu1 = 0, mu2 = 0;
    const bool evaluated = evaluate_(rc_, sigma, u, mu1, mu2);
    if (evaluated) z = ZStar(rc_, sigma.e[1][1], sigma.e[2][2], chunk.rho[ts], mu1, mu2);
    if (!evaluated || !std::isfinite(z)) {
      StopFor(EngineStop::NotFinite);
      break;
    }
    zlist_[first + t] = z;
    chunk.phi[ts] = normal_.Distribution_function(z);
  }
  {
    std::lock_guard lock(mutex_);
    chunk.evaluated = c;
    portableDraws_ += portable;
  }
  changed_.notify_all();
}

template <Prior prior>
bool Run<prior>::TryClaim(int& c) {
  int next = nextClaim_.load();
  while (next < produced_.load(std::memory_order_acquire)) {
    if (nextClaim_.compare_exchange_weak(next, next + 1)) {
      c = next;
      return true;
    }
  }
  return false;
}

template <Prior prior>
bool Run<prior>::Execute(long double* zlist, long double& phiSum) {
  zlist_ = zlist;
  chunkCount_ = (D_ + kChunkDraws - 1) / kChunkDraws;
  const int slots = std::min(kRingSlots, chunkCount_);
  ring_.resize(static_cast<std::size_t>(slots));
  const std::size_t per = static_cast<std::size_t>(std::min(kChunkDraws, D_));
  for (Chunk& chunk : ring_) {
    chunk.sigma.resize(per);
    chunk.rho.resize(per);
    chunk.u.resize(per * static_cast<std::size_t>(rc_.d));
    chunk.phi.resize(per);
  }

  int threads = options_.threads;
  if (threads <= 0) threads = std::thread::hardware_concurrency() > 1 ? 2 : 1;
  std::thread worker;
  if (threads >= 2 && chunkCount_ > 1) {
    worker = std::thread([this] {
      [[maybe_unused]] const ExtendedPrecision extended;
      for (;;) {
        int c = 0;
        if (TryClaim(c)) {
          EvaluateChunk(c);
          continue;
        }
        std::unique_lock lock(mutex_);
        if (stop_.load() || nextClaim_.load() >= chunkCount_) return;
        changed_.wait(lock, [this] {
          return stop_.load() || nextClaim_.load() < produced_.load() ||
                 nextClaim_.load() >= chunkCount_;
        });
        if (stop_.load() || nextClaim_.load() >= chunkCount_) return;
      }
    });
  }

  long double sum = 0;
  long double squares = 0;  // of Phi, only when asked for
  int summed = 0;           // chunks whose Phi values are in the sum
  auto addChunk = [&](int c) {
    const Chunk& chunk = ring_[static_cast<std::size_t>(c % kRingSlots)];
    const int count = std::min(kChunkDraws, D_ - c * kChunkDraws);
    for (int t = 0; t < count; ++t) sum = sum + chunk.phi[static_cast<std::size_t>(t)];
    if (options_.phiSums != nullptr) {
      for (int t = 0; t < count; ++t) {
        const long double phi = chunk.phi[static_cast<std::size_t>(t)];
        squares = squares + phi * phi;
      }
    }
    ++summed;
  };
  // Waits (evaluating chunks itself meanwhile) until chunk c has been evaluated.
  auto awaitChunk = [&](int c) {
    Chunk& chunk = ring_[static_cast<std::size_t>(c % kRingSlots)];
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        if (chunk.evaluated == c) return;
      }
      int claim = 0;
      if (TryClaim(claim)) {
        EvaluateChunk(claim);
        continue;
      }
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return chunk.evaluated == c; });
      return;
    }
  };

  // The calling thread owns the run's uniform stream; every run starts it from
  // the same seeds, so the same inputs always give the same draws.
  UniformSource uniform(kEngineSeed1, kEngineSeed2);
  bool cancelled = false;
  for (int c = 0; c < chunkCount_; ++c) {
    if (c >= kRingSlots) {  // the buffer's previous chunk must be done and summed
      awaitChunk(c - kRingSlots);
      addChunk(c - kRingSlots);
    }
    DrawChunk(c, uniform);
    if (stop_.load()) {
      cancelled = true;
      break;
    }
    {
      std::lock_guard lock(mutex_);
      produced_.store(c + 1, std::memory_order_release);
    }
    changed_.notify_all();
    // Evaluate here too whenever the other thread lags behind (always, when alone).
    const bool alone = !worker.joinable();
    int claim = 0;
    while ((alone || produced_.load() - nextClaim_.load() >= kHelpAtBacklog) && TryClaim(claim)) {
      EvaluateChunk(claim);
      if (!alone) break;
    }
    const std::int64_t done = std::min<std::int64_t>(static_cast<std::int64_t>(c + 1) * kChunkDraws,
                                                     static_cast<std::int64_t>(D_));
    if (!AskProgress(done)) {
      cancelled = true;
      break;
    }
  }

  if (cancelled) {
    stop_.store(true);
    changed_.notify_all();
    if (worker.joinable()) worker.join();
    return false;
  }
  for (int c = summed; c < chunkCount_; ++c) {
    awaitChunk(c);
    addChunk(c);
  }
  changed_.notify_all();
  if (worker.joinable()) worker.join();
  phiSum = sum;
  if (options_.phiSums != nullptr) *options_.phiSums = {sum, squares};
  return stopReason_ == EngineStop::None;
}

// Orders NaN above every number, so that a selection is well defined on any list.
struct LessNaNLast {
  bool operator()(long double a, long double b) const {
    return a < b || (!std::isnan(a) && std::isnan(b));
  }
};

// Steps 1-8 of a run, for one case: the outputs cleared, the case's covariate
// vector, the regression from the summary statistics and its stacked
// coefficients (into rc), the sample conditional statistics at the case's
// covariate values, and the Wishart scale's factor (into lfac). Returns what
// the setup met (its factorisations and inversions).
template <Prior prior>
EngineDiagnostics SetUpRun(int k, int n, const Vector& sds, const Vector& means,
                           const Vector& caseScores, const Matrix& R, Vector& condMeans,
                           Vector& condSDs, long double& partialR, long double& condZ1,
                           long double& condZ2, EngineResults& results,
                           const InfoMessageFn& cholMessage, RunConstants& rc,
                           long double (&lfac)[3][3]) {
  const int m = k + 2;
  const PivotFailureCounts failuresBefore = ThreadPivotFailures();

  // 1-4: outputs cleared, the case's covariate vector, the regression from the
  // summary statistics and its stacked coefficients.
  Vec_Fill(kMaxOrder, condMeans, 0);
  rc.kp1 = k + 1;
  rc.d = 2 * (k + 1);
  rc.score[1] = 1;
  for (int i = 2; i <= k + 1; ++i) rc.score[i] = caseScores[i + 1];
  Matrix betas, sigmaHat;
  Regression_From_Summary(R, sds, means, 2, k, n, betas, sigmaHat, rc.xtxInv);
  for (int i = 1; i <= k + 1; ++i) {
    rc.bHat[i] = betas(i, 1);
    rc.bHat[k + 1 + i] = betas(i, 2);
  }
  rc.case1 = caseScores[1];
  rc.case2 = caseScores[2];
  for (int r = 0; r <= k; ++r) {
    for (int c = 0; c <= k; ++c) rc.xtx[r][c] = rc.xtxInv(r + 1, c + 1);
  }

  // 6: every run draws the same sequence: each run starts its own uniform
  // stream from kEngineSeed1 and kEngineSeed2.

  // 7: the sample conditional statistics at the case's covariate values.
  Matrix C;
  Conditional_Normal(m, k, R, sds, means, caseScores, C, condMeans);
  condSDs[1] = std::sqrt(C(1, 1));
  condSDs[2] = std::sqrt(C(2, 2));
  condZ1 = (caseScores[1] - condMeans[1]) / std::sqrt(C(1, 1));
  condZ2 = (caseScores[2] - condMeans[2]) / std::sqrt(C(2, 2));
  partialR = C(1, 2) / std::sqrt(C(1, 1) * C(2, 2));
  results.effectSize = (condZ1 - condZ2) / std::sqrt(2.0L - 2.0L * partialR);

  // 8: the Wishart scale factor.
  Matrix S;
  Mat_Scale(2, sigmaHat, S, static_cast<long double>(n - k - 1));
  if constexpr (prior == Prior::Calibrated) {
    Mat_Scale_In_Place(2, S,
                       static_cast<long double>(n - k - 2) / static_cast<long double>(n - k - 1));
  }
  Matrix Sinv;
  Mat_Inverse(S, 2, Sinv);
  Matrix Lfac;
  Mat_Copy(Sinv, 2, Lfac);
  Chol(2, Lfac, cholMessage);
  for (int i = 0; i <= 2; ++i) {
    for (int j = 0; j <= 2; ++j) lfac[i][j] = i >= 1 && j >= 1 ? Lfac(i, j) : 0;
  }

  EngineDiagnostics diagnostics;
  diagnostics.failedFactorisations =
      ThreadPivotFailures().factorisations - failuresBefore.factorisations;
  diagnostics.stoppedInversions = ThreadPivotFailures().inversions - failuresBefore.inversions;
  return diagnostics;
}

template <Prior prior>
bool RunEngine(int covariateCount, int controlCount, int drawCount, bool twoSided,
               int crediblePercent, const Vector& sds, const Vector& means,
               const Vector& caseScores, const Matrix& R, Vector& condMeans, Vector& condSDs,
               long double& partialR, long double& condZ1, long double& condZ2,
               EngineResults& results, const EngineOptions& options) {
  const int k = covariateCount;
  const int n = controlCount;
  const int D = drawCount;
  if (D < 1 || k < 1 || k > kMaxCovariates) return false;

  RunConstants rc;
  long double lfac[3][3] = {};
  EngineDiagnostics diagnostics =
      SetUpRun<prior>(k, n, sds, means, caseScores, R, condMeans, condSDs, partialR, condZ1, condZ2,
                      results, options.cholMessage, rc, lfac);
#if QUORVANE_X87_KERNELS
  PrepareKernel(rc, options);
#endif
  auto report = [&options, &diagnostics] {
    if (options.diagnostics != nullptr) *options.diagnostics = diagnostics;
  };
  // Draws built on a partial inverse or factor of the setup would be reported
  // as if they were sound: the run stops here.
  if (!diagnostics.Reliable()) {
    report();
    return false;
  }

  // 9: the draws.
  std::vector<long double> own;
  std::vector<long double>& zlist = options.draws != nullptr ? *options.draws : own;
  zlist.resize(static_cast<std::size_t>(D));
  long double phiSum = 0;
  {
    Run<prior> run(rc, D, lfac, n, k, options);
    const bool completed = run.Execute(zlist.data(), phiSum);
    diagnostics.stop = run.Stop();
    diagnostics.portableDraws = run.PortableDraws();
    diagnostics.trials = run.Trials();
    report();
    if (!completed) return false;
  }

  // 10-14: from the sum and the list of the draws. The caller's list keeps the
  // draws in draw order: the order statistics are taken from a copy.
  if (options.draws != nullptr) {
    std::vector<long double> sorted(zlist);
    SummariseDraws(phiSum, sorted, crediblePercent, twoSided, results);
  } else {
    SummariseDraws(phiSum, zlist, crediblePercent, twoSided, results);
  }
  return true;
}

}  // namespace

namespace {

// Step 10 (the percentage below the case, turned to the case's side) into
// results; returns whether it was turned.
bool SummarisePercentage(long double phiSum, int D, EngineResults& results) {
  long double P = phiSum / static_cast<long double>(D) * 100;
  bool flipped = false;
  if (P > 50) {
    P = 100 - P;
    flipped = true;
  }
  results.percentMoreExtreme = P;
  results.oneTailedP = P / 100;
  results.twoTailedP = P / 50;
  return flipped;
}

// Step 14: the percentage limits from the Z-DCCC limits in results.
void SummarisePercentLimits(bool flipped, EngineResults& results) {
  const tNormal_distribution normal(0, 1);
  if (!flipped) {
    results.percentLower = normal.Distribution_function(results.effectSizeLower) * 100;
    results.percentUpper = normal.Distribution_function(results.effectSizeUpper) * 100;
  } else {
    results.percentLower = (1 - normal.Distribution_function(results.effectSizeUpper)) * 100;
    results.percentUpper = (1 - normal.Distribution_function(results.effectSizeLower)) * 100;
  }
}

}  // namespace

void SummariseDraws(long double phiSum, std::span<long double> zlist, int crediblePercent,
                    bool twoSided, EngineResults& results) {
  const int D = static_cast<int>(zlist.size());
  // 10: the percentage below the case, turned to the case's side.
  const bool flipped = SummarisePercentage(phiSum, D, results);

  // 11-13: the credible limits are order statistics of the draws.
  int lower = 0, upper = 0;
  CredibleLimitPositions(crediblePercent, D, twoSided, lower, upper);
  lower = std::clamp(lower, 1, D);
  upper = std::clamp(upper, 1, D);
  long double* const begin = zlist.data();
  long double* const end = begin + D;
  auto at = [begin](int position) { return begin + (position - 1); };
  std::nth_element(begin, at(lower), end, LessNaNLast{});
  results.effectSizeLower = *at(lower);
  if (upper > lower) std::nth_element(at(lower) + 1, at(upper), end, LessNaNLast{});
  results.effectSizeUpper = *at(upper);

  // 14: the percentage limits.
  SummarisePercentLimits(flipped, results);
}

namespace detail {

bool EvaluateDrawPortably(int k, const Matrix& xtxInv, const Vector& bHat, const Vector& score,
                          const long double sigmaLower[3], const long double* u, long double& mu1,
                          long double& mu2) {
  if (k < 1 || k > kMaxCovariates) return false;
  RunConstants rc;
  rc.kp1 = k + 1;
  rc.d = 2 * (k + 1);
  rc.xtxInv = xtxInv;
  rc.bHat = bHat;
  rc.score = score;
  for (int r = 0; r <= k; ++r) {
    for (int c = 0; c <= k; ++c) rc.xtx[r][c] = xtxInv(r + 1, c + 1);
  }
  M2 sigma{};
  sigma.e[1][1] = sigmaLower[0];
  sigma.e[2][1] = sigmaLower[1];
  sigma.e[1][2] = sigmaLower[1];
  sigma.e[2][2] = sigmaLower[2];
  return PickEvaluator(rc.kp1)(rc, sigma, u, mu1, mu2);
}

}  // namespace detail

void CredibleLimitPositions(int crediblePercent, int drawCount, bool twoSided, int& lower,
                            int& upper) {
  const long double L = crediblePercent;
  const long double D = drawCount;
  if (twoSided) {
    lower = static_cast<int>(std::rint((100 - L) / 2 / 100 * D));
    upper = static_cast<int>(std::rint(((100 - L) / 2 + L) / 100 * D)) + 1;
  } else {
    lower = static_cast<int>(std::rint((100 - L) / 100 * D));
    upper = static_cast<int>(std::rint(L / 100 * D)) + 1;
  }
}

bool Run_Standard_Theory_Engine(int covariateCount, int controlCount, int drawCount, bool twoSided,
                                int crediblePercent, const Vector& sds, const Vector& means,
                                const Vector& caseScores, const Matrix& R, Vector& condMeans,
                                Vector& condSDs, long double& partialR, long double& condZ1,
                                long double& condZ2, EngineResults& results,
                                const EngineOptions& options) {
  return RunEngine<Prior::StandardTheory>(covariateCount, controlCount, drawCount, twoSided,
                                          crediblePercent, sds, means, caseScores, R, condMeans,
                                          condSDs, partialR, condZ1, condZ2, results, options);
}

bool Run_Calibrated_Engine(int covariateCount, int controlCount, int drawCount, bool twoSided,
                           int crediblePercent, const Vector& sds, const Vector& means,
                           const Vector& caseScores, const Matrix& R, Vector& condMeans,
                           Vector& condSDs, long double& partialR, long double& condZ1,
                           long double& condZ2, EngineResults& results,
                           const EngineOptions& options) {
  return RunEngine<Prior::Calibrated>(covariateCount, controlCount, drawCount, twoSided,
                                      crediblePercent, sds, means, caseScores, R, condMeans,
                                      condSDs, partialR, condZ1, condZ2, results, options);
}

// ---------------------------------------------------------------------------
// Many cases on one set of draws (shared_draws.h).

namespace {

using CoefficientsFn = bool (*)(const RunConstants&, const M2&, const long double*, long double*);

CoefficientsFn PickCoefficients(int kp1) {
  switch (kp1) {
    case 2:
      return EvaluateCoefficients<2>;
    case 3:
      return EvaluateCoefficients<3>;
    case 4:
      return EvaluateCoefficients<4>;
    case 5:
      return EvaluateCoefficients<5>;
    default:
      return EvaluateCoefficients<6>;
  }
}

bool SameBits(long double a, long double b) {
  return std::memcmp(&a, &b, 10) == 0;  // the 80 bits, not the padding
}

// The draws of one credible limit that can still be the order statistic at
// its position: at least the count lowest (or highest) offered so far, in the
// order SummariseDraws sorts by (NaN above every number). Draws beyond the
// threshold (the count-th kept when last trimmed) are dropped at once; the
// others are kept, and once twice as many as count are kept a selection
// trims them back to the count best, so that the threshold tightens as draws
// come in. Once every draw has been offered, the count-th of those kept is
// the order statistic itself. Draws that compare equal have the same bits,
// except +0 and -0 (the caller checks those).
class LimitKeeper {
 public:
  void Reset(std::size_t count, bool lowest) {
    count_ = count;
    capacity_ = count + Slack(count);
    lowest_ = lowest;
    trimmed_ = false;
    kept_.clear();
    kept_.reserve(capacity_);
  }
  // Offers a finite z: what the draws of a run are (a z* that is not finite
  // stops the case), so that the order is the plain one.
  [[gnu::always_inline]] void OfferFinite(long double z) {
    if (trimmed_ && !(lowest_ ? z < threshold_ : threshold_ < z)) return;  // most draws
    kept_.push_back(z);
    if (kept_.size() == capacity_) Trim();
  }
  // The count-th lowest (highest) draw; every draw offered, at least count.
  long double Limit() {
    if (kept_.size() > count_) Trim();
    return kept_[count_ - 1];
  }
  // The bytes a keeper of count draws takes at most.
  static std::size_t Bytes(std::size_t count) {
    return (count + Slack(count)) * sizeof(long double);
  }

 private:
  static std::size_t Slack(std::size_t count) { return std::max<std::size_t>(count, 16); }
  [[gnu::noinline]] void Trim() {
    // Every draw kept is finite: the plain order is SummariseDraws' one.
    const auto nth = kept_.begin() + static_cast<std::ptrdiff_t>(count_ - 1);
    if (lowest_) {
      std::nth_element(kept_.begin(), nth, kept_.end(), std::less<long double>{});
    } else {
      std::nth_element(kept_.begin(), nth, kept_.end(), std::greater<long double>{});
    }
    kept_.resize(count_);
    threshold_ = kept_.back();
    trimmed_ = true;
  }
  std::size_t count_ = 0, capacity_ = 0;
  bool lowest_ = true;
  bool trimmed_ = false;
  long double threshold_ = 0;  // the count-th kept, once trimmed
  std::vector<long double> kept_;
};

// A case's part of a shared run: its constants, and what it keeps of its draws.
struct CaseWork {
  SharedCase* out = nullptr;
  RunConstants rc;
  long double sum = 0, squares = 0;  // of Phi(z*) and Phi(z*)^2, in draw order
  LimitKeeper low, high;
  bool alive = false;                        // still being evaluated
  bool notFinite = false;                    // one of its own z* was not finite
  bool plusZero = false, minusZero = false;  // a z* of +0, of -0
#if QUORVANE_X87_KERNELS
  // The case's scores (1 and its covariates, then its Y1 and Y2) as Splits,
  // when each splits exactly: two 8-byte loads each instead of a ten-byte one.
  bool split = false;
  Split score[kMaxOrder / 2 + 2] = {};
#endif
};

template <Prior prior>
class SharedRun {
 public:
  SharedRun(const RunConstants& rc, int drawCount, long double lfac[3][3], int controlCount,
            int covariateCount, std::vector<CaseWork*> cases, const SharedRunOptions& options)
      : rc_(rc),
        D_(drawCount),
        options_(options),
        sampler_(lfac, controlCount, covariateCount, rc.d),
        cases_(std::move(cases)) {}

  // Every case evaluated on every draw, or up to a stop of the draws; false
  // when cancelled.
  bool Execute();
  EngineStop Stop() const { return stopReason_; }  // of the draws, not of a case
  std::int64_t Trials() const { return sampler_.Trials(); }

  // For the sampler (calling thread).
  void StopFor(EngineStop reason) {
    if (stopReason_ == EngineStop::None) stopReason_ = reason;
  }
  bool Stopping() const { return cancel_.load() || stopReason_ != EngineStop::None; }
  bool AskProgress(std::int64_t);

 private:
  // A drawn chunk and its case-free evaluation.
  struct Slot {
    Chunk chunk;
    std::vector<long double> b;                         // B*, d entries per draw
    std::vector<long double> sqrt11, sqrt22, sqrtDiff;  // sqrt(Sigma*[1,1]), [2,2], (2 - 2 rho)
#if QUORVANE_X87_KERNELS
    // The same as Splits, d + 3 per draw (B*, then the three roots), when
    // every one of the chunk's splits exactly: the cases read them back 50
    // times over, and a ten-byte load costs several times two 8-byte ones.
    bool split = false;
    std::vector<Split> splits;
#endif
  };
  // What a block's evaluation works in: a chunk's z* and Phi(z*), and the
  // batched Phi's own buffers.
  struct Scratch {
    explicit Scratch(long double logGammaHalf)
        : z(kChunkDraws), values(kChunkDraws), phi(logGammaHalf) {}
    std::vector<long double> z, values;
    detail::StandardNormalPhiBatch phi;
  };
  // Cases evaluated together, one chunk after another.
  struct Block {
    std::size_t first = 0, last = 0;  // cases_[first .. last - 1]
    int next = 0;                     // the next chunk to evaluate
    bool busy = false;
    std::unique_ptr<Scratch> scratch;
  };

  bool EvaluateShared(int c);
  void EvaluateBlock(const Block& block, int c);
  template <int KP1>
  void EvaluateCases(const Block& block, int c);
  int SlowestBlock() const;  // under mutex_
  bool CanClaim() const;     // under mutex_
  Block* Claim();            // under mutex_
  // Evaluates blocks on this thread until done() holds (asked under mutex_)
  // or the run is cancelled; false when cancelled.
  template <class Done>
  bool HelpUntil(Done done, bool askProgress);

  const RunConstants& rc_;
  const int D_;
  const SharedRunOptions& options_;
  const long double logGammaHalf_ = Log_Gamma(0.5L);  // for Phi, as the library's
  Sampler<prior> sampler_;
  std::vector<CaseWork*> cases_;
  const CoefficientsFn coefficients_ = PickCoefficients(rc_.kp1);

  int chunkCount_ = 0;
  std::vector<Slot> ring_;
  std::vector<Block> blocks_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int produced_ = 0;       // chunks ready for the cases; guarded by mutex_
  int limit_ = 0;          // chunks the cases evaluate; guarded by mutex_
  bool producing_ = true;  // guarded by mutex_
  std::atomic<bool> cancel_{false};
  EngineStop stopReason_ = EngineStop::None;  // calling thread only
};

template <Prior prior>
bool SharedRun<prior>::AskProgress(std::int64_t) {
  if (cancel_.load()) return false;
  if (!options_.progress) return true;
  std::int64_t done = 0;
  {
    std::lock_guard lock(mutex_);
    done = std::min<std::int64_t>(static_cast<std::int64_t>(SlowestBlock()) * kChunkDraws, D_);
  }
  if (options_.progress(done, D_)) return true;
  cancel_.store(true);
  changed_.notify_all();
  return false;
}

template <Prior prior>
int SharedRun<prior>::SlowestBlock() const {
  int slowest = limit_;
  for (const Block& block : blocks_) slowest = std::min(slowest, block.next);
  return slowest;
}

template <Prior prior>
bool SharedRun<prior>::CanClaim() const {
  for (const Block& block : blocks_) {
    if (!block.busy && block.next < produced_ && block.next < limit_) return true;
  }
  return false;
}

template <Prior prior>
typename SharedRun<prior>::Block* SharedRun<prior>::Claim() {
  Block* best = nullptr;
  for (Block& block : blocks_) {
    if (block.busy || block.next >= produced_ || block.next >= limit_) continue;
    if (best == nullptr || block.next < best->next) best = &block;
  }
  if (best != nullptr) best->busy = true;
  return best;
}

// B* and the case-free square roots of every draw of chunk c; false (the
// draws stopped) when a factorisation fails, as in a single run.
template <Prior prior>
bool SharedRun<prior>::EvaluateShared(int c) {
  Slot& slot = ring_[static_cast<std::size_t>(c % kRingSlots)];
  const int count = std::min(kChunkDraws, D_ - c * kChunkDraws);
  const std::size_t d = static_cast<std::size_t>(rc_.d);
  for (int t = 0; t < count; ++t) {
    const auto ts = static_cast<std::size_t>(t);
    const M2& sigma = slot.chunk.sigma[ts];
    const VariateSlot* slots = &slot.chunk.u[ts * d];
    long double u[kMaxOrder];
    for (std::size_t i = 0; i < d; ++i) u[i] = FromSlot(slots[i]);
    if (!coefficients_(rc_, sigma, u, &slot.b[ts * d])) {
      StopFor(EngineStop::NotFinite);
      return false;
    }
    slot.sqrt11[ts] = std::sqrt(sigma.e[1][1]);
    slot.sqrt22[ts] = std::sqrt(sigma.e[2][2]);
    slot.sqrtDiff[ts] = std::sqrt(2.0L - 2.0L * slot.chunk.rho[ts]);
  }
#if QUORVANE_X87_KERNELS
  bool exact = true;
  for (int t = 0; t < count; ++t) {
    const auto ts = static_cast<std::size_t>(t);
    Split* out = &slot.splits[ts * (d + 3)];
    const long double* b = &slot.b[ts * d];
    for (std::size_t i = 0; i < d; ++i) exact = SplitExactlyInto(b[i], out[i]) && exact;
    exact = SplitExactlyInto(slot.sqrt11[ts], out[d]) && exact;
    exact = SplitExactlyInto(slot.sqrt22[ts], out[d + 1]) && exact;
    exact = SplitExactlyInto(slot.sqrtDiff[ts], out[d + 2]) && exact;
  }
  slot.split = exact;
#endif
  return true;
}

// Chunk c for the block's cases: each case's conditional means B*' score
// (each sum from 0, i ascending), its z* (ZStar's operations), Phi(z*) into
// its sums in draw order, z* offered to its limits.
template <Prior prior>
void SharedRun<prior>::EvaluateBlock(const Block& block, int c) {
  switch (rc_.kp1) {
    case 2:
      return EvaluateCases<2>(block, c);
    case 3:
      return EvaluateCases<3>(block, c);
    case 4:
      return EvaluateCases<4>(block, c);
    case 5:
      return EvaluateCases<5>(block, c);
    default:
      return EvaluateCases<6>(block, c);
  }
}

template <Prior prior>
template <int KP1>
void SharedRun<prior>::EvaluateCases(const Block& block, int c) {
  const Slot& slot = ring_[static_cast<std::size_t>(c % kRingSlots)];
  const int count = std::min(kChunkDraws, D_ - c * kChunkDraws);
  constexpr int kp1 = KP1;
  constexpr int d = 2 * KP1;
  // The block's own scratch: one thread evaluates a block at a time.
  Scratch& scratch = *block.scratch;
  std::span<long double> zs(scratch.z.data(), static_cast<std::size_t>(count));
  std::span<long double> phis(scratch.values.data(), static_cast<std::size_t>(count));
  for (std::size_t w = block.first; w < block.last; ++w) {
    CaseWork& work = *cases_[w];
    if (!work.alive) continue;
    const RunConstants& rc = work.rc;
    bool finite = true;
    detail::StandardNormalPhiBatch& batch = scratch.phi;
    batch.Begin(static_cast<std::size_t>(count));
    bool fromSplits = false;
#if QUORVANE_X87_KERNELS
    fromSplits = slot.split && work.split;
    if (fromSplits) {
      // The same operations on the same values, read from their Splits.
      const Split* score = work.score;
      for (int t = 0; t < count; ++t) {
        const auto ts = static_cast<std::size_t>(t);
        const Split* b = &slot.splits[ts * static_cast<std::size_t>(d + 3)];
        long double mu1 = 0, mu2 = 0;
#pragma GCC unroll 6
        for (int i = 0; i < kp1; ++i) mu1 = Join(b[i]) * Join(score[i]) + mu1;
#pragma GCC unroll 6
        for (int i = kp1; i < d; ++i) mu2 = Join(b[i]) * Join(score[i - kp1]) + mu2;
        const long double z1 = (Join(score[kp1]) - mu1) / Join(b[d]);
        const long double z2 = (Join(score[kp1 + 1]) - mu2) / Join(b[d + 1]);
        const long double z = (z1 - z2) / Join(b[d + 2]);
        zs[ts] = z;
        batch.Add(z, &phis[ts]);
        finite = finite && std::isfinite(z);
      }
    }
#endif
    for (int t = 0; !fromSplits && t < count; ++t) {
      const auto ts = static_cast<std::size_t>(t);
      const long double* b = &slot.b[ts * static_cast<std::size_t>(d)];
      long double mu1 = 0, mu2 = 0;
#pragma GCC unroll 6
      for (int i = 0; i < kp1; ++i) mu1 = b[i] * rc.score[i + 1] + mu1;
#pragma GCC unroll 6
      for (int i = kp1; i < d; ++i) mu2 = b[i] * rc.score[i - kp1 + 1] + mu2;
      const long double z1 = (rc.case1 - mu1) / slot.sqrt11[ts];
      const long double z2 = (rc.case2 - mu2) / slot.sqrt22[ts];
      const long double z = (z1 - z2) / slot.sqrtDiff[ts];
      zs[ts] = z;
      batch.Add(z, &phis[ts]);
      finite = finite && std::isfinite(z);
    }
    if (!finite) {
      // A z* that is not finite stops the case there (its sums and limits
      // no longer count).
      work.alive = false;
      work.notFinite = true;
      continue;
    }
    // Phi(z*) of the chunk's draws, each with its single run's bits, then
    // added in draw order.
    batch.End(phis);
    // (Two loops: the keepers' rare calls would make the sums go through
    // memory at every draw.)
    long double sum = work.sum, squares = work.squares;
    for (int t = 0; t < count; ++t) {
      const long double phi = phis[static_cast<std::size_t>(t)];
      sum = sum + phi;
      squares = squares + phi * phi;
    }
    work.sum = sum;
    work.squares = squares;
    for (int t = 0; t < count; ++t) {
      const long double z = zs[static_cast<std::size_t>(t)];
      work.low.OfferFinite(z);
      work.high.OfferFinite(z);
      if (z == 0) (std::signbit(z) ? work.minusZero : work.plusZero) = true;
    }
  }
}

template <Prior prior>
template <class Done>
bool SharedRun<prior>::HelpUntil(Done done, bool askProgress) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (cancel_.load()) return false;
    if (done()) return true;
    if (Block* block = Claim()) {
      const int c = block->next;
      lock.unlock();
      EvaluateBlock(*block, c);
      lock.lock();
      ++block->next;
      block->busy = false;
      changed_.notify_all();
      if (askProgress) {
        lock.unlock();
        if (!AskProgress(0)) return false;
        lock.lock();
      }
      continue;
    }
    changed_.wait(lock);
  }
}

template <Prior prior>
bool SharedRun<prior>::Execute() {
  chunkCount_ = (D_ + kChunkDraws - 1) / kChunkDraws;
  limit_ = chunkCount_;
  const std::size_t per = static_cast<std::size_t>(std::min(kChunkDraws, D_));
  const std::size_t d = static_cast<std::size_t>(rc_.d);
  ring_.resize(static_cast<std::size_t>(std::min(kRingSlots, chunkCount_)));
  for (Slot& slot : ring_) {
    slot.chunk.sigma.resize(per);
    slot.chunk.rho.resize(per);
    slot.chunk.u.resize(per * d);
    slot.b.resize(per * d);
    slot.sqrt11.resize(per);
    slot.sqrt22.resize(per);
    slot.sqrtDiff.resize(per);
#if QUORVANE_X87_KERNELS
    slot.splits.resize(per * (d + 3));
#endif
  }
  int threads = options_.threads;
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  // A few blocks per thread, so that a thread that is free finds one to do.
  const std::size_t n = cases_.size();
  const std::size_t blockCount =
      std::max<std::size_t>(1, std::min(n, static_cast<std::size_t>(2 * threads)));
  for (std::size_t b = 0; b < blockCount; ++b) {
    blocks_.push_back(Block{b * n / blockCount, (b + 1) * n / blockCount, 0, false,
                            std::make_unique<Scratch>(logGammaHalf_)});
  }
  threads = std::min(threads, static_cast<int>(blockCount) + 1);

  std::vector<std::thread> workers;
  for (int t = 1; t < threads; ++t) {
    workers.emplace_back([this] {
      [[maybe_unused]] const ExtendedPrecision extended;
      HelpUntil([this] { return !producing_ && SlowestBlock() >= limit_; }, false);
    });
  }

  // The calling thread owns the run's uniform stream, from the same seeds as
  // every single run.
  UniformSource uniform(kEngineSeed1, kEngineSeed2);
  bool cancelled = false;
  int drawn = 0;
  for (int c = 0; c < chunkCount_; ++c) {
    // The slot's previous chunk must be done by every block.
    if (c >= kRingSlots &&
        !HelpUntil([this, c] { return SlowestBlock() > c - kRingSlots; }, true)) {
      cancelled = true;
      break;
    }
    Slot& slot = ring_[static_cast<std::size_t>(c % kRingSlots)];
    const int first = c * kChunkDraws;
    sampler_.Draw(*this, slot.chunk, first, std::min(kChunkDraws, D_ - first), uniform);
    if (cancel_.load()) {
      cancelled = true;
      break;
    }
    // A stop of the draws (in drawing or in B*) ends every case before chunk c.
    if (stopReason_ != EngineStop::None || !EvaluateShared(c)) break;
    {
      std::lock_guard lock(mutex_);
      produced_ = c + 1;
    }
    drawn = c + 1;
    changed_.notify_all();
    if (!AskProgress(0)) {
      cancelled = true;
      break;
    }
    // Evaluate here too while the cases lag two chunks behind (always, when alone).
    const int lag = workers.empty() ? 1 : 2;
    if (!HelpUntil([this, c, lag] { return c + 1 - SlowestBlock() < lag || !CanClaim(); }, false)) {
      cancelled = true;
      break;
    }
  }
  {
    std::lock_guard lock(mutex_);
    producing_ = false;
    if (!cancelled) limit_ = drawn;
  }
  changed_.notify_all();
  if (!cancelled && !HelpUntil([this] { return SlowestBlock() >= limit_; }, true)) cancelled = true;
  // The last word: every draw done (or up to the stop).
  if (!cancelled && !AskProgress(0)) cancelled = true;
  if (cancelled) {
    cancel_.store(true);
    changed_.notify_all();
  }
  for (std::thread& worker : workers) worker.join();
  return !cancelled;
}

template <Prior prior>
bool RunShared(int k, int n, int D, bool twoSided, int crediblePercent, const Vector& sds,
               const Vector& means, const Matrix& R, std::span<SharedCase> cases,
               const SharedRunOptions& options) {
  if (D < 1 || k < 1 || k > kMaxCovariates) return false;
  int lower = 0, upper = 0;
  CredibleLimitPositions(crediblePercent, D, twoSided, lower, upper);
  lower = std::clamp(lower, 1, D);
  upper = std::clamp(upper, 1, D);

  std::vector<std::unique_ptr<CaseWork>> works;
  std::vector<CaseWork*> live;
  long double lfac[3][3] = {};
  const CaseWork* model = nullptr;  // the first case whose setup held
  for (SharedCase& one : cases) {
    auto work = std::make_unique<CaseWork>();
    work->out = &one;
    const Vector* scores = one.caseScores;
    one = SharedCase();
    one.caseScores = scores;
    long double ownLfac[3][3] = {};
    one.diagnostics = SetUpRun<prior>(k, n, sds, means, *one.caseScores, R, one.condMeans,
                                      one.condSDs, one.partialR, one.condZ1, one.condZ2,
                                      one.results, InfoMessageFn(), work->rc, ownLfac);
    if (!one.diagnostics.Reliable()) {
      works.push_back(std::move(work));
      continue;  // as its single run: stopped before the draws
    }
    if (model == nullptr) {
      model = work.get();
      std::memcpy(lfac, ownLfac, sizeof lfac);
    } else {
      // The case-free constants must be the model's, bit for bit.
      bool same = true;
      for (int r = 0; r <= k; ++r) {
        for (int c = 0; c <= k; ++c) {
          same = same && SameBits(work->rc.xtx[r][c], model->rc.xtx[r][c]);
        }
      }
      for (int i = 1; i <= 2 * (k + 1); ++i) {
        same = same && SameBits(work->rc.bHat[i], model->rc.bHat[i]);
      }
      for (int i = 1; i <= 2; ++i) {
        for (int j = 1; j <= 2; ++j) same = same && SameBits(ownLfac[i][j], lfac[i][j]);
      }
      if (!same) {
        one.exact = false;
        works.push_back(std::move(work));
        continue;
      }
    }
    if (upper < lower) one.exact = false;  // no order statistic at the upper position
    work->alive = true;
#if QUORVANE_X87_KERNELS
    work->split = SplitExactlyInto(work->rc.case1, work->score[k + 1]);
    work->split = SplitExactlyInto(work->rc.case2, work->score[k + 2]) && work->split;
    for (int i = 0; i <= k; ++i) {
      work->split = SplitExactlyInto(work->rc.score[i + 1], work->score[i]) && work->split;
    }
#endif
    work->low.Reset(static_cast<std::size_t>(lower), true);
    work->high.Reset(static_cast<std::size_t>(D - upper + 1), false);
    live.push_back(work.get());
    works.push_back(std::move(work));
  }
  if (live.empty()) return true;

  SharedRun<prior> run(model->rc, D, lfac, n, k, live, options);
  if (!run.Execute()) return false;
  const std::int64_t trials = run.Trials();
  for (CaseWork* work : live) {
    SharedCase& one = *work->out;
    one.diagnostics.trials = trials;
    one.diagnostics.portableDraws = D;
    if (work->notFinite) {
      one.diagnostics.stop = EngineStop::NotFinite;
      continue;
    }
    if (run.Stop() != EngineStop::None) {
      one.diagnostics.stop = run.Stop();
      continue;
    }
    // 10-14 as SummariseDraws takes them, the limits from the kept draws.
    const bool flipped = SummarisePercentage(work->sum, D, one.results);
    one.results.effectSizeLower = work->low.Limit();
    one.results.effectSizeUpper = work->high.Limit();
    SummarisePercentLimits(flipped, one.results);
    one.phiSums = {work->sum, work->squares};
    const bool bothZeros = work->plusZero && work->minusZero;
    if (bothZeros && (one.results.effectSizeLower == 0 || one.results.effectSizeUpper == 0)) {
      one.exact = false;
    }
    one.completed = true;
  }
  return true;
}

}  // namespace

bool Run_Shared_Draws(bool calibrated, int covariateCount, int controlCount, int drawCount,
                      bool twoSided, int crediblePercent, const Vector& sds, const Vector& means,
                      const Matrix& R, std::span<SharedCase> cases,
                      const SharedRunOptions& options) {
  return calibrated
             ? RunShared<Prior::Calibrated>(covariateCount, controlCount, drawCount, twoSided,
                                            crediblePercent, sds, means, R, cases, options)
             : RunShared<Prior::StandardTheory>(covariateCount, controlCount, drawCount, twoSided,
                                                crediblePercent, sds, means, R, cases, options);
}

std::size_t SharedCaseBytes(int drawCount, int crediblePercent, bool twoSided) {
  int lower = 0, upper = 0;
  CredibleLimitPositions(crediblePercent, drawCount, twoSided, lower, upper);
  lower = std::clamp(lower, 1, std::max(1, drawCount));
  upper = std::clamp(upper, 1, std::max(1, drawCount));
  return LimitKeeper::Bytes(static_cast<std::size_t>(lower)) +
         LimitKeeper::Bytes(static_cast<std::size_t>(drawCount - upper + 1));
}

}  // namespace quorvane
