#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace vardex::link {
class OperationContext;
}

// The last byte the controller received on its serial line, for the bench.
namespace vardex::service {

inline constexpr int kSerialReadTimeoutMs = 1000;

// Asks for the byte and waits for the answer. The byte the image holds after a reply
// (the controller's error reply counts as one and leaves the previous byte), nothing
// without a reply.
std::optional<std::uint8_t> readSerialByte(link::OperationContext &ctx);

// Two upper-case hexadecimal digits, "--" without a reply.
QString serialByteText(std::optional<std::uint8_t> byte);

} // namespace vardex::service
