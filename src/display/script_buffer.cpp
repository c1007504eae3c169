#include "display/script_buffer.h"

#include <algorithm>

namespace vardex::display {

bool ScriptBuffer::append(std::span<const std::uint8_t> command)
{
    const int length = static_cast<int>(command.size());
    // The length byte holds the length; the entry needs P - 1 .. P + L in the buffer.
    if (length > 0xFF || 1 + length >= kSize)
        return false;
    if (m_position > 248 || m_position + length >= kSize)
        m_position = 1;
    const int p = m_position;
    m_bytes[p - 1] = kMarker;
    m_bytes[p] = static_cast<std::uint8_t>(length);
    for (int i = 0; i < length; ++i)
        m_bytes[p + 1 + i] = command[i];
    const int end = p + length + 2;
    int next = 9;
    while (next < end)
        next += 8;
    // A last entry that ends at the top leaves E past 255; P stays a buffer offset.
    m_position = next > 255 ? std::min(end, 255) : next;
    return true;
}

void ScriptBuffer::clear()
{
    m_bytes.fill(0);
    m_position = 1;
}

QString ScriptBuffer::captionFor(int position)
{
    return QStringLiteral("Зап. %1").arg(position);
}

} // namespace vardex::display
