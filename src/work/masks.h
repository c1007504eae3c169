#pragma once

#include "common/mask_bits.h"

namespace vardex::work {

using vardex::maskBit;
using vardex::withMaskBit;

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
