#include "distrib/distributions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Bayes_Engines/engines.h"
#include "distrib/uniform.h"
#include "expect_argument_error.h"

namespace quorvane {
namespace {

constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();

// ---------------------------------------------------------------------------
// Parameters

TEST(DistributionParameters, BadConstructorArgumentsRaise) {
  struct Case {
    const char* what;
    std::function<void()> make;
    int identifier;
    const char* appended;
  };
  const std::vector<Case> cases = {
      {"normal variance 0",
       [] {
         tNormal_distribution{0, 0};
       },
       1305, "0"},
      {"normal variance -1",
       [] {
         tNormal_distribution{0, -1};
       },
       1305, "-1"},
      {"normal variance NaN",
       [] {
         tNormal_distribution{0, kNaN};
       },
       1305, "NaN"},
      {"normal mean too high",
       [] {
         tNormal_distribution{3e9L, 1};
       },
       1303, "3000000000"},
      {"normal mean too low",
       [] {
         tNormal_distribution{-2147483647.0L, 1};
       },
       1301, "-2147483647"},
      {"normal variance too high",
       [] {
         tNormal_distribution{0, 2147483647.0L};
       },
       1303, "2147483647"},
      // The chi-square's parameter 1 is the gamma shape df / 2.
      {"chi-square df 0", [] { tChi_square_distribution{0}; }, 1301, "0"},
      {"chi-square df -3", [] { tChi_square_distribution{-3}; }, 1301, "-1.5"},
      {"chi-square df NaN", [] { tChi_square_distribution{kNaN}; }, 1301, "NaN"},
      {"chi-square df too high", [] { tChi_square_distribution{4294967294.0L}; }, 1303,
       "2147483647"},
      {"gamma shape 0",
       [] {
         tGamma_distribution{0, 1};
       },
       1301, "0"},
      {"gamma rate 0",
       [] {
         tGamma_distribution{1, 0};
       },
       1305, "0"},
      {"uniform a = b",
       [] {
         tUniform_distribution{1, 1};
       },
       1303, "1"},
      {"uniform a > b",
       [] {
         tUniform_distribution{2, 1};
       },
       1303, "2"},
      {"uniform a too low",
       [] {
         tUniform_distribution{-3e9L, 1};
       },
       1301, "-3000000000"},
      {"uniform b too high",
       [] {
         tUniform_distribution{0, 3e9L};
       },
       1303, "3000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectArgumentError(c.make, c.identifier, c.appended);
  }
  EXPECT_NO_THROW(tNormal_distribution(-2147483646.0L, 2147483646.0L));
  EXPECT_NO_THROW(tUniform_distribution(-2147483646.0L, 2147483646.0L));
}

TEST(DistributionParameters, FailedSetParametersKeepsTheDerivedFields) {
  tNormal_distribution normal(1, 4);
  ExpectArgumentError([&] { normal.Set_parameters(5, -1, 0); }, 1305, "-1");
  EXPECT_EQ(normal.Mean(), 1);
  EXPECT_EQ(normal.Variance(), 4);

  tChi_square_distribution chi(6);
  ExpectArgumentError([&] { chi.Set_parameters(-2, 0, 0); }, 1301, "-1");
  EXPECT_EQ(chi.Df(), 6);
  EXPECT_EQ(chi.Mean(), 6);

  tUniform_distribution uniform(0, 1);
  ExpectArgumentError([&] { uniform.Set_parameters(3, 2, 0); }, 1303, "3");
  uniform.Set_parameters(2, 3, 0);
  EXPECT_EQ(uniform.Support_lo(), 2);
  EXPECT_EQ(uniform.Support_hi(), 3);
}

TEST(DistributionParameters, MomentsAndSupport) {
  const tNormal_distribution normal(3, 4);
  EXPECT_EQ(normal.Mean(), 3);
  EXPECT_EQ(normal.Variance(), 4);
  EXPECT_EQ(normal.Std_dev(), 2);
  EXPECT_EQ(normal.Support_lo(), -2147483647.0L);
  EXPECT_EQ(normal.Support_hi(), 2147483647.0L);

  const tGamma_distribution gamma(3, 2);
  EXPECT_EQ(gamma.Mean(), 1.5L);
  EXPECT_EQ(gamma.Variance(), 0.75L);
  EXPECT_EQ(gamma.Support_lo(), 0);

  const tChi_square_distribution chi(5);
  EXPECT_EQ(chi.Df(), 5);
  EXPECT_EQ(chi.Mean(), 5);
  EXPECT_EQ(chi.Variance(), 10);

  const tUniform_distribution uniform(2, 5);
  EXPECT_EQ(uniform.Mean(), 3.5L);
  EXPECT_EQ(uniform.Variance(), 0.75L);
  EXPECT_EQ(uniform.Support_lo(), 2);
  EXPECT_EQ(uniform.Support_hi(), 5);
}

// A logistic distribution that claims no mean and no variance, to reach the
// base class paths no concrete class uses.
class NoMomentsLogistic final : public tContinuous_distribution {
 public:
  NoMomentsLogistic() {
    param[1] = {0, -2147483647.0L, 2147483647.0L};
    param[2] = {1, 0, 2147483647.0L};
    Set_parameters(0, 1, 0);
  }
  long double Density(long double x) const override {
    const long double e = expl(-x);
    return e / ((1 + e) * (1 + e));
  }
  long double Distribution_function(long double x) const override { return 1 / (1 + expl(-x)); }
  bool Has_mean() const override { return false; }
  bool Has_variance() const override { return false; }
  long double Mean() const override { return 0; }
  long double Variance() const override { return 0; }
};

TEST(DistributionBase, WithoutMomentsStdDevRaisesAndQuantileStillWorks) {
  NoMomentsLogistic logistic;
  ExpectArgumentError([&] { logistic.Std_dev(); }, 1363, "");
  EXPECT_NEAR(logistic.Quantile(0.9L), logl(9), 1e-10L);
  EXPECT_NEAR(logistic.Quantile(1e-6L), logl(1e-6L / (1 - 1e-6L)), 1e-9L);
  // The base generator is Quantile(Uniform_01()).
  Seed1 = kEngineSeed1;
  Seed2 = kEngineSeed2;
  const long double draw = logistic.Random_Variate();
  Seed1 = kEngineSeed1;
  Seed2 = kEngineSeed2;
  EXPECT_EQ(draw, logistic.Quantile(Uniform_01()));
}

// ---------------------------------------------------------------------------
// Densities and distribution functions

// Phi(z) = erfc(-z / sqrt 2) / 2 from python's math.erfc (double precision).
// The computed value carries the ln Gamma(1/2) error (4e-12 relative on the
// smaller tail) and the 5e-12 stopping rule: tolerance 1e-11 absolute.
TEST(NormalDistribution, DistributionFunctionAgainstErfc) {
  const tNormal_distribution normal(0, 1);
  struct Case {
    long double z, phi;
  };
  const Case cases[] = {
      {-8, 6.22096057427181937310e-16L},          {-6, 9.86587645037701192446e-10L},
      {-4, 3.16712418331199649845e-05L},          {-3, 1.34989803163009566139e-03L},
      {-2.5L, 6.20966532577613920113e-03L},       {-1.959963984540054L, 2.5000000000000019e-02L},
      {-1.7320508L, 4.16322590055268337839e-02L}, {-1, 1.58655253931457074223e-01L},
      {-0.5L, 3.08537538725986881794e-01L},       {-0.001L, 4.99601057786088931234e-01L},
      {0.25L, 5.98706325682923701237e-01L},       {1, 8.41344746068542925777e-01L},
      {1.7320508L, 9.58367740994473193972e-01L},  {2, 9.77249868051820791415e-01L},
      {3, 9.98650101968369896532e-01L},           {5, 9.99999713348428076465e-01L},
      {7, 9.99999999998720134897e-01L},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(normal.Distribution_function(c.z), c.phi, 1e-11L) << static_cast<double>(c.z);
  }
  // Location and scale: N(3, 4) at 3 + 2 z.
  const tNormal_distribution shifted(3, 4);
  EXPECT_NEAR(shifted.Distribution_function(5), 8.41344746068542925777e-01L, 1e-11L);
}

TEST(NormalDistribution, HalfAtZeroAndSymmetric) {
  const tNormal_distribution normal(0, 1);
  EXPECT_EQ(normal.Distribution_function(0), 0.5L);
  for (const long double x : {1e-3L, 0.3L, 1.0L, 1.7320508L, 1.75L, 2.5L, 4.0L, 9.0L}) {
    // 1 - (0.5 + 0.5 P) is rounded once more than 0.5 - 0.5 P.
    EXPECT_NEAR(normal.Distribution_function(-x), 1 - normal.Distribution_function(x), 1e-19L)
        << static_cast<double>(x);
  }
}

// Where z^2 / 2 exceeds 2147483647 the incomplete gamma function would refuse
// its argument; the distribution function is then exactly 0 or 1.
TEST(NormalDistribution, FarTailsNeedNoIncompleteGamma) {
  const tNormal_distribution normal(0, 1);
  EXPECT_EQ(normal.Distribution_function(1e5L), 1);
  EXPECT_EQ(normal.Distribution_function(-1e5L), 0);
  EXPECT_EQ(normal.Distribution_function(2147483647.0L), 1);
  EXPECT_EQ(normal.Distribution_function(-3e9L), 0);  // below the support
  EXPECT_EQ(normal.Distribution_function(3e9L), 1);   // above the support
  EXPECT_EQ(normal.Interval_probability(-1e10L, 1e10L), 1);
  EXPECT_TRUE(std::isnan(normal.Distribution_function(kNaN)));
  const tGamma_distribution gamma(2, 4);
  EXPECT_EQ(gamma.Distribution_function(1e9L), 1);
}

TEST(Distributions, Densities) {
  // References from python's math module (double precision). The gamma
  // densities carry the ln Gamma error (up to ~1e-10 absolute in the exponent):
  // tolerance 1e-10 relative.
  EXPECT_NEAR(tNormal_distribution(0.5L, 4).Density(1.5L), 0.17603266338214976L, 1e-16L);
  EXPECT_NEAR(tChi_square_distribution(3).Density(2), 0.20755374871029736L, 2.1e-11L);
  EXPECT_NEAR(tGamma_distribution(2.5L, 3).Density(0.7L), 0.8409992046653685L, 8.5e-11L);
  EXPECT_EQ(tGamma_distribution(2.5L, 3).Density(-1), 0);
  EXPECT_EQ(tUniform_distribution(2, 6).Density(3), 0.25L);
  EXPECT_EQ(tUniform_distribution(2, 6).Density(6.5L), 0);
  // At x = 0: beta for shape 1, else 0.
  EXPECT_EQ(tGamma_distribution(1, 2.5L).Density(0), 2.5L);
  EXPECT_EQ(tGamma_distribution(2, 2.5L).Density(0), 0);
  EXPECT_EQ(tGamma_distribution(0.4L, 2.5L).Density(0), 0);
}

TEST(GammaDistribution, ShapeBelowOneExcludesZero) {
  const tGamma_distribution gamma(0.4L, 1);
  EXPECT_FALSE(gamma.In_support(0));
  EXPECT_TRUE(gamma.In_support(1e-300L));
  EXPECT_EQ(gamma.Distribution_function(0), 0);
  EXPECT_EQ(gamma.Density(0), 0);
  EXPECT_TRUE(tGamma_distribution(1, 1).In_support(0));
}

TEST(GammaDistribution, DistributionFunction) {
  // chi-square(3) at its 95% point 7.814727903251178 (printed tables);
  // P(3/2, 3.907363951625589) = 0.94999999999999995618 by the decimal series.
  EXPECT_NEAR(tChi_square_distribution(3).Distribution_function(7.814727903251178L),
              0.94999999999999995618L, 1e-11L);
  EXPECT_EQ(tChi_square_distribution(3).Distribution_function(-1), 0);
  EXPECT_EQ(tChi_square_distribution(3).Distribution_function(3e9L), 1);
  // Shape 600, rate 2: the Wilson-Hilferty branch. References: the same
  // formula in python double precision (tolerance 1e-11), and the exact
  // P(600, 2x) by the decimal series, which it approximates to about 1e-5.
  const tGamma_distribution gamma(600, 2);
  EXPECT_NEAR(gamma.Distribution_function(310), 0.7942329765768403L, 1e-11L);
  EXPECT_NEAR(gamma.Distribution_function(290), 0.20835785495325893L, 1e-11L);
  EXPECT_NEAR(gamma.Distribution_function(310), 0.79422477411075195L, 2e-5L);
  EXPECT_NEAR(gamma.Distribution_function(290), 0.20836645253936765L, 2e-5L);
  EXPECT_EQ(gamma.Distribution_function(0), 0);
}

TEST(Distributions, IntervalProbability) {
  const tNormal_distribution normal(0, 1);
  // erf(1.96 / sqrt 2), python math.
  EXPECT_NEAR(normal.Interval_probability(-1.96L, 1.96L), 0.9500042097035591L, 2e-11L);
  EXPECT_EQ(normal.Interval_probability(1, -1), 0);  // clamped at 0
  EXPECT_TRUE(std::isnan(normal.Interval_probability(kNaN, 1)));
  const tUniform_distribution uniform(2, 6);
  EXPECT_EQ(uniform.Interval_probability(3, 4), 0.25L);
  EXPECT_EQ(uniform.Interval_probability(-10, 3), 0.25L);
  EXPECT_EQ(uniform.Interval_probability(5, 100), 0.25L);
  EXPECT_EQ(uniform.Distribution_function(1), 0);
  EXPECT_EQ(uniform.Distribution_function(6), 1);
  EXPECT_EQ(uniform.Distribution_function(5), 0.75L);
  const tChi_square_distribution chi(2);  // exponential with mean 2
  EXPECT_NEAR(chi.Interval_probability(2, 4), expl(-1) - expl(-2), 1e-11L);
}

// ---------------------------------------------------------------------------
// Quantiles

TEST(Quantile, EndsOfTheSupport) {
  const tNormal_distribution normal(0, 1);
  const tChi_square_distribution chi(4);
  const tUniform_distribution uniform(2, 5);
  EXPECT_EQ(normal.Quantile(0), -2147483647.0L);
  EXPECT_EQ(normal.Quantile(1), 2147483647.0L);
  EXPECT_EQ(normal.Quantile(4e-12L), -2147483647.0L);  // within 5e-12 of 0
  EXPECT_EQ(chi.Quantile(0), 0);
  EXPECT_EQ(chi.Quantile(1), 2147483647.0L);
  EXPECT_EQ(uniform.Quantile(0), 2);
  EXPECT_EQ(uniform.Quantile(1 - 1e-12L), 5);
}

// The Newton iteration stops when x moves by less than 5e-12; the
// distribution functions are good to about 1e-11, which moves x by at most
// 1e-11 / density: tolerances 1e-9.
TEST(Quantile, InvertsTheDistributionFunction) {
  const tNormal_distribution normal(0, 1);
  EXPECT_NEAR(normal.Quantile(0.975L), 1.959963984540054L, 1e-9L);  // printed tables
  EXPECT_NEAR(normal.Quantile(0.025L), -1.959963984540054L, 1e-9L);
  EXPECT_NEAR(normal.Quantile(0.5L), 0, 1e-9L);
  EXPECT_NEAR(tNormal_distribution(10, 9).Quantile(0.8413447460685429L), 13, 1e-9L);
  EXPECT_NEAR(tChi_square_distribution(3).Quantile(0.95L), 7.814727903251178L, 1e-9L);
  EXPECT_NEAR(tUniform_distribution(2, 5).Quantile(0.3L), 2.9L, 1e-12L);
  // The stopping rule is absolute, so a quantile as small as the 0.1% point of
  // gamma(0.3, 2), about 5e-11, is only known to about 10%: p from 5% up there.
  const tGamma_distribution gamma(0.3L, 2);
  for (const long double p : {0.05L, 0.2L, 0.5L, 0.77L, 0.999L}) {
    EXPECT_NEAR(gamma.Distribution_function(gamma.Quantile(p)), p, 1e-10L)
        << static_cast<double>(p);
  }
  const tChi_square_distribution chi(30);
  for (const long double p : {0.001L, 0.2L, 0.5L, 0.77L, 0.999L}) {
    EXPECT_NEAR(chi.Distribution_function(chi.Quantile(p)), p, 1e-10L) << static_cast<double>(p);
  }
}

TEST(Quantile, BadProbabilitiesRaise) {
  const tNormal_distribution normal(0, 1);
  ExpectArgumentError([&] { normal.Quantile(-0.1L); }, 1302, "-0.1");
  ExpectArgumentError([&] { normal.Quantile(1.5L); }, 1315, "1.5");
  ExpectArgumentError([&] { normal.Quantile(kNaN); }, 1302, "NaN");
}

// Bracketing cases that could loop for ever or stop at the wrong point.
TEST(Quantile, BracketingEndsInAwkwardCases) {
  // Mean near the support end with a wide spread: the distribution function at
  // the support end is about 0.508, below p, so the bracket cannot grow past
  // it; the quantile is clipped to the support end.
  EXPECT_EQ(tNormal_distribution(2147483000.0L, 1e9L).Quantile(0.9L), 2147483647.0L);
  EXPECT_EQ(tNormal_distribution(-2147483000.0L, 1e9L).Quantile(0.1L), -2147483647.0L);
  // A spread lost in the rounding of the centre: the bracket cannot widen.
  EXPECT_NEAR(tNormal_distribution(1e9L, 1e-30L).Quantile(0.9L), 1e9L, 1e-6L);
  // Centre +- step rounded, so hi - lo differs from 2 step by 2e-11: the
  // downward search is still made. Reference: mean - 0.1 * 3.090232306167813
  // (the normal 0.1% point).
  const long double mean = 1e9L + 0.1L;
  EXPECT_NEAR(tNormal_distribution(mean, 0.01L).Quantile(0.001L), mean - 0.3090232306167813L,
              1e-8L);
}

// ---------------------------------------------------------------------------
// Random variates

class GeneratorTest : public testing::Test {
 protected:
  void SetUp() override {
    saved1_ = Seed1;
    saved2_ = Seed2;
    Reseed();
  }
  void TearDown() override {
    Seed1 = saved1_;
    Seed2 = saved2_;
  }
  static void Reseed() {
    Seed1 = kEngineSeed1;
    Seed2 = kEngineSeed2;
  }

 private:
  std::int32_t saved1_ = 0, saved2_ = 0;
};

// How many values of a and b differ in their 80 bits (not the padding).
int DifferingValues(const std::vector<long double>& a, const std::vector<long double>& b) {
  EXPECT_EQ(a.size(), b.size());
  int differing = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    differing += std::memcmp(&a[i], &b[i], 10) != 0;
  }
  return differing;
}

// The first draws from the engine seeds, from a python model of the same
// algorithms in double precision (gen.py: the recurrence in big integers, the
// generators with math.log/exp/sqrt). The seeds after the draws pin down how
// many uniforms each generator took. Double rounding differs from extended
// rounding by ~1e-15 relative: tolerance 1e-12 relative.
TEST_F(GeneratorTest, FirstDrawsFromTheEngineSeeds) {
  struct Case {
    const char* what;
    std::function<std::unique_ptr<tDistribution>()> make;
    long double draws[5];
    std::int32_t seed1, seed2;
  };
  const std::vector<Case> cases = {
      {"standard normal",
       [] { return std::make_unique<tNormal_distribution>(0, 1); },
       {-0.52477427776402719L, 1.9818136765728107L, -0.78163955993681478L, 0.52093004064012183L,
        1.6617732460672487L},
       1760897225,
       20296977},
      {"chi-square 1 (shape 1/2)",
       [] { return std::make_unique<tChi_square_distribution>(1); },
       {1.4597162892797322L, 0.076191412254396351L, 1.384852379094073L, 0.0041891387394844019L,
        0.056575920572107745L},
       960095820,
       1335897810},
      {"chi-square 2 (shape 1)",
       [] { return std::make_unique<tChi_square_distribution>(2); },
       {0.65260033313050025L, 2.5511635915613331L, 3.6053489502707627L, 0.74083294872986782L,
        0.70524887908953626L},
       1833375404,
       324035669},
      {"chi-square 3.5",
       [] { return std::make_unique<tChi_square_distribution>(3.5L); },
       {1.5739272263648076L, 10.235577762946825L, 1.098425950225717L, 7.2556858551085401L,
        1.3402383202711525L},
       808897721,
       330300120},
      {"chi-square 23",
       [] { return std::make_unique<tChi_square_distribution>(23); },
       {18.682737087210533L, 38.87806216348082L, 17.030436587390657L, 34.402242857561923L,
        18.308932350481683L},
       808897721,
       330300120},
      {"gamma shape 0.3 rate 2",
       [] { return std::make_unique<tGamma_distribution>(0.3L, 2); },
       {0.23886535020515046L, 0.0017413354340198425L, 0.21879876548126626L, 1.3843533991817442e-05L,
        0.0010602910943386448L},
       960095820,
       1335897810},
      {"uniform (-3, 5)",
       [] { return std::make_unique<tUniform_distribution>(-3, 5); },
       {2.7727084652950653L, -0.76585245003423985L, -1.6811408711614031L, 2.5235737391327486L,
        2.6227288251340442L},
       1833375404,
       324035669},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reseed();
    auto generator = c.make();
    for (const long double expected : c.draws) {
      EXPECT_NEAR(generator->Random_Variate(), expected, 1e-12L * fabsl(expected));
    }
    EXPECT_EQ(Seed1, c.seed1);
    EXPECT_EQ(Seed2, c.seed2);
  }
}

TEST_F(GeneratorTest, ReseedingRepeatsEveryGeneratorBitForBit) {
  tNormal_distribution normal(0, 1);
  tChi_square_distribution chi1(1), chi23(23), chi2(2);
  tUniform_distribution uniform(0, 1);
  const auto run = [&] {
    Reseed();
    std::vector<long double> draws;
    for (int i = 0; i < 2000; ++i) {
      draws.push_back(normal.Random_Variate());
      draws.push_back(chi1.Random_Variate());
      draws.push_back(chi23.Random_Variate());
      draws.push_back(chi2.Random_Variate());
      draws.push_back(uniform.Random_Variate());
    }
    return draws;
  };
  const std::vector<long double> first = run();
  const std::vector<long double> second = run();
  EXPECT_EQ(first, second);
}

// Sample mean and variance of 400,000 draws against the distribution's own.
// Standard errors: sigma / sqrt(n) for the mean; sqrt((mu4 - sigma^4) / n)
// for the variance, with mu4 - sigma^4 = 2 sigma^4 (normal),
// (2 + 6 / alpha) sigma^4 (gamma, excess kurtosis 6 / alpha) and
// (b - a)^4 / 180 (uniform). Bound: 5 standard errors.
TEST_F(GeneratorTest, SampleMomentsMatch) {
  struct Case {
    const char* what;
    std::function<std::unique_ptr<tDistribution>()> make;
    long double mean, variance, fourth_minus_var2;
  };
  const std::vector<Case> cases = {
      {"normal (0, 1)", [] { return std::make_unique<tNormal_distribution>(0, 1); }, 0, 1, 2},
      {"normal (3, 4)", [] { return std::make_unique<tNormal_distribution>(3, 4); }, 3, 4, 32},
      {"chi-square 1", [] { return std::make_unique<tChi_square_distribution>(1); }, 1, 2,
       (2 + 6 / 0.5L) * 4},
      {"chi-square 2", [] { return std::make_unique<tChi_square_distribution>(2); }, 2, 4,
       (2 + 6 / 1.0L) * 16},
      {"chi-square 3.5", [] { return std::make_unique<tChi_square_distribution>(3.5L); }, 3.5L, 7,
       (2 + 6 / 1.75L) * 49},
      {"chi-square 30", [] { return std::make_unique<tChi_square_distribution>(30); }, 30, 60,
       (2 + 6 / 15.0L) * 3600},
      {"uniform (-3, 5)", [] { return std::make_unique<tUniform_distribution>(-3, 5); }, 1,
       64.0L / 12, 4096.0L / 180},
  };
  constexpr int kDraws = 400'000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reseed();
    auto generator = c.make();
    long double mean = 0, m2 = 0;  // Welford's running moments
    for (int i = 1; i <= kDraws; ++i) {
      const long double x = generator->Random_Variate();
      const long double delta = x - mean;
      mean += delta / i;
      m2 += delta * (x - mean);
    }
    const long double variance = m2 / (kDraws - 1);
    EXPECT_NEAR(mean, c.mean, 5 * sqrtl(c.variance / kDraws));
    EXPECT_NEAR(variance, c.variance, 5 * sqrtl(c.fourth_minus_var2 / kDraws));
  }
}

// Shape: 10,000 fixed-seed draws binned into 80 equiprobable bins (bin
// floor(80 F(x)), with F the class's distribution function, itself checked
// above against independent values) and Pearson's statistic compared with the
// chi-square(79) upper 1e-6 point, 153.7065264229 (python: bisection on the
// decimal incomplete gamma series).
TEST_F(GeneratorTest, GoodnessOfFit) {
  struct Case {
    const char* what;
    std::function<std::unique_ptr<tDistribution>()> make;
  };
  const std::vector<Case> cases = {
      {"normal (0, 1)", [] { return std::make_unique<tNormal_distribution>(0, 1); }},
      {"normal (3, 4)", [] { return std::make_unique<tNormal_distribution>(3, 4); }},
      {"chi-square 1", [] { return std::make_unique<tChi_square_distribution>(1); }},
      {"chi-square 2", [] { return std::make_unique<tChi_square_distribution>(2); }},
      {"chi-square 3.5", [] { return std::make_unique<tChi_square_distribution>(3.5L); }},
      {"chi-square 30", [] { return std::make_unique<tChi_square_distribution>(30); }},
      {"gamma 0.3 rate 2", [] { return std::make_unique<tGamma_distribution>(0.3L, 2); }},
      {"gamma 5 rate 3", [] { return std::make_unique<tGamma_distribution>(5, 3); }},
      {"uniform (-3, 5)", [] { return std::make_unique<tUniform_distribution>(-3, 5); }},
  };
  constexpr int kDraws = 10'000;
  constexpr int kBins = 80;
  constexpr long double kCritical = 153.7065264229L;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reseed();
    auto generator = c.make();
    std::vector<int> counts(kBins, 0);
    for (int i = 0; i < kDraws; ++i) {
      const long double f = generator->Distribution_function(generator->Random_Variate());
      counts[std::min(kBins - 1, static_cast<int>(f * kBins))] += 1;
    }
    const long double expected = static_cast<long double>(kDraws) / kBins;
    long double statistic = 0;
    for (const int n : counts) statistic += (n - expected) * (n - expected) / expected;
    EXPECT_LT(statistic, kCritical);
  }
}

