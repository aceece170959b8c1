#include "platform/float_env.h"

#if !defined(__x86_64__)
#error "TFloatEnvironment is written for the x86-64 floating-point units"
#endif

namespace platform {

namespace {

// x87: every exception masked, precision 64 bits, round to nearest.
constexpr std::uint16_t X87Working = 0x037F;
// SSE: every exception masked, round to nearest, no flush-to-zero or
// denormals-are-zero.
constexpr std::uint32_t MxcsrWorking = 0x1F80;

// Status bits, the same in the x87 status word and MXCSR.
constexpr std::uint32_t FlagInvalid = 0x01;
constexpr std::uint32_t FlagZeroDivide = 0x04;
constexpr std::uint32_t FlagOverflow = 0x08;

}  // namespace

TFloatEnvironment::TFloatEnvironment() {
  // fnstenv also masks every x87 exception, so nothing traps from here on.
  asm volatile("fnstenv %0" : "=m"(FX87));
  asm volatile("stmxcsr %0" : "=m"(FMxcsr));
  const std::uint16_t control = X87Working;
  const std::uint32_t mxcsr = MxcsrWorking;
  asm volatile("fnclex");
  asm volatile("fldcw %0" : : "m"(control));
  asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

TFloatEnvironment::~TFloatEnvironment() {
  // The caller's control word and exception flags into the current
  // environment: its register tags and stack top stay as they are now, so
  // that no value the compiler keeps in an x87 register is lost.
  TX87Environment now;
  asm volatile("fnstenv %0" : "=m"(now));
  // The status word but its stack top (bits 11 to 13): flags, condition
  // codes, busy.
  constexpr std::uint32_t StatusBits = 0xFFFF & ~0x3800u;
  now.Words[0] = (now.Words[0] & 0xFFFF0000u) | (FX87.Words[0] & 0xFFFFu);
  now.Words[1] = (now.Words[1] & ~StatusBits) | (FX87.Words[1] & StatusBits);
  asm volatile("fldenv %0" : : "m"(now));
  asm volatile("ldmxcsr %0" : : "m"(FMxcsr));
}

TFloatFault TFloatEnvironment::TakeFault() {
  std::uint16_t status = 0;
  std::uint32_t mxcsr = 0;
  asm volatile("fnstsw %0" : "=m"(status));
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  const std::uint32_t flags = (status | mxcsr) & 0x3F;
  const std::uint32_t cleared = mxcsr & ~0x3Fu;
  asm volatile("fnclex");
  asm volatile("ldmxcsr %0" : : "m"(cleared));
  if (flags & FlagInvalid) return TFloatFault::InvalidOp;
  if (flags & FlagZeroDivide) return TFloatFault::ZeroDivide;
  if (flags & FlagOverflow) return TFloatFault::Overflow;
  return TFloatFault::None;
}

}  // namespace platform
