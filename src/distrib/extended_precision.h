// The x87 unit rounds every result to the precision its control word sets.
// Linux starts every thread at 64-bit significands (long double); Windows
// starts the threads it makes itself (the desktop program's worker threads)
// at 53 bits (double), so long double arithmetic there would silently round
// as double. An ExtendedPrecision in scope sets 64 bits on the thread and
// puts the word back at its end; elsewhere it does nothing.
#pragma once

namespace quorvane {

class ExtendedPrecision {
 public:
#if defined(_WIN32) && (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
  ExtendedPrecision() {
    __asm__ volatile("fnstcw %0" : "=m"(saved_));
    unsigned short extended = static_cast<unsigned short>(saved_ | 0x0300);  // precision: 64 bits
    __asm__ volatile("fldcw %0" : : "m"(extended));
  }
  ~ExtendedPrecision() {
    __asm__ volatile("fldcw %0" : : "m"(saved_));
  }

 private:
  unsigned short saved_ = 0;
#else
  ExtendedPrecision() = default;
#endif

 public:
  ExtendedPrecision(const ExtendedPrecision&) = delete;
  ExtendedPrecision& operator=(const ExtendedPrecision&) = delete;
};

}  // namespace quorvane
