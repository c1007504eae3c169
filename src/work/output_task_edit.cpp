#include "work/output_task_edit.h"

#include "work/masks.h"

#include <algorithm>

namespace vardex::work {

int outputFamilySize(OutputFamily family)
{
    switch (family) {
    case OutputFamily::Relay:
        return 6;
    case OutputFamily::TtlOutput:
    case OutputFamily::Switch:
        return 8;
    }
    return 0;
}

bool setOutputTaskBit(link::OutputTask &task, OutputFamily family, int tag, bool on)
{
    if (tag < 1 || tag > outputFamilySize(family))
        return false;
    std::uint8_t *field = nullptr;
    switch (family) {
    case OutputFamily::Relay:
        field = &task.relaysTask;
        break;
    case OutputFamily::TtlOutput:
        field = &task.ttlOutputsTask;
        break;
    case OutputFamily::Switch:
        field = &task.switchesTask;
        break;
    }
    *field = withMaskBit(*field, tag, on);
    return true;
}

bool setFanTask(link::OutputTask &task, int fan, int percent)
{
    if (fan < 1 || fan > link::kFans)
        return false;
    task.fanTask[static_cast<std::size_t>(fan - 1)] =
        static_cast<std::uint8_t>(std::clamp(percent, 0, 100));
    return true;
}

QString fanTaskText(int percent)
{
    return QStringLiteral("%1 %").arg(percent);
}

} // namespace vardex::work
