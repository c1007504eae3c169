#include "signed/digest.h"

#include <algorithm>

namespace vardex::sign {

namespace {

DigestMessage withKey(const std::array<std::uint8_t, 4> &prefix, const GeneratedKey &key)
{
    DigestMessage m{};
    std::copy(prefix.begin(), prefix.end(), m.begin());
    std::copy(key.begin(), key.end(), m.begin() + prefix.size());
    return m;
}

std::uint8_t byteOf(int v)
{
    return static_cast<std::uint8_t>(v & 0xFF);
}

} // namespace

DigestMessage signedCommandMessage(const OpenKey &openKey, const GeneratedKey &generatedKey)
{
    return withKey(openKey, generatedKey);
}

DigestMessage timedTestMessage(const TimeOfDay &time, const GeneratedKey &generatedKey)
{
    return withKey({0, byteOf(time.hour), byteOf(time.minute), byteOf(time.second)}, generatedKey);
}

Sha1Digest signedCommandDigest(const OpenKey &openKey, const GeneratedKey &generatedKey)
{
    return Sha1::hash(signedCommandMessage(openKey, generatedKey));
}

Sha1Digest timedTestDigest(const TimeOfDay &time, const GeneratedKey &generatedKey)
{
    return Sha1::hash(timedTestMessage(time, generatedKey));
}

TimeOfDay timedTestTime(const TimeOfDay &now, int offsetSeconds)
{
    constexpr int kDay = 24 * 60 * 60;
    const int tens = (now.second / 10) * 10;
    int total = (now.hour * 60 + now.minute) * 60 + tens + offsetSeconds;
    total = ((total % kDay) + kDay) % kDay;
    return {total / 3600, (total / 60) % 60, total % 60};
}

} // namespace vardex::sign
