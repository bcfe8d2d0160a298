#include "distrib/numeric_helpers.h"
#include "expect_argument_error.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace quorvane {
namespace {

constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();
constexpr long double kInf = std::numeric_limits<long double>::infinity();

TEST(SameValue, AbsoluteToleranceOf5e12) {
  struct Case {
    long double a, b;
    bool same;
  };
  const Case cases[] = {
      {1, 1 + 1e-12L, true},     {1e-11L, 0, false},  {0, 4.9e-12L, true},
      {0, 5e-12L, false},        {-3, -3, true},      {1e6L, 1e6L + 1e-6L, false},
      {1e-300L, -1e-300L, true}, {kNaN, kNaN, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Same_Value(c.a, c.b), c.same)
        << static_cast<double>(c.a) << " vs " << static_cast<double>(c.b);
  }
}

TEST(FormatNumber, TwelveDecimalsTrailingZerosDropped) {
  struct Case {
    long double x;
    const char* text;
  };
  const Case cases[] = {
      {0.5L, "0.5"},
      {2, "2"},
      {1e-13L, "0"},
      {-1e-13L, "0"},  // rounds to zero: never "-0"
      {-0.0L, "0"},
      {-1.25L, "-1.25"},
      {0.1L, "0.1"},
      {1.0L / 3.0L, "0.333333333333"},
      {2.0L / 3.0L, "0.666666666667"},
      {1e-12L, "0.000000000001"},
      {0.9999999999996L, "1"},
      {-1.5L, "-1.5"},
      {123456.7890123456789L, "123456.789012345679"},
      {2147483647.0L, "2147483647"},
      {-2147483647.0L, "-2147483647"},
      {3e9L, "3000000000"},
      {kNaN, "NaN"},
      {kInf, "Infinity"},
      {-kInf, "-Infinity"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Format_Number(c.x), c.text) << static_cast<double>(c.x);
  }
}

TEST(RaiseIf, RaisesWithTheTextAloneAndCheckCompareAppendsTheValue) {
  EXPECT_TRUE(Raise_If(false, 1363));
  ExpectArgumentError([] { Raise_If(true, 1363); }, 1363, "");
  ExpectArgumentError([] { Raise_If(true, 1361); }, 1361, "");
  ExpectArgumentError([] { Check_Compare(1305, -2.5L, 0); }, 1305, "-2.5");
}

TEST(CheckCompare, EachIdentifierSelectsItsComparison) {
  struct Case {
    int identifier;
    long double value, bound;
    bool fails;
  };
  const Case cases[] = {
      // value <= bound fails
      {1301, 0, 0, true},
      {1301, 1e-30L, 0, false},
      {1305, -1, 0, true},
      {1309, 2, 1, false},
      // value < bound fails
      {1302, 0, 0, false},
      {1302, -1e-30L, 0, true},
      {1306, -1, 0, true},
      {1310, 5, 5, false},
      // value >= bound fails
      {1303, 5, 5, true},
      {1303, 4.999L, 5, false},
      {1307, 6, 5, true},
      {1311, 4, 5, false},
      // value > bound fails
      {1315, 1, 1, false},
      {1315, 1.0000001L, 1, true},
      // any other identifier never fails
      {1304, -1e9L, 0, false},
      {9999, 5, 5, false},
      {1361, 3e9L, 0, false},
      // NaN is never admissible for the comparing identifiers
      {1301, kNaN, 0, true},
      {1302, kNaN, 0, true},
      {1303, kNaN, 5, true},
      {1315, kNaN, 1, true},
      {9999, kNaN, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.identifier << " value " << static_cast<double>(c.value)
                                    << " bound " << static_cast<double>(c.bound));
    if (c.fails) {
      ExpectArgumentError([&] { Check_Compare(c.identifier, c.value, c.bound); }, c.identifier,
                          Format_Number(c.value));
    } else {
      EXPECT_TRUE(Check_Compare(c.identifier, c.value, c.bound));
    }
  }
}

TEST(IntPower, ExactCases) {
  struct Case {
    long double base;
    int exponent;
    long double expected;
  };
  const Case cases[] = {
      {2, -3, 0.125L},
      {3, 5, 243},
      {-2, 3, -8},
      {-2, 4, 16},
      {1.5L, 2, 2.25L},
      {10, 1, 10},
      {2, 63, 9223372036854775808.0L},
      {2, -64, 1.0L / 18446744073709551616.0L},
      {-1, INT_MAX, -1},
      {-1, INT_MIN, 1},  // |INT_MIN| does not fit an int
      {2, INT_MIN, 0},   // underflows through 1 / inf
      {0.5L, 7, 0.0078125L},
      {0, 3, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Int_Power(c.base, c.exponent), c.expected)
        << static_cast<double>(c.base) << "^" << c.exponent;
  }
  EXPECT_EQ(Int_Power(0.5L, INT_MIN), kInf);
}

TEST(IntPower, ZeroExponentGivesOneForEveryBase) {
  for (const long double x : {0.0L, -5.0L, 1e300L, kInf, kNaN}) {
    EXPECT_EQ(Int_Power(x, 0), 1.0L);
  }
}

TEST(RealPower, WholeAndGeneralPaths) {
  EXPECT_EQ(Real_Power(0, 2), 0);
  EXPECT_EQ(Real_Power(0, 0), 1);
  EXPECT_EQ(Real_Power(0, 0.5L), 0);
  EXPECT_EQ(Real_Power(-8, 3), -512);  // whole exponent: a negative base is fine
  EXPECT_EQ(Real_Power(2, -2), 0.25L);
  EXPECT_EQ(Real_Power(kNaN, 0), 1);
  EXPECT_NEAR(Real_Power(4, 0.5L), 2, 1e-15L);
  EXPECT_NEAR(Real_Power(8, 1.0L / 3.0L), 2, 1e-15L);
  // exp(1.5 ln 10) = 10^1.5 = 31.6227766016837933199889354 (python decimal, 30 digits).
  EXPECT_NEAR(Real_Power(10, 1.5L), 31.6227766016837933199889354L, 1e-15L);
  // Whole exponents beyond 2147483647 take the exp/ln path.
  EXPECT_EQ(Real_Power(1, 3e9L), 1);
  EXPECT_EQ(Real_Power(2, 3e9L), kInf);
  EXPECT_TRUE(std::isnan(Real_Power(-8, 0.5L)));
  EXPECT_TRUE(std::isnan(Real_Power(2, kNaN)));
}

// ln Gamma against python's math.lgamma (double precision, about 1e-16
// relative). The six-term series is only good to about 1e-10 absolute for
// small and moderate x (its worst here is 1.0e-10 near x = 20), so the bound is
// 2e-10 absolute or 1e-14 relative, whichever is larger.
TEST(LogGamma, AgainstPythonLgamma) {
  struct Case {
    long double x, lgamma;
  };
  const Case cases[] = {
      {1, 0},
      {2, 0},
      {0.5L, 0.5723649429247001L},  // ln sqrt(pi)
      {1e-6L, 13.81550998074943L},
      {1e-3L, 6.907178885383854L},
      {0.1L, 2.2527126517342055L},
      {0.25L, 1.2880225246980772L},
      {0.75L, 0.203280951431295L},
      {1.5L, -0.12078223763524543L},
      {2.5L, 0.2846828704729196L},
      {3, 0.693147180559945L},
      {5, 3.178053830347945L},
      {7.5L, 7.534364236758734L},
      {11.5L, 16.292000476567242L},
      {20, 39.339884187199495L},
      {50, 144.5657439463449L},
      {100, 359.1342053695754L},
      {500, 2605.115850361734L},
      {1e4L, 82099.71749644238L},
      {1e6L, 12815504.569147611L},
      {1e9L, 19723265827.503716L},
  };
  for (const Case& c : cases) {
    const long double tolerance = std::max(2e-10L, 1e-14L * fabsl(c.lgamma));
    EXPECT_NEAR(Log_Gamma(c.x), c.lgamma, tolerance) << static_cast<double>(c.x);
  }
}

// P(a, x) computed independently by the power series
// x^a e^-x sum_k x^k / Gamma(a + k + 1) in 60-digit python decimal arithmetic
// (Gamma of half-integers from factorials and a Machin pi). Both rows of each
// pair straddle the switch x = a + 1. The routine's error comes from ln Gamma
// (up to ~1e-10 absolute, which becomes a relative error of the computed P on
// the series side and of Q = 1 - P on the continued-fraction side) and from
// the 5e-12 stopping rule, so the bound is 2e-10 min(P, Q) + 1e-17.
TEST(RegIncGammaP, AgainstDecimalSeries) {
  struct Case {
    long double a, x, p;
  };
  const Case cases[] = {
      {0.5L, 0.001L, 3.5670591729679885046086646e-2L},
      {0.5L, 0.5L, 6.8268949213708589717046509e-1L},
      {0.5L, 1.4999L, 9.1672520396251583946930414e-1L},
      {0.5L, 1.5L, 9.1673548333644959814508068e-1L},
      {0.5L, 2L, 9.5449973610364158559943473e-1L},
      {0.5L, 4.5L, 9.9730020393673981094669637e-1L},
      {0.5L, 12.5L, 9.9999942669685624161217665e-1L},
      {0.5L, 50L, 9.9999999999999999999998476e-1L},
      {1.0L, 0.1L, 9.5162581964040426835750941e-2L},
      {1.0L, 1L, 6.3212055882855767840447623e-1L},
      {1.0L, 2L, 8.6466471676338730810600051e-1L},
      {1.0L, 5L, 9.9326205300091453290336395e-1L},
      {1.0L, 30L, 9.9999999999990642377031160e-1L},
      {1.5L, 0.2L, 5.9757505160639258623597639e-2L},
      {1.5L, 2.4999L, 8.2818821013489196716561834e-1L},
      {1.5L, 2.5L, 8.2820285570326686493639335e-1L},
      {1.5L, 6L, 9.9261683949464023025696789e-1L},
      {2.5L, 1L, 1.5085496391539036377410689e-1L},
      {2.5L, 3.4999L, 7.7934481738476145274030945e-1L},
      {2.5L, 3.5L, 7.7935969206328920920514825e-1L},
      {2.5L, 7L, 9.8439058389973308526533453e-1L},
      {2.5L, 20L, 9.9999985066320999496048161e-1L},
      {3.0L, 1L, 8.0301397071394196011190575e-2L},
      {3.0L, 3.9L, 7.4687489737021612215729557e-1L},
      {3.0L, 4L, 7.6189669444645565618166572e-1L},
      {3.0L, 10L, 9.9723060428448842405632892e-1L},
      {10.0L, 5L, 3.1828057306204811737186574e-2L},
      {10.0L, 10.9L, 6.4853891630857869215766910e-1L},
      {10.0L, 11L, 6.5948935753433895271889156e-1L},
      {10.0L, 15L, 9.3014633930059023230773950e-1L},
      {10.0L, 25L, 9.9977852336175121641877909e-1L},
      {11.5L, 6L, 2.9529321799454033494256893e-2L},
      {11.5L, 12.5L, 6.4971466207544564687591649e-1L},
      {11.5L, 12.6L, 6.5994359266442239751820705e-1L},
      {11.5L, 20L, 9.8463091759929061700885271e-1L},
      {11.5L, 40L, 9.9999996824829604013101431e-1L},
      {50.0L, 30L, 5.1889146254803429257504739e-4L},
      {50.0L, 50L, 5.1880831547204328189090570e-1L},
      {50.0L, 51L, 5.7439485951685964452584529e-1L},
      {50.0L, 70L, 9.9485949754149410610051107e-1L},
      {50.0L, 90L, 9.9999835050149828217516613e-1L},
      {500.0L, 501L, 5.2376167004270136147321586e-1L},
      {500.0L, 560L, 9.9530683400070523064183328e-1L},
  };
  for (const Case& c : cases) {
    const long double tolerance = 2e-10L * std::min(c.p, 1 - c.p) + 1e-17L;
    EXPECT_NEAR(Reg_Inc_Gamma_P(c.x, c.a), c.p, tolerance)
        << "a " << static_cast<double>(c.a) << " x " << static_cast<double>(c.x);
  }
}

// Closed forms from python's math module: P(1, x) = -expm1(-x) and
// P(1/2, x) = erf(sqrt(x)) (double precision). Same bound as above.
TEST(RegIncGammaP, ClosedForms) {
  struct Case {
    long double a, x, p;
  };
  const Case cases[] = {
      {1, 0.3L, 0.2591817793182821L},    {1, 1.9999L, 0.8646511825583647L},
      {1, 7.25L, 0.9992898256111574L},   {0.5L, 0.02L, 0.15851941887820603L},
      {0.5L, 1.2L, 0.8786647496415179L}, {0.5L, 3.3L, 0.9898021232237597L},
  };
  for (const Case& c : cases) {
    const long double tolerance = 2e-10L * std::min(c.p, 1 - c.p) + 1e-16L;
    EXPECT_NEAR(Reg_Inc_Gamma_P(c.x, c.a), c.p, tolerance)
        << "a " << static_cast<double>(c.a) << " x " << static_cast<double>(c.x);
  }
  for (const long double a : {0.5L, 1.0L, 7.5L, 1e6L}) EXPECT_EQ(Reg_Inc_Gamma_P(0, a), 0);
}

// The series serves x < a + 1 and the continued fraction x >= a + 1. The two
// carry the ln Gamma(10) error (-7.1e-11) on opposite tails, so the computed
// function jumps by about 7e-11 exactly where the method changes, while one
// step further on either side it moves by less than 1e-15. The series side
// overestimates P and the fraction side underestimates it.
TEST(RegIncGammaP, SwitchesToTheContinuedFractionAtAPlusOne) {
  const long double a = 10;
  const long double x = a + 1;
  const long double below = std::nextafter(x, 0.0L);
  const long double p_at = Reg_Inc_Gamma_P(x, a);
  const long double p_below = Reg_Inc_Gamma_P(below, a);
  EXPECT_GT(fabsl(p_at - p_below), 2e-11L);
  EXPECT_LT(fabsl(Reg_Inc_Gamma_P(std::nextafter(x, 20.0L), a) - p_at), 1e-15L);
  EXPECT_LT(fabsl(Reg_Inc_Gamma_P(std::nextafter(below, 0.0L), a) - p_below), 1e-15L);
  const long double reference = 6.5948935753433895271889156e-1L;  // decimal series, above
  EXPECT_GT(p_below, reference);
  EXPECT_LT(p_at, reference);
}

// The continued fraction needs the most steps at the top of the domain
// (about 9,700 at a = 2147483646, x = a + 1); it must converge there, well
// inside its iteration cap. Reference: the decimal power series above with
// ln Gamma(a + 1) from Stirling's series (python, 50 digits). At this size
// a ln x - x is about 4e10, so its extended rounding (~4e-9) bounds the
// accuracy: tolerance 2e-8.
TEST(RegIncGammaP, ConvergesAtTheTopOfTheDomain) {
  EXPECT_NEAR(Reg_Inc_Gamma_P(2147483647.0L, 2147483646.0L), 0.50001147846646449913988239888442L,
              2e-8L);
  EXPECT_NEAR(Reg_Inc_Gamma_P(1000001.0L, 1000000.0L), 0.50053192274206756323693131030688L, 1e-10L);
  EXPECT_EQ(Reg_Inc_Gamma_P(2147483647.0L, 0.5L), 1);
}

TEST(RegIncGammaP, NaNArgumentsGiveNaNAtOnce) {
  EXPECT_TRUE(std::isnan(Reg_Inc_Gamma_P(kNaN, 1)));
  EXPECT_TRUE(std::isnan(Reg_Inc_Gamma_P(1, kNaN)));
  EXPECT_TRUE(std::isnan(Reg_Inc_Gamma_P(kNaN, kNaN)));
  EXPECT_TRUE(std::isnan(Reg_Inc_Gamma_P(5, kNaN)));  // x >= a + 1 would mean the fraction
}

TEST(RegIncGammaP, BadArgumentsRaiseInTheirOrder) {
  struct Case {
    long double x, a;
    int identifier;
    const char* appended;
  };
  const Case cases[] = {
      {-1, 2, 1302, "-1"},           {-1, 0, 1302, "-1"},  // x is checked first
      {2147483648.0L, 1, 1361, ""},  {kInf, 1, 1361, ""},
      {-kInf, 1, 1302, "-Infinity"}, {1, 0, 1301, "0"},
      {1, -0.5L, 1301, "-0.5"},      {2147483648.0L, -1, 1361, ""},  // x's limit before a's sign
      {1, 3e9L, 1361, ""},           {1, kInf, 1361, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "x " << static_cast<double>(c.x) << " a " << static_cast<double>(c.a));
    ExpectArgumentError([&] { Reg_Inc_Gamma_P(c.x, c.a); }, c.identifier, c.appended);
  }
  EXPECT_NO_THROW(Reg_Inc_Gamma_P(2147483647.0L, 2147483647.0L));
}

TEST(ArgumentErrorText, EveryIdentifierInUseHasItsOwnText) {
  const int identifiers[] = {1301, 1302, 1303, 1305, 1309, 1310, 1311, 1315, 1361, 1363};
  for (const int id : identifiers) {
    const std::string text = ArgumentErrorText(id);
    EXPECT_GT(text.size(), 15u) << id;
    for (const int other : identifiers) {
      if (other != id) {
        EXPECT_NE(text, ArgumentErrorText(other)) << id << " and " << other;
      }
    }
  }
}

}  // namespace
}  // namespace quorvane