// The standard normal returns 0 + x in place of mean + x sd; with mean -0 the
// general formula runs, and the variates must be the same bits.
TEST_F(GeneratorTest, NormalStandardShortcutEqualsTheGeneralFormula) {
  tNormal_distribution standard(0, 1), general(-0.0L, 1);
  std::vector<long double> a, b;
  for (int i = 0; i < 20000; ++i) a.push_back(standard.Random_Variate());
  Reseed();
  for (int i = 0; i < 20000; ++i) b.push_back(general.Random_Variate());
  EXPECT_EQ(DifferingValues(a, b), 0);
}

// A uniform as the source makes it (z 4.656613e-10 for z in 1 .. 2147483562)
// for even i, log-uniform down to the smallest the source gives for odd i.
long double TestUniform(std::mt19937_64& generator, int i) {
  const auto z = static_cast<std::int32_t>(1 + generator() % 2147483562u);
  return i % 2 == 0 ? z * 4.656613e-10L
                    : expl(-21.5L * static_cast<long double>(generator() >> 11) * 0x1p-53L);
}

// Values at a boundary of a comparison, one ulp and relative steps either side.
std::vector<long double> AroundBoundary(long double b) {
  const long double inf = std::numeric_limits<long double>::infinity();
  return {b,
          std::nextafter(b, inf),
          std::nextafter(b, -inf),
          b * (1 + 1e-16L),
          b * (1 - 1e-16L),
          b * (1 + 1e-14L),
          b * (1 - 1e-14L),
          b * (1 + 1e-4L),
          b * (1 - 1e-4L)};
}

