// Probability distribution classes. The order of every arithmetic operation
// and of every Uniform_01 draw is fixed: the Monte Carlo engines' results
// depend on it bit for bit.
#include "distrib/distributions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "distrib/inline_log_exp.h"
#include "distrib/uniform.h"

namespace quorvane {

namespace {

// Uniform_01 as a source for the generators' shared bodies.
struct ProcessStream {
  long double operator()() const { return Uniform_01(); }
};

constexpr long double kBound = 2147483647.0L;
constexpr long double kPi = 3.141592653589793238462643383279502884L;
constexpr long double kE = 2.718281828459045235360287471352662498L;
constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();

// The incomplete gamma function refuses arguments above 2147483647. The
// distribution functions below only ask it with shapes of at most 500, where
// Q(a, x) < exp(-2e9) for such x: far below the smallest extended real, so P
// is exactly 1 there and is given without the call.
long double Lower_Gamma_Or_One(long double x, long double a) {
  if (x > kBound) return 1;
  return Reg_Inc_Gamma_P(x, a);
}

// Phi from the incomplete gamma function of z^2 / 2 with shape 1/2.
long double Normal_From_Z(long double z, long double half_z_squared) {
  const long double p = Lower_Gamma_Or_One(half_z_squared, 0.5L);
  if (z >= 0) return 0.5L + 0.5L * p;
  return 0.5L - 0.5L * p;
}

}  // namespace

// ---------------------------------------------------------------------------
// tDistribution

bool tDistribution::Set_parameters(long double p1, long double p2, long double p3) {
  param[1].value = p1;
  param[2].value = p2;
  param[3].value = p3;
  for (int i = 1; i <= param_count; ++i) {
    Check_Compare(1297 + 4 * i, param[i].value, param[i].lower);
    Check_Compare(1303, param[i].value, param[i].upper);
  }
  support_lo = -kBound;
  support_hi = kBound;
  return true;
}

bool tDistribution::In_support(long double x) const {
  return support_lo <= x && x <= support_hi;
}

long double tDistribution::Density(long double) const {
  return 0;
}

long double tDistribution::Mass(long double) const {
  return 0;
}

// Every concrete class overrides this or relies on a class that does: the base
// rule goes through Interval_probability, which asks Distribution_function back.
long double tDistribution::Distribution_function(long double x) const {
  if (std::isnan(x)) return kNaN;
  if (x < support_lo) return 0;
  if (x >= support_hi) return 1;
  return Interval_probability(support_lo, x);
}

long double tDistribution::Interval_probability(long double from, long double to) const {
  if (std::isnan(from) || std::isnan(to)) return kNaN;
  from = std::max(from, support_lo);
  to = std::min(to, support_hi);
  long double e;
  if (to >= kBound) {
    e = 1 - Distribution_function(from) + Mass(from);
  } else if (from <= -kBound) {
    e = Distribution_function(to);
  } else {
    e = Distribution_function(to) - Distribution_function(from) + Mass(from);
  }
  if (e < 0) e = 0;
  if (e > 1) e = 1;
  return e;
}

long double tDistribution::Std_dev() const {
  Raise_If(!Has_variance(), 1363);
  return sqrtl(Variance());
}

long double tDistribution::Random_Variate() {
  return Quantile(Uniform_01());
}

// ---------------------------------------------------------------------------
// tContinuous_distribution

// Brackets p between lo and hi by widening eightfold around the centre, then
// refines by Newton steps kept inside the bracket, bisecting where a Newton
// step would not be. The widening stops at the ends of the support, and when
// rounding swallows the step (a centre far larger than the spread), so it
// always ends; a p whose quantile lies beyond a support end then gives that
// end. A NaN p is refused like a negative one.
long double tContinuous_distribution::Quantile(long double p) const {
  Check_Compare(1302, p, 0);
  if (Same_Value(p, 0)) return support_lo;
  Check_Compare(1315, p, 1);
  if (Same_Value(p, 1)) return support_hi;

  const long double centre = Has_mean() ? Mean() : (support_lo + support_hi) / 2;
  const long double step = Has_variance() ? 2 * Std_dev() : 8;
  long double hi = std::min(centre + step, support_hi);
  long double lo = std::max(centre - step, support_lo);

  // Searching downwards is needed only when the upward search left lo where it
  // started. (A test of hi - lo against 2 step would miss that for a centre
  // large enough that centre +- step are rounded.)
  bool widened_up = false;
  while (Distribution_function(hi) < p) {
    const long double wider = std::min(centre + 8 * (hi - centre), support_hi);
    if (!(wider > hi)) break;
    lo = hi;
    hi = wider;
    widened_up = true;
  }
  if (!widened_up) {
    while (Distribution_function(lo) > p) {
      const long double wider = std::max(centre + 8 * (lo - centre), support_lo);
      if (!(wider < lo)) break;
      hi = lo;
      lo = wider;
    }
  }

  long double x = (lo + hi) / 2;
  long double previous;
  do {
    const long double d = Distribution_function(x) - p;
    const long double f = Density(x);
    previous = x;
    if (d <= 0) lo = x;
    if (d >= 0) hi = x;
    if (fabsl(2 * d) < (hi - lo) * f) {
      x = x - d / f;
    } else {
      x = (lo + hi) / 2;
    }
  } while (!(fabsl(x - previous) < 5e-12L));
  return x;
}

// ---------------------------------------------------------------------------
// tNormal_distribution

// ln y = 2 atanh(s) with s = (y - 1) / (y + 1) in (-1, 1), and the series
// 2 (s + s^3/3 + s^5/5 + ...) has a remainder after s^5/5 of the sign of s and
// at most |2 s^7 / (7 (1 - s^2))| (the geometric bound on s^7/7 (1 + s^2 + ...)).
// So ln y lies between sum and sum + remainder. Both are computed to within
// about 1e-18 relative, and the extended logarithm is within 1e-19 of ln y: a
// comparison that clears a bound by a relative 1e-15 of the magnitudes in it
// has the outcome the comparison of the logarithms would have. When s rounds to
// +-1 the remainder is infinite and nothing is decided.
namespace {

struct LogSeries {
  long double sum, remainder;
};

inline LogSeries AtanhSeries(long double s) {
  const long double s2 = s * s;
  return {2 * s * (1 + s2 * (1.0L / 3 + s2 / 5)), 2 * s * (s2 * s2 * s2) / (7 * (1 - s2))};
}

}  // namespace

// -ln u from s = (1 - u) / (1 + u) > 0: between sum and sum + remainder. The
// upper bound is only formed when the lower one leaves the outcome open. Only
// the band between the bounds (about one in 25 of the cases that reach this
// test, mostly at small u) takes the logarithm.
bool detail::NormalLogTest(long double xx, long double u) {
  const LogSeries minusLog = AtanhSeries((1 - u) / (1 + u));
  const long double lower = 4 * minusLog.sum;
  if (xx < lower * (1 - 1e-15L)) return true;
  const long double upper = lower + 4 * minusLog.remainder;
  if (xx > upper * (1 + 1e-15L)) return false;
  return xx <= -4 * InlineLogl(u);
}

// Both logarithms bracketed the same way; the tolerance covers the rounding of
// either side of the comparison, whose terms are at most |2 ln u|, |X| and
// |(alpha - 1) ln y| in size. About one in 50 of the tests that reach here
// (shapes 1.5 to 11.5) takes the logarithms.
bool detail::GammaLogTest(long double u, long double X, long double alpha_minus_1) {
  const long double y = X / alpha_minus_1 + 1;
  const LogSeries logU = AtanhSeries((u - 1) / (u + 1));
  const LogSeries logY = AtanhSeries((y - 1) / (y + 1));
  const long double tolerance =
      1e-15L * (2 * (fabsl(logU.sum) + fabsl(logU.remainder)) + fabsl(X) +
                alpha_minus_1 * (fabsl(logY.sum) + fabsl(logY.remainder)));
  const long double logUEnd = logU.sum + logU.remainder, logYEnd = logY.sum + logY.remainder;
  const long double left_lo = 2 * std::min(logU.sum, logUEnd) + X;
  const long double left_hi = 2 * std::max(logU.sum, logUEnd) + X;
  const long double right_lo = alpha_minus_1 * std::min(logY.sum, logYEnd);
  const long double right_hi = alpha_minus_1 * std::max(logY.sum, logYEnd);
  if (left_lo > right_hi + tolerance) return true;  // false for NaN
  if (left_hi < right_lo - tolerance) return false;
  return 2 * InlineLogl(u) + X > alpha_minus_1 * InlineLogl(y);
}

tNormal_distribution::tNormal_distribution(long double mean, long double variance) {
  param[1] = {mean, -kBound, kBound};
  param[2] = {variance, 0, kBound};
  tNormal_distribution::Set_parameters(mean, variance, 0);
}

bool tNormal_distribution::Set_parameters(long double p1, long double p2, long double p3) {
  tDistribution::Set_parameters(p1, p2, p3);
  mean_ = p1;
  variance_ = p2;
  sd_ = sqrtl(variance_);
  log_norm_ = -(InlineLogl(2 * kPi) + InlineLogl(variance_)) / 2;
  ratio_const_ = sqrtl(2 / kE);
  standard_ = mean_ == 0 && !std::signbit(mean_) && sd_ == 1;
  return true;
}

long double tNormal_distribution::Density(long double x) const {
  if (!In_support(x)) return 0;
  const long double d = x - mean_;
  return InlineExpl(log_norm_ - d * d / (2 * variance_));
}

long double tNormal_distribution::Distribution_function(long double x) const {
  const long double z = (x - mean_) / sd_;
  if (In_support(x)) return Normal_From_Z(z, z * z / 2);
  return tDistribution::Distribution_function(x);
}

// Ratio of uniforms (Kinderman and Monahan) with the quadratic bounds on
// -4 ln u as pre-tests: 2u^2 + 6 - 8u <= -4 ln u <= 2/u - 2u on (0, 1). An
// attempt takes two uniforms, u and v, and accepts x = (2v - 1) c / u or not.
namespace {

inline long double NormalCandidate(long double u, long double v, long double c) {
  return (2 * v - 1) * c / u;
}
inline bool NormalQuickAccept(long double xx, long double u) {
  return xx <= 2 * u * u + 6 - 8 * u;
}
inline bool NormalQuickReject(long double xx, long double u) {
  return xx >= 2 / u - 2 * u;
}

}  // namespace

template <class Source>
long double tNormal_distribution::Draw(Source& uniform) const {
  while (true) {
    const long double u = uniform();
    const long double v = uniform();
    const long double x = NormalCandidate(u, v, ratio_const_);
    const long double xx = x * x;
    if (NormalQuickAccept(xx, u)) return FromStandard(x);
    if (NormalQuickReject(xx, u)) continue;
    if (detail::NormalLogTest(xx, u)) return FromStandard(x);
  }
}

// One at a time, each attempt's outcome waits on its division and decides the
// branch. Every attempt gives at most one variate, so the next n - done
// attempts are all needed whatever their outcomes: they are worked out side by
// side from the uniforms ahead, then the accepted ones are kept in order.
void tNormal_distribution::Random_Variates(UniformSource& source, long double* out, int n) const {
  constexpr int kMaxAttempts = 16;
  int done = 0;
  while (done < n) {
    const int attempts = std::min({n - done, source.Ready() / 2, kMaxAttempts});
    if (attempts == 0) {  // the pair straddles two blocks, or the stream goes value by value
      out[done++] = Draw(source);
      continue;
    }
    const std::int32_t* steps = source.Ahead();
    long double x[kMaxAttempts];
    signed char verdict[kMaxAttempts];  // 1 accepted, 0 rejected, -1 left to the logarithm
    for (int i = 0; i < attempts; ++i) {
      const long double u = detail::UniformFromStep(steps[2 * i]);
      const long double v = detail::UniformFromStep(steps[2 * i + 1]);
      x[i] = NormalCandidate(u, v, ratio_const_);
      const long double xx = x[i] * x[i];
      // Both tests, without a branch that would wait on the division.
      const int accept = NormalQuickAccept(xx, u) ? 1 : 0;
      const int reject = NormalQuickReject(xx, u) ? 1 : 0;
      verdict[i] = static_cast<signed char>(accept + (accept | reject) - 1);  // accept first
    }
    for (int i = 0; i < attempts; ++i) {
      int accept = verdict[i];
      if (accept < 0) [[unlikely]] {
        accept = detail::NormalLogTest(x[i] * x[i], detail::UniformFromStep(steps[2 * i])) ? 1 : 0;
      }
      out[done] = FromStandard(x[i]);  // done < n: at most i of these attempts accepted
      done += accept;
    }
    source.Skip(2 * attempts);
  }
}

long double tNormal_distribution::Random_Variate() {
  ProcessStream stream;
  return Draw(stream);
}

long double tNormal_distribution::Random_Variate(UniformSource& source) const {
  return Draw(source);
}

// ---------------------------------------------------------------------------
// tGamma_distribution

tGamma_distribution::tGamma_distribution(long double shape, long double rate) {
  SetUpParameterRecords();
  param[1].value = shape;
  param[2].value = rate;
  tGamma_distribution::Set_parameters(shape, rate, 0);
}

void tGamma_distribution::SetUpParameterRecords() {
  param[1] = {0, 0, kBound};
  param[2] = {0, 0, kBound};
}

bool tGamma_distribution::Set_parameters(long double p1, long double p2, long double p3) {
  tDistribution::Set_parameters(p1, p2, p3);
  alpha_ = p1;
  beta_ = p2;
  log_norm_ = alpha_ * InlineLogl(beta_) - Log_Gamma(alpha_);
  support_lo = 0;
  support_hi = kBound;
  alpha_minus_1_ = alpha_ - 1;
  if (alpha_ > 1) {
    const long double s = sqrtl(2 * alpha_ - 1);
    c1_ =
        (1 - s) *
        sqrtl(InlineExpl((alpha_ - 1) * (InlineLogl(alpha_ - s) - InlineLogl(alpha_ - 1)) + s - 1));
    c2_ =
        (1 + s) *
        sqrtl(InlineExpl((alpha_ - 1) * (InlineLogl(alpha_ + s) - InlineLogl(alpha_ - 1)) - s - 1));
  } else if (alpha_ < 1) {
    c1_ = (kE + alpha_) / kE;
    c2_ = 1 / alpha_;
  }
  c_span_ = c2_ - c1_;
  return true;
}

bool tGamma_distribution::In_support(long double x) const {
  if (alpha_ >= 1) return tDistribution::In_support(x);
  return tDistribution::In_support(x) && x > 0;
}

long double tGamma_distribution::Density(long double x) const {
  if (In_support(x) && x > 0) {
    return InlineExpl(alpha_minus_1_ * InlineLogl(x) + log_norm_ - beta_ * x);
  }
  if (Same_Value(alpha_, 1) && x == 0) return beta_;
  return 0;
}

long double tGamma_distribution::Distribution_function(long double x) const {
  if (In_support(x)) {
    if (alpha_ <= 500) return Lower_Gamma_Or_One(beta_ * x, alpha_);
    // Wilson-Hilferty: the cube root of X / alpha is close to normal with
    // mean 1 - 1/(9 alpha) and variance 1/(9 alpha).
    const long double t = Real_Power(beta_ * x / alpha_, 1.0L / 3.0L) - 1 + 1 / (9 * alpha_);
    const long double w = 4.5L * alpha_ * (t * t);
    return Normal_From_Z(t, w);
  }
  if (x <= 0) return 0;
  if (x > kBound) return 1;
  return kNaN;
}

template <class Source>
long double tGamma_distribution::Draw(Source& uniform) const {
  if (alpha_ == 1) return -InlineLogl(uniform()) / beta_;

  if (alpha_ > 1) {
    // Ratio of uniforms around the mode: X = Y - (alpha - 1) with Y the gamma
    // variate; c1 and c2 bound X sqrt(h(X)). The quick tests bracket the exact
    // test by quadratic bounds on ln u and on (alpha - 1) ln(1 + X/(alpha - 1)) - X.
    while (true) {
      const long double u = uniform();
      const long double v = uniform();
      const long double X = (c1_ + v * c_span_) / u;
      const long double Y = X + alpha_ - 1;
      const long double XX = X * X;
      if (X >= 0) {
        if (-XX * (X + Y) >= (-2 * u * u + 8 * u - 6) * (Y * Y)) return Y / beta_;
        if (-u * XX <= (2 * u * u - 2) * Y) continue;
      } else {
        if (-XX >= (-2 * u * u + 8 * u - 6) * Y) return Y / beta_;
        if (-u * XX <= (2 * u * u - 2) * alpha_minus_1_) continue;
      }
      if (Y <= 0) continue;
      if (detail::GammaLogTest(u, X, alpha_minus_1_)) continue;
      return Y / beta_;
    }
  }

  // Ahrens and Dieter's GS method for alpha < 1, with b = c1 = (e + alpha) / e
  // and c2 = 1 / alpha.
  const long double b = c1_;
  while (true) {
    const long double u = uniform();
    const long double p = b * u;
    const long double w = uniform();
    if (p > 1) {
      const long double x = -InlineLogl((b - p) * c2_);
      if (w <= Real_Power(x, alpha_minus_1_)) return x / beta_;
    } else {
      const long double x = Real_Power(p, c2_);
      if (InlineLogl(w) <= -x) return x / beta_;
    }
  }
}

long double tGamma_distribution::Random_Variate() {
  ProcessStream stream;
  return Draw(stream);
}

long double tGamma_distribution::Random_Variate(UniformSource& source) const {
  return Draw(source);
}

// ---------------------------------------------------------------------------
// tChi_square_distribution

tChi_square_distribution::tChi_square_distribution(long double df) {
  SetUpParameterRecords();
  tChi_square_distribution::Set_parameters(df, 0, 0);
}

bool tChi_square_distribution::Set_parameters(long double p1, long double, long double) {
  tGamma_distribution::Set_parameters(p1 / 2, 0.5L, 0);
  df_ = p1;
  return true;
}

// ---------------------------------------------------------------------------
// tUniform_distribution

tUniform_distribution::tUniform_distribution(long double a, long double b) {
  param[1] = {a, -kBound, b};
  param[2] = {b, a, kBound};
  tUniform_distribution::Set_parameters(a, b, 0);
}

bool tUniform_distribution::Set_parameters(long double p1, long double p2, long double p3) {
  param[1].upper = p2;
  param[2].lower = p1;
  tDistribution::Set_parameters(p1, p2, p3);
  a_ = p1;
  b_ = p2;
  support_lo = a_;
  support_hi = b_;
  return true;
}

long double tUniform_distribution::Density(long double x) const {
  if (In_support(x)) return 1 / (b_ - a_);
  return 0;
}

long double tUniform_distribution::Distribution_function(long double x) const {
  if (In_support(x)) return (x - a_) / (b_ - a_);
  return tDistribution::Distribution_function(x);
}

long double tUniform_distribution::Random_Variate() {
  return a_ + Uniform_01() * (b_ - a_);
}

long double tUniform_distribution::Random_Variate(UniformSource& source) const {
  return a_ + source() * (b_ - a_);
}

}  // namespace quorvane
