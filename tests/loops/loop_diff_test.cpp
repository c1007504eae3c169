#include "loops/loop_diff.h"

#include <gtest/gtest.h>

using namespace vardex;

namespace {

link::DeviceImage image()
{
    link::DeviceImage i;
    i.config.firmwareVersion = 24;
    i.config.analogA.fill(1.0f);
    return i;
}

} // namespace

TEST(LoopDiff, OnlyWhatTravelsAndOnlyTheLoopsThatDiffer)
{
    const link::DeviceImage held = image();
    struct Case {
        const char *what;
        std::function<void(link::DeviceImage &)> edit;
        bool extended;
        int changes;
        QString caption;
        QString from;
        QString to;
    };
    const Case cases[] = {
        {"fill byte", [](link::DeviceImage &i) { i.loop(4).fill5 = 9; }, true, 0, {}, {}, {}},
        {"extended without extended records",
         [](link::DeviceImage &i) { i.loopExt(3).timerOn = 77; },
         false,
         0,
         {},
         {},
         {}},
        {"timer in seconds", [](link::DeviceImage &i) { i.loopExt(3).timerOn = 77; }, true, 1,
         "Контур 3 / Дополнительно / Логика выхода / Длител.", "0", "7.7"},
        {"output of the list", [](link::DeviceImage &i) { i.loopExt(9).outputMask = 1u << 16; },
         true, 1, "Контур 9 / Дополнительно / Выходы контуров / Реле_1", "выкл", "вкл"},
        {"contact mode", [](link::DeviceImage &i) { i.loop(26).contactMode[1] = 1; }, true, 1,
         "Контур 26 / Концевики / Вход 2 / режим", "Прямой", "Инвер."},
        {"host control", [](link::DeviceImage &i) { i.loop(1).hostControl = 1; }, true, 1,
         "Контур 1 / Программный / Хост", "выкл", "вкл"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        link::DeviceImage wanted = held;
        c.edit(wanted);
        const FieldChanges changes = loops::diffLoops(held, wanted, held.config, c.extended);
        ASSERT_EQ(static_cast<int>(changes.size()), c.changes);
        EXPECT_EQ(static_cast<int>(loops::differingLoops(held, wanted, c.extended).size()),
                  c.changes);
        if (c.changes == 0)
            continue;
        EXPECT_EQ(changes[0].caption, c.caption);
        EXPECT_EQ(changes[0].controller, c.from);
        EXPECT_EQ(changes[0].file, c.to);
    }
}