// The normal generator's last test decides by bounds where it can; its outcome
// must be that of comparing with -4 logl(u) (libm's logarithm the reference)
// for every u the uniform source can give, right at the boundary included.
TEST(NormalLogTest, OutcomeOfTheLogarithmComparison) {
  std::mt19937_64 generator(20261210);
  int mismatches = 0;
  auto check = [&](long double xx, long double u) {
    const bool expected = xx <= -4 * logl(u);
    if (detail::NormalLogTest(xx, u) != expected && ++mismatches <= 5) {
      ADD_FAILURE() << "u " << static_cast<double>(u) << ", xx " << static_cast<double>(xx);
    }
  };
  for (int i = 0; i < 300'000; ++i) {
    const long double u = TestUniform(generator, i);
    for (const long double xx : AroundBoundary(-4 * logl(u))) check(xx, u);
    check(2 * u * u + 6 - 8 * u, u);
    check(2 / u - 2 * u, u);
    check(0, u);
  }
  EXPECT_EQ(mismatches, 0);
}

// A million standard normal variates equal those of the plain algorithm (the
// ratio of uniforms with its two quadratic pre-tests and the logarithm).
TEST_F(GeneratorTest, NormalVariatesEqualThePlainAlgorithm) {
  const long double c = sqrtl(2 / 2.718281828459045235360287471352662498L);
  std::vector<long double> plain;
  while (plain.size() < 1'000'000) {
    const long double u = Uniform_01(), v = Uniform_01();
    const long double x = (2 * v - 1) * c / u, xx = x * x;
    if (xx <= 2 * u * u + 6 - 8 * u || (xx < 2 / u - 2 * u && xx <= -4 * logl(u))) {
      plain.push_back(0.0L + x);
    }
  }
  Reseed();
  tNormal_distribution normal(0, 1);
  std::vector<long double> drawn;
  for (std::size_t i = 0; i < plain.size(); ++i) drawn.push_back(normal.Random_Variate());
  EXPECT_EQ(DifferingValues(drawn, plain), 0);
}

