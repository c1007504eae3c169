#include "sim/memory.h"

#include <algorithm>

namespace vardex::sim {

std::size_t Memory::read(std::size_t address, std::span<std::uint8_t> out) const
{
    address = clampAddress(address);
    const std::size_t n = std::min(out.size(), kSize - address);
    std::copy_n(m_bytes.begin() + address, n, out.begin());
    return n;
}

std::size_t Memory::write(std::size_t address, std::span<const std::uint8_t> in)
{
    address = clampAddress(address);
    const std::size_t n = std::min(in.size(), kSize - address);
    std::copy_n(in.begin(), n, m_bytes.begin() + address);
    return n;
}

} // namespace vardex::sim
