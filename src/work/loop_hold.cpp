#include "work/loop_hold.h"

#include "work/masks.h"

namespace vardex::work {

namespace {

constexpr int kFirstLoopFlag = 32;

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

QString heldByLoopHint(const link::MonitorState &state, OutputFamily family, int tag)
{
    const int loop = loopOfOutput(family, tag);
    if (loop == 0 || !maskBit(outputStateByte(state, family), tag) ||
        !state.flag(kFirstLoopFlag + loop))
        return {};
    return QStringLiteral("включено контуром %1").arg(loop);
}

} // namespace vardex::work
