#pragma once

#include <cstdint>

// Mask bytes: item k (from 1) is bit k-1. Items outside 1..8 are never set.
namespace vardex::work {

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

// The switch byte: high-side switch k is item k, low-side switch k item k+4.
constexpr int highSwitchItem(int k)
{
    return k;
}
constexpr int lowSwitchItem(int k)
{
    return k + 4;
}

} // namespace vardex::work
