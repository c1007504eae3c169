#pragma once

#include <QString>

#include <cstdint>
#include <span>

// Hint texts of the signed-command buttons: the buffer after the wait in
// upper-case hexadecimal, two digits a byte, no separators.
namespace vardex::work {

QString hexUpper(std::span<const std::uint8_t> bytes);

QString generatedKeyHint(std::span<const std::uint8_t> generatedKey); // 16 bytes
QString openKeyHint(std::span<const std::uint8_t> openKey);           // 4 bytes
QString hashReplyHint(std::span<const std::uint8_t> hashReply);       // 20 bytes

} // namespace vardex::work