// Variates drawn several at a time are those drawn one at a time: the same
// bits, the same uniforms taken. Batches of assorted sizes with single uniforms
// between them start at every offset in the block of steps computed ahead, odd
// ones included (a pair straddling two blocks); seeds out of the generator's
// range make the stream go value by value.
TEST_F(GeneratorTest, NormalVariatesDrawnTogetherEqualOneAtATime) {
  struct Case {
    const char* what;
    long double mean, variance;
    std::int32_t seed1, seed2;
  };
  for (const Case& c : {Case{"standard", 0, 1, kEngineSeed1, kEngineSeed2},
                        Case{"mean 2.5, variance 4", 2.5L, 4, kEngineSeed1, kEngineSeed2},
                        Case{"seed out of range", 0, 1, 0, kEngineSeed2}}) {
    SCOPED_TRACE(c.what);
    const tNormal_distribution normal(c.mean, c.variance);
    const int sizes[] = {12, 1, 7, 12, 33, 2, 12, 4, 16, 17, 3};
    auto draw = [&](bool batched) {
      std::vector<long double> values;
      {
        UniformSource source(c.seed1, c.seed2);
        for (int round = 0; round < 200; ++round) {
          for (std::size_t s = 0; s < std::size(sizes); ++s) {
            const int n = sizes[s];
            std::vector<long double> batch(static_cast<std::size_t>(n));
            if (batched) {
              normal.Random_Variates(source, batch.data(), n);
            } else {
              for (long double& x : batch) x = normal.Random_Variate(source);
            }
            values.insert(values.end(), batch.begin(), batch.end());
            if ((round + static_cast<int>(s)) % 3 == 0) values.push_back(source());
          }
        }
        values.push_back(source.Seed1());
        values.push_back(source.Seed2());
      }
      return values;
    };
    EXPECT_EQ(DifferingValues(draw(false), draw(true)), 0);
  }
}

