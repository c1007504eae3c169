#include "work/system_flags.h"

namespace vardex::work {

namespace {

struct Named {
    const char *caption;
    const char *hint;
};

// Flags 1..8.
constexpr Named kFirstByte[] = {
    {"А1_12В", "Аналоговый вход  12В не в допуске"},
    {"А2_24В", "Аналоговый вход  24В не в допуске"},
    {"А3_5В", "Аналоговый вход  5В  не в допуске"},
    {"А4", "Освещенность  не в допуске"},
    {"А5", "Влажность не в допуске"},
    {"Сеть 220", "Напряжение сети 220В  не в допуске"},
    {"Батарея", "Батарейка разряжена"},
    {"3.3 В", "Работаем от аккумулятора"},
};

// Loops 1..26 (flags 33..58) by the output family each one drives.
struct LoopRange {
    int firstLoop;
    int lastLoop;
    const char *output; // "ТТЛ_", "ВК_", ...
};
constexpr LoopRange kLoopRanges[] = {
    {1, 8, "ТТЛ_"}, {9, 12, "ВК_"}, {13, 16, "НК_"}, {17, 22, "Реле_"}, {23, 26, "ШИМ_"},
};

SystemFlagInfo captioned(const QString &caption, const QString &hint)
{
    return {FlagLook::Captioned, caption, hint};
}

} // namespace

SystemFlagInfo systemFlagInfo(int n)
{
    if (n >= 1 && n <= 8) {
        const Named &named = kFirstByte[n - 1];
        return captioned(QString::fromUtf8(named.caption), QString::fromUtf8(named.hint));
    }
    if (n >= 9 && n <= 12)
        return {FlagLook::Bare, {}, {}};
    if (n >= 17 && n <= 22) {
        const int k = n - 16;
        return captioned(QStringLiteral("Темпер %1").arg(k),
                         QStringLiteral("Температура %1 не в допуске").arg(k));
    }
    if (n >= 23 && n <= 28) {
        const int k = n - 22;
        return captioned(QStringLiteral("Обрыв %1").arg(k),
                         QStringLiteral("Обрыв датчика температуры %1").arg(k));
    }
    if (n >= 29 && n <= 32) {
        const int k = n - 28;
        // Fan 1's hint has always ended with a blank; kept as it is.
        return captioned(QStringLiteral("Вент. %1").arg(k),
                         QStringLiteral("Нет данных по скорости вентилятора %1%2")
                             .arg(k)
                             .arg(k == 1 ? QStringLiteral(" ") : QString()));
    }
    if (n >= loopFlag(1) && n <= loopFlag(26)) {
        const int loop = n - 32;
        for (const LoopRange &r : kLoopRanges) {
            if (loop >= r.firstLoop && loop <= r.lastLoop) {
                return captioned(QStringLiteral("Кон.%1").arg(loop),
                                 QStringLiteral("Включен контур управления %1%2")
                                     .arg(QString::fromUtf8(r.output))
                                     .arg(loop - r.firstLoop + 1));
            }
        }
    }
    return {};
}

} // namespace vardex::work
