#include "service/serial_readout.h"

#include "link/operation.h"
#include "link/protocol.h"
#include "work/hash_hints.h"

namespace vardex::service {

std::optional<std::uint8_t> readSerialByte(link::OperationContext &ctx)
{
    ctx.send(link::protocol::serialRead());
    if (!ctx.waitReply(kSerialReadTimeoutMs))
        return std::nullopt;
    return ctx.image().serialByte;
}

QString serialByteText(std::optional<std::uint8_t> byte)
{
    if (!byte)
        return QStringLiteral("--");
    const std::uint8_t b = *byte;
    return work::hexUpper(std::span<const std::uint8_t>(&b, 1));
}

} // namespace vardex::service
