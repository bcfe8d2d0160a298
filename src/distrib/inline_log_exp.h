// logl and expl for the generators' and the incomplete gamma function's inner
// loops, with exactly libm's results.
//
// On x86-64 the C library computes both on the x87 unit: logl as
// ln 2 x log2(x) by fyl2x (or by fyl2xp1 on x - 1 when |x - 1| <= 0.29), expl
// by splitting x log2(e) into an integer and a fraction, f2xm1 and fscale.
// Its entry code classifies the argument with fxam and fnstsw, which waits for
// every x87 operation in flight, and the calls themselves cost about as much
// as the instructions doing the work. Here the same instructions run in the
// same order on the same values, inline, for the arguments where libm takes
// that path (x > 0 finite for logl; 2^-67 <= |x| < 2^15 with a finite,
// nonzero result for expl); every other argument goes to libm itself. The
// results are therefore libm's bit for bit, which the tests check on millions
// of arguments.
//
// Requires the x87 rounding mode to be round-to-nearest (the process default,
// which this program never changes): libm's expl sets it for its two roundings
// to integer, and these use it as they find it.
#pragma once

#include <cmath>
#include <limits>

namespace quorvane {

#if defined(__x86_64__) && defined(__GNUC__)

inline long double InlineLogl(long double x) {
  // NaN fails the first test, infinity the second.
  if (!(x > 0) || !(x <= std::numeric_limits<long double>::max())) return logl(x);
  long double ln2;
  asm("fldln2" : "=t"(ln2));
  const long double d = x - 1.0L;
  long double r;
  if (fabsl(d) > static_cast<long double>(0.29)) {
    asm("fyl2x" : "=t"(r) : "0"(x), "u"(ln2) : "st(1)");
  } else {
    // d is +0 for x = 1, as libm makes it.
    asm("fyl2xp1" : "=t"(r) : "0"(d), "u"(ln2) : "st(1)");
  }
  return r;
}

inline long double InlineExpl(long double x) {
  // The ranges by comparison, in the registers (reading the exponent's bits
  // would pass x through memory, and the processor cannot hand a ten-byte
  // store on to the load of its last two bytes).
  const long double magnitude = fabsl(x);
  if (!(magnitude < 0x1p15L)) return expl(x);  // |x| >= 2^15, infinity or NaN
  if (magnitude < 0x1p-67L) return 1.0L + x;   // |x| < 2^-67: rounds to 1 + x
  // log2(e) = c0 + c1 with c0 short enough that c0 xi is exact.
  static constexpr long double kC0 = 0x1.7154p+0L;
  static constexpr long double kC1 = 0x1.d94ae0bf85ddf44p-18L;
  long double r;
  // Stack (top first) after each step: the comments follow libm's.
  asm("fldl2e\n\t"              // log2e : x
      "fmul %%st(1),%%st\n\t"   // x log2e : x
      "frndint\n\t"             // i : x
      "fld %%st(1)\n\t"         // x : i : x
      "frndint\n\t"             // xi : i : x
      "fld %%st(1)\n\t"         // i : xi : i : x
      "fldt %2\n\t"             // c0 : i : xi : i : x
      "fld %%st(2)\n\t"         // xi : c0 : i : xi : i : x
      "fmul %%st(1),%%st\n\t"   // c0 xi : c0 : i : xi : i : x
      "fsubp %%st,%%st(2)\n\t"  // c0 : f = c0 xi - i : xi : i : x (AT&T fsubp: st(2) = st - st(2))
      "fld %%st(4)\n\t"         // x : c0 : f : xi : i : x
      "fsub %%st(3),%%st\n\t"   // x - xi : c0 : f : xi : i : x
      "fmulp %%st,%%st(1)\n\t"  // c0 (x - xi) : f : xi : i : x
      "faddp %%st,%%st(1)\n\t"  // f : xi : i : x
      "fldt %3\n\t"             // c1 : f : xi : i : x
      "fmul %%st(4),%%st\n\t"   // c1 x : f : xi : i : x
      "faddp %%st,%%st(1)\n\t"  // f : xi : i : x
      "f2xm1\n\t"               // 2^f - 1 : xi : i : x
      "fld1\n\t"                // 1 : 2^f - 1 : xi : i : x
      "faddp %%st,%%st(1)\n\t"  // 2^f : xi : i : x
      "fstp %%st(1)\n\t"        // 2^f : i : x
      "fscale\n\t"              // e^x : i : x
      "fstp %%st(1)\n\t"        // e^x : x
      "fstp %%st(1)"            // e^x
      : "=t"(r)
      : "0"(x), "m"(kC0), "m"(kC1)
      : "st(1)", "st(2)", "st(3)", "st(4)", "st(5)");
  // Overflow and total underflow go through libm for its error reporting.
  if (r == 0 || !(r <= std::numeric_limits<long double>::max())) return expl(x);
  return r;
}

#else

inline long double InlineLogl(long double x) {
  return logl(x);
}
inline long double InlineExpl(long double x) {
  return expl(x);
}

#endif

}  // namespace quorvane
