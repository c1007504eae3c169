#include "loops/loop_diff.h"

#include "common/channel_names.h"
#include "common/conversions.h"
#include "link/protocol.h"
#include "loops/ext_coding.h"
#include "loops/level_conversion.h"
#include "loops/loop_outputs.h"

namespace vardex::loops {

namespace {

namespace protocol = link::protocol;
using link::UprLoopConfig;
using link::UprLoopConfigExt;

QString onOff(bool on)
{
    return on ? QStringLiteral("вкл") : QStringLiteral("выкл");
}

QString mode(std::uint8_t m)
{
    return m ? QStringLiteral("Инвер.") : QStringLiteral("Прямой");
}

bool bit(std::uint32_t mask, int k)
{
    return (mask >> (k - 1)) & 1u;
}

class LoopDiffer {
public:
    LoopDiffer(int n, FieldChanges &out) : m_n(n), m_out(out) {}

    void add(const QString &key, const QString &caption, const QString &held, const QString &wanted)
    {
        if (held != wanted)
            m_out.push_back(
                {key, QStringLiteral("Контур %1 / %2").arg(m_n).arg(caption), held, wanted, m_n});
    }
    // A change of raw value shown through show(): two raw values that show alike
    // still differ (a threshold one step apart), so the raw value decides.
    template <typename T, typename Show>
    void value(const QString &key, const QString &caption, T held, T wanted, Show show)
    {
        if (held == wanted)
            return;
        QString h = show(held);
        QString w = show(wanted);
        if (h == w) {
            h += QStringLiteral(" (%1)").arg(held);
            w += QStringLiteral(" (%1)").arg(wanted);
        }
        m_out.push_back({key, QStringLiteral("Контур %1 / %2").arg(m_n).arg(caption), h, w, m_n});
    }

private:
    int m_n;
    FieldChanges &m_out;
};

void diffMain(int n, const UprLoopConfig &h, const UprLoopConfig &w, const link::MonitorConfig &c,
              FieldChanges &out)
{
    LoopDiffer d(n, out);
    for (int k = 1; k <= 8; ++k) {
        const QString i = QString::number(k);
        const QString contact = QStringLiteral("Концевики / Вход %1").arg(k);
        const QString ttl = QStringLiteral("ТТЛ вход / Вход %1").arg(k);
        d.add(QStringLiteral("contactUse.") + i, contact, onOff(bit(h.contactUse, k)),
              onOff(bit(w.contactUse, k)));
        d.add(QStringLiteral("contactMode.") + i, contact + QStringLiteral(" / режим"),
              mode(h.contactMode[k - 1]), mode(w.contactMode[k - 1]));
        d.add(QStringLiteral("ttlInputUse.") + i, ttl, onOff(bit(h.ttlInputUse, k)),
              onOff(bit(w.ttlInputUse, k)));
        d.add(QStringLiteral("ttlInputMode.") + i, ttl + QStringLiteral(" / режим"),
              mode(h.ttlInputMode[k - 1]), mode(w.ttlInputMode[k - 1]));
    }
    for (int k = 1; k <= link::kAnalogChannels; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        const QString row = QStringLiteral("Аналоги / ") + QString::fromUtf8(kAnalogCaptions[i]);
        const QString key = QString::number(k);
        const auto shown = [&](std::int16_t raw) {
            return vardex::formatNumber(analogShown(raw, c.analogA[i], c.analogB[i]), 2);
        };
        d.add(QStringLiteral("analogUse.") + key, row, onOff(bit(h.analogUse, k)),
              onOff(bit(w.analogUse, k)));
        d.value(QStringLiteral("analogLevelLo.") + key, row + QStringLiteral(" / Нижн. порог"),
                h.analogLevelLo[i], w.analogLevelLo[i], shown);
        d.value(QStringLiteral("analogLevelHi.") + key, row + QStringLiteral(" / Верхн. порог"),
                h.analogLevelHi[i], w.analogLevelHi[i], shown);
        d.add(QStringLiteral("analogMode.") + key, row + QStringLiteral(" / режим"),
              mode(h.analogMode[i]), mode(w.analogMode[i]));
    }
    for (int k = 1; k <= link::kSensors; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        const QString row = QStringLiteral("Температура / Темпер %1").arg(k);
        const QString key = QString::number(k);
        const auto shown = [&](std::int16_t raw) {
            return vardex::formatNumber(temperatureShown(raw, c.dallasResolution[i]), 4);
        };
        d.add(QStringLiteral("temperUse.") + key, row, onOff(bit(h.temperUse, k)),
              onOff(bit(w.temperUse, k)));
        d.value(QStringLiteral("temperLevelLo.") + key, row + QStringLiteral(" / Нижн. порог"),
                h.temperLevelLo[i], w.temperLevelLo[i], shown);
        d.value(QStringLiteral("temperLevelHi.") + key, row + QStringLiteral(" / Верхн. порог"),
                h.temperLevelHi[i], w.temperLevelHi[i], shown);
        d.add(QStringLiteral("temperMode.") + key, row + QStringLiteral(" / режим"),
              mode(h.temperMode[i]), mode(w.temperMode[i]));
    }
    d.add(QStringLiteral("hostControl.1"), QStringLiteral("Программный / Хост"),
          onOff(bit(h.hostControl, 1)), onOff(bit(w.hostControl, 1)));
    d.add(QStringLiteral("hostControl.2"), QStringLiteral("Программный / Тест"),
          onOff(bit(h.hostControl, 2)), onOff(bit(w.hostControl, 2)));
    // Bits the page has no box for still travel.
    d.value(QStringLiteral("hostControl"), QStringLiteral("Программный"),
            static_cast<int>(h.hostControl & 0xFC), static_cast<int>(w.hostControl & 0xFC),
            [](int v) { return QStringLiteral("0x%1").arg(v, 2, 16, QLatin1Char('0')); });
}

void diffExt(int n, const UprLoopConfigExt &h, const UprLoopConfigExt &w, FieldChanges &out)
{
    LoopDiffer d(n, out);
    const auto tenths = [](int v) { return vardex::formatNumber(v / 10.0L, 1); };
    const QString box = QStringLiteral("Дополнительно / ");
    d.value(QStringLiteral("timerOff"), box + QStringLiteral("Логика выхода / Задержка"),
            int(h.timerOff), int(w.timerOff), tenths);
    d.value(QStringLiteral("timerOn"), box + QStringLiteral("Логика выхода / Длител."),
            int(h.timerOn), int(w.timerOn), tenths);
    const auto plain = [](int v) { return QString::number(v); };
    d.value(QStringLiteral("pulseNumber"), box + QStringLiteral("Логика выхода / Кол-во имп."),
            int(h.pulseNumber), int(w.pulseNumber), plain);
    d.value(QStringLiteral("logic"), box + QStringLiteral("Логика входов / Управление по И"),
            int(h.logic), int(w.logic), [](int v) { return onOff(ext::logicIsAnd(v)); });
    d.value(QStringLiteral("dimmer"), box + QStringLiteral("Диммер"), int(h.dimmer), int(w.dimmer),
            plain);
    d.value(QStringLiteral("usbMode"), box + QStringLiteral("USB интерфейс"), int(h.usbMode),
            int(w.usbMode),
            [](int v) { return QStringLiteral("0x%1").arg(v, 2, 16, QLatin1Char('0')); });
    for (int k = 1; k <= 32; ++k) {
        const QString item =
            k <= link::kLoopCount ? outputItemName(k) : QStringLiteral("бит %1").arg(k - 1);
        d.add(QStringLiteral("outputMask.%1").arg(k),
              box + QStringLiteral("Выходы контуров / ") + item, onOff(bit(h.outputMask, k)),
              onOff(bit(w.outputMask, k)));
    }
}

} // namespace

UprLoopConfig asWritten(int n, const UprLoopConfig &loop)
{
    link::Payload reply = protocol::writeLoop(n, loop);
    reply[link::pos::Code] = protocol::code::Loop;
    UprLoopConfig out{};
    protocol::decodeLoop(reply, out);
    return out;
}

UprLoopConfigExt asWritten(int n, const UprLoopConfigExt &ext)
{
    link::Payload reply = protocol::writeLoopExt(n, ext);
    reply[link::pos::Code] = protocol::code::Loop;
    UprLoopConfigExt out{};
    protocol::decodeLoopExt(reply, out);
    return out;
}

FieldChanges diffLoops(const link::DeviceImage &held, const link::DeviceImage &wanted,
                       const link::MonitorConfig &config, bool extended)
{
    FieldChanges out;
    for (int n = 1; n <= link::kLoopCount; ++n) {
        diffMain(n, asWritten(n, held.loop(n)), asWritten(n, wanted.loop(n)), config, out);
        if (extended)
            diffExt(n, asWritten(n, held.loopExt(n)), asWritten(n, wanted.loopExt(n)), out);
    }
    return out;
}

std::vector<int> differingLoops(const link::DeviceImage &a, const link::DeviceImage &b,
                                bool extended)
{
    std::vector<int> loops;
    for (int n = 1; n <= link::kLoopCount; ++n) {
        const bool main = protocol::writeLoop(n, a.loop(n)) != protocol::writeLoop(n, b.loop(n));
        const bool ext = extended && protocol::writeLoopExt(n, a.loopExt(n)) !=
                                         protocol::writeLoopExt(n, b.loopExt(n));
        if (main || ext)
            loops.push_back(n);
    }
    return loops;
}

} // namespace vardex::loops
