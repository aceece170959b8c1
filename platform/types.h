// Fixed-width types that the system's interfaces are written in.
#pragma once

#include <cstdint>
#include <string>

// Calling convention of every export, engine entry and host callback.  The
// platform has one convention, so the marker expands to nothing; it stays in
// declarations so that they read as the contract they are.
#define stdcall

using Integer = std::int32_t;
using Cardinal = std::uint32_t;
using LongBool = std::int32_t;   // 0 false, any other value true
using Boolean = std::uint8_t;    // one byte
using Pointer = void*;
using PWideChar = char16_t*;
using PAnsiChar = char*;
using NativeUInt = std::uintptr_t;
using string = std::u16string;

// True as written by the system: all 32 bits set.
inline constexpr LongBool LongTrue = -1;
inline constexpr LongBool LongFalse = 0;
