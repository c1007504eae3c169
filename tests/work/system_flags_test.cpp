#include "work/system_flags.h"

#include <gtest/gtest.h>

#include <set>

using namespace vardex::work;

TEST(SystemFlags, LoopFlagsFollowLoopOrderAndOutputFamilies)
{
    EXPECT_EQ(loopFlag(1), 33);
    const SystemFlagInfo first = systemFlagInfo(33);
    EXPECT_EQ(first.caption, "Кон.1");
    EXPECT_EQ(first.hint, "Включен контур управления ТТЛ_1");
    EXPECT_EQ(systemFlagInfo(40).hint, "Включен контур управления ТТЛ_8");
    EXPECT_EQ(systemFlagInfo(41).hint, "Включен контур управления ВК_1");
    EXPECT_EQ(systemFlagInfo(45).hint, "Включен контур управления НК_1");
    EXPECT_EQ(systemFlagInfo(54).hint, "Включен контур управления Реле_6");
    EXPECT_EQ(systemFlagInfo(55).hint, "Включен контур управления ШИМ_1");
    EXPECT_EQ(systemFlagInfo(58).caption, "Кон.26");
    EXPECT_EQ(systemFlagInfo(58).hint, "Включен контур управления ШИМ_4");
}

TEST(SystemFlags, BareAndHiddenSlots)
{
    for (int n = 9; n <= 12; ++n) {
        EXPECT_EQ(systemFlagInfo(n).look, FlagLook::Bare) << n;
        EXPECT_TRUE(systemFlagInfo(n).caption.isEmpty());
        EXPECT_TRUE(systemFlagInfo(n).hint.isEmpty());
    }
    for (int n : {13, 16, 59, 64, 0, 65, -1})
        EXPECT_EQ(systemFlagInfo(n).look, FlagLook::Hidden) << n;
}

TEST(SystemFlags, EveryShownCaptionIsUniqueAndHinted)
{
    std::set<QString> captions;
    int captioned = 0;
    for (int n = 1; n <= kSystemFlagCount; ++n) {
        const SystemFlagInfo info = systemFlagInfo(n);
        if (info.look != FlagLook::Captioned)
            continue;
        ++captioned;
        EXPECT_FALSE(info.hint.isEmpty()) << n;
        EXPECT_TRUE(captions.insert(info.caption).second) << n;
    }
    EXPECT_EQ(captioned, 8 + 16 + 26);
}

TEST(SystemFlags, ExactHintTexts)
{
    EXPECT_EQ(systemFlagInfo(3).hint, "Аналоговый вход  5В  не в допуске");
    EXPECT_EQ(systemFlagInfo(29).hint, "Нет данных по скорости вентилятора 1 ");
    EXPECT_EQ(systemFlagInfo(30).hint, "Нет данных по скорости вентилятора 2");
    EXPECT_EQ(systemFlagInfo(22).caption, "Темпер 6");
    EXPECT_EQ(systemFlagInfo(28).hint, "Обрыв датчика температуры 6");
    EXPECT_EQ(systemFlagInfo(6).caption, "Сеть 220");
}
