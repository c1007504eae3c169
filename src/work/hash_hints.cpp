#include "work/hash_hints.h"

namespace vardex::work {

QString hexUpper(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() * 2));
    for (std::uint8_t b : bytes) {
        text.append(QLatin1Char(kDigits[b >> 4]));
        text.append(QLatin1Char(kDigits[b & 0x0F]));
    }
    return text;
}

QString generatedKeyHint(std::span<const std::uint8_t> generatedKey)
{
    return QStringLiteral("Генерация ключа ") + hexUpper(generatedKey);
}

QString openKeyHint(std::span<const std::uint8_t> openKey)
{
    return QStringLiteral("Открытый ключ ") + hexUpper(openKey);
}

QString hashReplyHint(std::span<const std::uint8_t> hashReply)
{
    return QStringLiteral("Выдать HASH команду ") + hexUpper(hashReply);
}

} // namespace vardex::work
