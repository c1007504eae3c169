#pragma once

#include <cstdint>

// Mask bytes of the configuration, the state and the loop records: item k (counted
// from 1, as the controls are numbered) is bit k-1. Items outside 1..8 are never set.
namespace vardex {

constexpr bool maskBit(std::uint8_t mask, int item)
{
    return item >= 1 && item <= 8 && ((mask >> (item - 1)) & 1) != 0;
}

constexpr std::uint8_t withMaskBit(std::uint8_t mask, int item, bool on)
{
    if (item < 1 || item > 8)
        return mask;
    const auto bit = static_cast<std::uint8_t>(1u << (item - 1));
    return on ? static_cast<std::uint8_t>(mask | bit) : static_cast<std::uint8_t>(mask & ~bit);
}

} // namespace vardex
