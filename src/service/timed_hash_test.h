#pragma once

#include "signed/digest.h"

#include <QString>

#include <array>

namespace vardex::link {
class OperationContext;
}

// The timed test of the signed command: the prefix of the signed message is the time
// of day (rounded down to ten seconds, plus the button's offset), so sending it tells
// how far the controller's clock may stray. After the send the page shows the digests
// of the neighbouring times for comparison with the controller's answer.
namespace vardex::service {

// The offsets of the seven buttons, in button order.
inline constexpr std::array<int, 7> kTimedTestOffsets = {-30, -20, -10, 0, 10, 20, 30};
// The candidates shown after the answer, in edit order.
inline constexpr std::array<int, 5> kTimedCandidateOffsets = {-20, -10, 0, 10, 20};
// The candidate whose time the page does not show (the one of offset 0).
inline constexpr int kUntimedCandidate = 2;
inline constexpr int kTimedTestWaitMs = 15000;

struct TimedCandidate {
    int offset = 0;
    sign::TimeOfDay time;
    sign::Sha1Digest digest{};
};

struct TimedTestPlan {
    sign::TimeOfDay now;
    int roundedSecond = 0; // now's second rounded down to a multiple of ten
    int offset = 0;
    sign::TimeOfDay chosen;
    sign::Sha1Digest sent{};
    std::array<TimedCandidate, kTimedCandidateOffsets.size()> candidates{};
    int markedCandidate = -1; // the candidate equal to the offset; -1 for +-30
};

TimedTestPlan planTimedTest(const sign::TimeOfDay &now, int offset,
                            const sign::GeneratedKey &generatedKey);

// "hh:mm:ss".
QString timeText(const sign::TimeOfDay &t);
// The current and the chosen time, two spaces apart.
QString timedTestTimes(const TimedTestPlan &plan);

// The exchange: sends the chosen time's digest as a signed command and waits up to
// 15 s for the answer (true when it came). The image's HashDigest is the digest sent
// while waiting and the last candidate's afterwards, as the signed-command button of
// the Work page expects to find it after a test.
bool sendTimedTest(link::OperationContext &ctx, const TimedTestPlan &plan);

} // namespace vardex::service