// The gamma generator's last test must have the outcome of the comparison with
// both logarithms taken by libm, for u as the uniform source gives it and X on
// either side of both roots of 2 ln u + X = (alpha - 1) ln(1 + X / (alpha - 1))
// (one in (-(alpha - 1), 0), one above 0), right at them included.
TEST(GammaLogTest, OutcomeOfTheLogarithmComparison) {
  std::mt19937_64 generator(20261210);
  int mismatches = 0;
  for (const long double alpha : {1.5L, 2.5L, 11.0L, 11.5L, 250.0L}) {
    const long double m = alpha - 1;
    auto rejects = [m](long double u, long double X) {
      return 2 * logl(u) + X > m * logl(X / m + 1);
    };
    auto check = [&](long double u, long double X) {
      if (!(X / m + 1 > 0)) return;
      if (detail::GammaLogTest(u, X, m) != rejects(u, X) && ++mismatches <= 5) {
        ADD_FAILURE() << "alpha " << static_cast<double>(alpha) << ", u " << static_cast<double>(u)
                      << ", X " << static_cast<double>(X);
      }
    };
    // The root of the test's two sides between lo and hi, where they change order.
    auto root = [&](long double u, long double lo, long double hi) {
      const bool atLo = rejects(u, lo);
      for (int i = 0; i < 200; ++i) {
        const long double mid = (lo + hi) / 2;
        (rejects(u, mid) == atLo ? lo : hi) = mid;
      }
      return lo;
    };
    for (int i = 0; i < 5'000; ++i) {
      const long double u = TestUniform(generator, i);
      for (const long double boundary : {root(u, -m, 0), root(u, 0, 1e6L)}) {
        for (const long double X : AroundBoundary(boundary)) check(u, X);
      }
      check(u, -m * static_cast<long double>(generator() >> 11) * 0x1p-53L);
      check(u, 50 * m * static_cast<long double>(generator() >> 11) * 0x1p-53L);
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Gamma variates equal those of the plain algorithm (ratio of uniforms, its
// quadratic pre-tests and both logarithms), its constants formed with libm.
TEST_F(GeneratorTest, GammaVariatesEqualThePlainAlgorithm) {
  for (const long double alpha : {1.5L, 11.5L}) {
    SCOPED_TRACE(static_cast<double>(alpha));
    const long double m = alpha - 1, s = sqrtl(2 * alpha - 1);
    const long double c1 = (1 - s) * sqrtl(expl(m * (logl(alpha - s) - logl(m)) + s - 1));
    const long double c2 = (1 + s) * sqrtl(expl(m * (logl(alpha + s) - logl(m)) - s - 1));
    Reseed();
    std::vector<long double> plain;
    while (plain.size() < 300'000) {
      const long double u = Uniform_01(), v = Uniform_01();
      const long double X = (c1 + v * (c2 - c1)) / u, Y = X + alpha - 1, XX = X * X;
      const long double q = (-2 * u * u + 8 * u - 6);
      if (X >= 0 ? -XX * (X + Y) >= q * (Y * Y) : -XX >= q * Y) {
        plain.push_back(Y / 1);
        continue;
      }
      if (X >= 0 ? -u * XX <= (2 * u * u - 2) * Y : -u * XX <= (2 * u * u - 2) * m) continue;
      if (Y <= 0 || 2 * logl(u) + X > m * logl(X / m + 1)) continue;
      plain.push_back(Y / 1);
    }
    Reseed();
    tGamma_distribution gamma(alpha, 1);
    std::vector<long double> drawn;
    for (std::size_t i = 0; i < plain.size(); ++i) drawn.push_back(gamma.Random_Variate());
    EXPECT_EQ(DifferingValues(drawn, plain), 0);
  }
}

}  // namespace
}  // namespace quorvane
