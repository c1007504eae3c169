#include "work/loop_hold.h"

#include "work/masks.h"

namespace vardex::work {

namespace {

constexpr int kFirstLoopFlag = 32;

// Bit n-1: the output of loop n (the extended record's output mask has the same order).
std::uint32_t outputsOfLoop(int loop, const LoopExts *exts)
{
    const std::uint32_t named =
        exts ? (*exts)[static_cast<std::size_t>(loop - 1)].outputMask & 0x3FFFFFFu : 0u;
    return named ? named : (1u << (loop - 1));
}

} // namespace

std::uint8_t outputStateByte(const link::MonitorState &state, OutputFamily family)
{
    switch (family) {
    case OutputFamily::Relay:
        return state.relays;
    case OutputFamily::TtlOutput:
        return state.ttlOutputs;
    case OutputFamily::Switch:
        return state.switches;
    }
    return 0;
}

int loopOfOutput(OutputFamily family, int tag)
{
    if (tag < 1 || tag > outputFamilySize(family))
        return 0;
    switch (family) {
    case OutputFamily::TtlOutput:
        return tag;
    case OutputFamily::Switch:
        return 8 + tag;
    case OutputFamily::Relay:
        return 16 + tag;
    }
    return 0;
}

bool loopRuns(const link::MonitorState &state, int loop)
{
    return loop >= 1 && loop <= link::kLoopCount && state.flag(kFirstLoopFlag + loop);
}

int holdingLoop(const link::MonitorState &state, OutputFamily family, int tag, const LoopExts *exts)
{
    const int own = loopOfOutput(family, tag);
    if (own == 0 || !maskBit(outputStateByte(state, family), tag))
        return 0;
    const std::uint32_t bit = 1u << (own - 1);
    // Its own loop first: the usual case, and the one the hint names.
    if (loopRuns(state, own) && (outputsOfLoop(own, exts) & bit))
        return own;
    for (int loop = 1; loop <= link::kLoopCount; ++loop)
        if (loopRuns(state, loop) && (outputsOfLoop(loop, exts) & bit))
            return loop;
    return 0;
}

QString heldByLoopHint(const link::MonitorState &state, OutputFamily family, int tag,
                       const LoopExts *exts)
{
    const int loop = holdingLoop(state, family, tag, exts);
    return loop == 0 ? QString() : QStringLiteral("включено контуром %1").arg(loop);
}

link::OutputTask manualTaskOfState(const link::MonitorState &state, const link::OutputTask &known,
                                   const LoopExts *exts)
{
    link::OutputTask task = known;
    for (const OutputFamily family :
         {OutputFamily::Relay, OutputFamily::TtlOutput, OutputFamily::Switch}) {
        for (int tag = 1; tag <= outputFamilySize(family); ++tag) {
            const bool on = maskBit(outputStateByte(state, family), tag);
            if (on && holdingLoop(state, family, tag, exts) != 0)
                continue; // the state cannot tell: known's bit stays
            setOutputTaskBit(task, family, tag, on);
        }
    }
    // Fans are loops 23..26; a fan a running loop drives shows its loop's task.
    for (int fan = 1; fan <= 4; ++fan) {
        const auto i = static_cast<std::size_t>(fan - 1);
        const std::uint32_t bit = 1u << (22 + fan - 1);
        bool held = false;
        for (int loop = 1; loop <= link::kLoopCount && !held; ++loop)
            held = loopRuns(state, loop) && (outputsOfLoop(loop, exts) & bit);
        if (!(held && state.fanTasks[i] > 0))
            task.fanTask[i] = state.fanTasks[i];
    }
    return task;
}

} // namespace vardex::work
