#pragma once

#include "signed/sha1.h"

#include <array>
#include <cstdint>

// The 20-byte messages the controller expects the SHA-1 digest of: a 4-byte prefix
// followed by the 16-byte key the controller generated.
namespace vardex::sign {

using OpenKey = std::array<std::uint8_t, 4>;
using GeneratedKey = std::array<std::uint8_t, 16>;
using DigestMessage = std::array<std::uint8_t, 20>;

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const TimeOfDay &, const TimeOfDay &) = default;
};

// Signed command: bytes 0..3 the open key, 4..19 the generated key.
DigestMessage signedCommandMessage(const OpenKey &openKey, const GeneratedKey &generatedKey);
// Timed test: bytes 0..3 are 0, hour, minute, second; 4..19 the generated key.
DigestMessage timedTestMessage(const TimeOfDay &time, const GeneratedKey &generatedKey);

Sha1Digest signedCommandDigest(const OpenKey &openKey, const GeneratedKey &generatedKey);
Sha1Digest timedTestDigest(const TimeOfDay &time, const GeneratedKey &generatedKey);

// The timed test works on ten-second steps: the seconds of now rounded down to a
// multiple of ten, plus offsetSeconds, carried into minutes and hours around midnight.
TimeOfDay timedTestTime(const TimeOfDay &now, int offsetSeconds);

} // namespace vardex::sign
