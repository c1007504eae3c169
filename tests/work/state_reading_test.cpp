#include "work/state_reading.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vardex::work;

namespace {

// Answers the exchanges from a script and records what was asked.
struct ScriptedLink {
    std::vector<bool> answers;
    std::vector<Exchange> asked;

    bool operator()(const Exchange &e)
    {
        asked.push_back(e);
        return asked.size() <= answers.size() && answers[asked.size() - 1];
    }
};

bool run(std::span<const Exchange> seq, ScriptedLink &link)
{
    return runExchanges(seq, [&](const Exchange &e) { return link(e); });
}

} // namespace

TEST(PollCycle, NoClockReplyEndsTheCycleBeforeTheState)
{
    ScriptedLink link{{false, true, true}, {}};
    EXPECT_FALSE(run(kPollCycle, link));
    ASSERT_EQ(link.asked.size(), 1u);
    EXPECT_EQ(link.asked[0].request, StateRequest::Clock);
}

TEST(PollCycle, LostFirstStateReplyGoesUnnoticed)
{
    ScriptedLink link{{true, false, true}, {}};
    EXPECT_TRUE(run(kPollCycle, link));
    EXPECT_EQ(link.asked.size(), 3u);
}

TEST(PollCycle, ClockAnsweredButNotFlagsIsUnanswered)
{
    ScriptedLink link{{true, true, false}, {}};
    EXPECT_FALSE(run(kPollCycle, link));
    EXPECT_EQ(link.asked.size(), 3u);
}

TEST(SingleRead, OnlyTheFlagsReplyDecides)
{
    ScriptedLink lost0{{false, true}, {}};
    EXPECT_TRUE(run(kSingleRead, lost0));
    ScriptedLink lost1{{true, false}, {}};
    EXPECT_FALSE(run(kSingleRead, lost1));
    ASSERT_EQ(lost1.asked.size(), 2u);
    EXPECT_EQ(lost1.asked[0].request, StateRequest::State0);
    EXPECT_EQ(lost1.asked[1].request, StateRequest::State1);
}

TEST(PollCycleEnd, LongCycleRestartsTheTimer)
{
    const CycleEnd end = decideCycleEnd(true, 1200, 1000, true);
    EXPECT_TRUE(end.show);
    EXPECT_TRUE(end.setCaption);
    EXPECT_EQ(end.caption, "1200");
    EXPECT_TRUE(end.restartTimer);
}

TEST(PollCycleEnd, IntervalBoundary)
{
    EXPECT_TRUE(decideCycleEnd(true, 1000, 1000, true).restartTimer);
    EXPECT_FALSE(decideCycleEnd(true, 999, 1000, true).restartTimer);
}

TEST(PollCycleEnd, UnansweredCycleChangesNothing)
{
    const CycleEnd end = decideCycleEnd(false, 1500, 1000, true);
    EXPECT_FALSE(end.show);
    EXPECT_FALSE(end.setCaption);
    EXPECT_FALSE(end.restartTimer);
}

TEST(PollCycleEnd, PollingStoppedDuringTheCycleStaysStopped)
{
    const CycleEnd end = decideCycleEnd(true, 1200, 1000, false);
    EXPECT_TRUE(end.show);
    EXPECT_FALSE(end.setCaption);
    EXPECT_FALSE(end.restartTimer);
}
