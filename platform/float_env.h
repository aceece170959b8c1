// Floating-point work whose errors are detected, never trapped.  Extended
// precision is the x87 unit's long double (64-bit significand).
#pragma once

#include <cstdint>

namespace platform {

// The errors that the original platform's unit would have trapped.
enum class TFloatFault : std::uint8_t { None, InvalidOp, ZeroDivide, Overflow };

// While it lives: every trap masked, round to nearest for x87 and SSE, x87
// precision 64 bits, no flush-to-zero, flags cleared.  On leaving it gives the
// caller's x87 control and status words and its MXCSR back exactly (the x87
// register stack, its tags and top, is left as it is).  One thread's scope: the state
// is per thread.
class TFloatEnvironment {
 public:
  TFloatEnvironment();
  ~TFloatEnvironment();
  TFloatEnvironment(const TFloatEnvironment&) = delete;
  TFloatEnvironment& operator=(const TFloatEnvironment&) = delete;

  // The error raised since the last call (or the start), and the flags
  // cleared.  Of several flags invalid operation counts first, then zero
  // divide, then overflow; a chain that can raise more than one tests after
  // each step.
  TFloatFault TakeFault();

 private:
  // fnstenv's 28-byte layout.
  struct TX87Environment {
    std::uint32_t Words[7];
  };
  TX87Environment FX87;
  std::uint32_t FMxcsr;
};

// Keeps the compiler from folding, moving or dropping floating-point work
// across it: the value is taken as unknown before and as used after.
template <class T>
inline T FloatBarrier(T value) {
  asm volatile("" : "+m"(value));
  return value;
}

}  // namespace platform
