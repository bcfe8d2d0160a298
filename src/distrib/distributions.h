// Probability distribution classes: densities, distribution functions,
// interval probabilities, quantiles, moments and random variates. Every
// variate comes from Uniform_01 and its process-wide seeds.
#pragma once

#include <cstdint>

#include "distrib/numeric_helpers.h"
#include "distrib/uniform.h"

namespace quorvane {

// A parameter value with its admissible open interval (lower < value < upper).
struct ParameterRecord {
  long double value = 0;
  long double lower = 0;
  long double upper = 0;
};

class tDistribution {
 public:
  virtual ~tDistribution() = default;

  // Stores and checks the parameters and resets the support.
  // @throws EArgumentError 1301/1305 when parameter 1/2 <= its lower bound,
  //         1303 when a parameter >= its upper bound (value appended).
  virtual bool Set_parameters(long double p1, long double p2, long double p3);
  virtual bool In_support(long double x) const;                    // lo <= x <= hi
  virtual long double Density(long double x) const;                // 0
  virtual long double Mass(long double x) const;                   // 0
  virtual long double Distribution_function(long double x) const;  // P(X <= x)
  virtual long double Interval_probability(long double from, long double to) const;
  // @throws EArgumentError 1302 when p < 0 or NaN, 1315 when p > 1 (value appended).
  virtual long double Quantile(long double p) const = 0;
  virtual bool Has_mean() const { return true; }
  virtual bool Has_variance() const { return true; }
  virtual long double Mean() const = 0;
  virtual long double Variance() const = 0;
  // @throws EArgumentError 1363 when the distribution has no variance.
  virtual long double Std_dev() const;
  virtual long double Random_Variate();  // Quantile(Uniform_01())

  long double Support_lo() const { return support_lo; }
  long double Support_hi() const { return support_hi; }

 protected:
  std::uint8_t param_count = 2;
  ParameterRecord param[4];  // 1-based: param[1..3]
  long double support_lo = 0;
  long double support_hi = 0;
};

class tContinuous_distribution : public tDistribution {
 public:
  long double Quantile(long double p) const override;
};

namespace detail {
// The normal generator's final test, xx <= -4 ln(u) for 0 < u < 1, with exactly
// the outcome of comparing xx with -4 logl(u), the logarithm taken only when
// bounds on it leave the outcome open.
bool NormalLogTest(long double xx, long double u);
// The gamma generator's final test, 2 ln(u) + X > (alpha - 1) ln(X / (alpha - 1) + 1)
// for 0 < u < 1 and alpha > 1, in the same way: the outcome of the comparison
// with both sides formed with logl, the logarithms taken only when needed.
bool GammaLogTest(long double u, long double X, long double alpha_minus_1);
}  // namespace detail

class tNormal_distribution final : public tContinuous_distribution {
 public:
  // @throws EArgumentError 1305 for variance <= 0, 1301/1303 for a mean out of range.
  tNormal_distribution(long double mean, long double variance);
  bool Set_parameters(long double p1, long double p2, long double p3) override;
  long double Density(long double x) const override;
  long double Distribution_function(long double x) const override;
  long double Mean() const override { return mean_; }
  long double Variance() const override { return variance_; }
  long double Random_Variate() override;
  // The same variate from a source that owns the stream for a while.
  long double Random_Variate(UniformSource& source) const;
  // The next n variates into out[0 .. n-1]: the same values, from the same
  // uniforms, as n calls of Random_Variate(source).
  void Random_Variates(UniformSource& source, long double* out, int n) const;

 private:
  template <class Source>
  long double Draw(Source& uniform) const;
  // mean + x sd; for mean +0 and sd 1 that is 0 + x exactly (x 1 = x for every x).
  long double FromStandard(long double x) const { return standard_ ? 0.0L + x : mean_ + x * sd_; }

  long double mean_ = 0, variance_ = 1, sd_ = 1, log_norm_ = 0, ratio_const_ = 0;
  bool standard_ = true;  // mean +0 and sd 1
};

class tGamma_distribution : public tContinuous_distribution {
 public:
  // Shape alpha and rate beta (mean alpha / beta).
  // @throws EArgumentError 1301/1305 for a shape/rate <= 0, 1303 above 2147483647.
  tGamma_distribution(long double shape, long double rate);
  bool Set_parameters(long double p1, long double p2, long double p3) override;
  bool In_support(long double x) const override;
  long double Density(long double x) const override;
  long double Distribution_function(long double x) const override;
  long double Mean() const override { return alpha_ / beta_; }
  long double Variance() const override { return alpha_ / (beta_ * beta_); }
  long double Random_Variate() override;
  // The same variate from a source that owns the stream for a while.
  long double Random_Variate(UniformSource& source) const;

 protected:
  template <class Source>
  long double Draw(Source& uniform) const;

  tGamma_distribution() = default;  // for the chi-square constructor
  void SetUpParameterRecords();

  long double alpha_ = 1, beta_ = 1, log_norm_ = 0, c1_ = 0, c2_ = 0;
  // alpha - 1 and c2 - c1, kept for the generator (the same bits as computed
  // at each draw).
  long double alpha_minus_1_ = 0, c_span_ = 0;
};

class tChi_square_distribution final : public tGamma_distribution {
 public:
  // @throws EArgumentError 1301 for df <= 0, 1303 for df / 2 >= 2147483647.
  explicit tChi_square_distribution(long double df);
  bool Set_parameters(long double p1, long double p2, long double p3) override;
  long double Df() const { return df_; }

 private:
  long double df_ = 1;
};

class tUniform_distribution final : public tContinuous_distribution {
 public:
  // @throws EArgumentError 1303 when a >= b.
  tUniform_distribution(long double a, long double b);
  bool Set_parameters(long double p1, long double p2, long double p3) override;
  long double Density(long double x) const override;
  long double Distribution_function(long double x) const override;
  long double Mean() const override { return (a_ + b_) / 2; }
  long double Variance() const override { return (b_ - a_) * (b_ - a_) / 12; }
  long double Random_Variate() override;
  // The same variate from a source that owns the stream for a while.
  long double Random_Variate(UniformSource& source) const;

 private:
  long double a_ = 0, b_ = 1;
};

}  // namespace quorvane
