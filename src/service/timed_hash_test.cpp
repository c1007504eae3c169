#include "service/timed_hash_test.h"

#include "link/operation.h"
#include "link/protocol.h"

namespace vardex::service {

TimedTestPlan planTimedTest(const sign::TimeOfDay &now, int offset,
                            const sign::GeneratedKey &generatedKey)
{
    TimedTestPlan plan;
    plan.now = now;
    plan.roundedSecond = now.second / 10 * 10;
    plan.offset = offset;
    plan.chosen = sign::timedTestTime(now, offset);
    plan.sent = sign::timedTestDigest(plan.chosen, generatedKey);
    for (std::size_t i = 0; i < kTimedCandidateOffsets.size(); ++i) {
        TimedCandidate &c = plan.candidates[i];
        c.offset = kTimedCandidateOffsets[i];
        c.time = sign::timedTestTime(now, c.offset);
        c.digest = sign::timedTestDigest(c.time, generatedKey);
        if (c.offset == offset)
            plan.markedCandidate = static_cast<int>(i);
    }
    return plan;
}

QString timeText(const sign::TimeOfDay &t)
{
    return QStringLiteral("%1:%2:%3")
        .arg(t.hour, 2, 10, QLatin1Char('0'))
        .arg(t.minute, 2, 10, QLatin1Char('0'))
        .arg(t.second, 2, 10, QLatin1Char('0'));
}

QString timedTestTimes(const TimedTestPlan &plan)
{
    return timeText(plan.now) + QStringLiteral("  ") + timeText(plan.chosen);
}

bool sendTimedTest(link::OperationContext &ctx, const TimedTestPlan &plan)
{
    auto &image = ctx.image();
    image.hashDigest = plan.sent;
    ctx.send(link::protocol::sendHash(plan.sent));
    const bool answered = ctx.waitReply(kTimedTestWaitMs);
    image.hashDigest = plan.candidates.back().digest;
    return answered;
}

} // namespace vardex::service
