// The stretch of the stand-in game's code that ModRoute patches: the two
// signatures and the two `mov eax, imm32` page-button divisors, placed at the
// module offsets of the real game. The bytes live only in the section
// .tavcode (see TavrenCode.cpp), nowhere else in the image.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" const unsigned char tavren_hidden_command_code[];
extern "C" const unsigned char tavren_loadsnp_code[];

constexpr std::size_t kHiddenCommandCodeLength = 16;
constexpr std::size_t kLoadsnpCodeLength = 33;
constexpr std::uint32_t kLeftPageDivisorOffset = 0x57642;
constexpr std::uint32_t kRightPageDivisorOffset = 0x576BA;
constexpr std::size_t kPageDivisorLength = 5;
