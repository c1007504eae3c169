#include "config/config_diff.h"

#include "common/conversions.h"
#include "config/captions.h"
#include "link/protocol.h"

#include <functional>

namespace vardex::config {

namespace {

namespace protocol = link::protocol;
using link::MonitorConfig;

QString onOff(bool on)
{
    return on ? QStringLiteral("вкл") : QStringLiteral("выкл");
}

bool bit(std::uint8_t mask, int index)
{
    return (mask >> index) & 1;
}

QString analogCaption(int i, const ChannelNames &names)
{
    return i < 3 ? QString::fromUtf8(kAnalogCaptions[i]) : names[i - 3];
}

class Differ {
public:
    Differ(const MonitorConfig &held, const MonitorConfig &wanted) : m_held(held), m_wanted(wanted)
    {
    }

    // A field compared on its written value, shown as the page shows it. Where the page's
    // precision hides the difference (a factor differing in the 7th digit, two codes the
    // list has no item for), raw() follows in brackets: a row never reads "0 → 0".
    template <typename Show, typename Raw>
    void field(const QString &key, const QString &caption, Show show, bool differs, Raw raw)
    {
        if (!differs)
            return;
        QString held = show(m_held);
        QString wanted = show(m_wanted);
        if (held == wanted) {
            held += QStringLiteral(" (%1)").arg(raw(m_held));
            wanted += QStringLiteral(" (%1)").arg(raw(m_wanted));
        }
        m_out.push_back({key, caption, held, wanted, 0});
    }
    // A field the page shows exactly (a plain number).
    template <typename Show>
    void field(const QString &key, const QString &caption, Show show, bool differs)
    {
        field(key, caption, show, differs, show);
    }

    void mask(const char *key, std::uint8_t MonitorConfig::*member, int firstBit, int count,
              const QString &group, const std::function<QString(int)> &item)
    {
        for (int k = 0; k < count; ++k) {
            const int b = firstBit + k;
            const bool held = bit(m_held.*member, b);
            const bool wanted = bit(m_wanted.*member, b);
            if (held != wanted)
                m_out.push_back({QStringLiteral("%1.%2").arg(QLatin1String(key)).arg(b + 1),
                                 group + QStringLiteral(" / ") + item(k + 1), onOff(held),
                                 onOff(wanted), 0});
        }
    }

    FieldChanges take() { return std::move(m_out); }

private:
    const MonitorConfig &m_held;
    const MonitorConfig &m_wanted;
    FieldChanges m_out;
};

QString number(double v, int decimals)
{
    return formatNumber(static_cast<long double>(v), decimals);
}

// Nine significant digits tell any two floats apart.
QString exact(float v)
{
    return QString::number(static_cast<double>(v), 'g', 9);
}

} // namespace

MonitorConfig asWritten(const MonitorConfig &c)
{
    MonitorConfig out{};
    for (int page = 0; page < protocol::kConfigPages; ++page) {
        const auto request = protocol::writeConfigPage(page, c);
        if (!request)
            continue;
        link::Payload reply = *request.payload;
        reply[link::pos::Code] = protocol::code::ConfigPage;
        if (page == 0) {
            // The page-0 reply carries the two read-only bytes in front of the fields.
            for (std::size_t i = link::kPayloadSize - 1; i >= link::kDataOffset + 2; --i)
                reply[i] = reply[i - 2];
        }
        protocol::decodeConfigPage(reply, out);
    }
    // Never written: whatever the controller has stays.
    out.firmwareVersion = 0;
    out.buildVariant = 0;
    return out;
}

std::vector<int> differingPages(const MonitorConfig &a, const MonitorConfig &b)
{
    std::vector<int> pages;
    for (int page = 0; page < protocol::kConfigPages; ++page) {
        const auto wa = protocol::writeConfigPage(page, a);
        const auto wb = protocol::writeConfigPage(page, b);
        if (wa.payload != wb.payload)
            pages.push_back(page);
    }
    return pages;
}

FieldChanges diffConfig(const MonitorConfig &heldConfig, const MonitorConfig &wantedConfig,
                        const ChannelNames &names)
{
    const MonitorConfig held = asWritten(heldConfig);
    const MonitorConfig wanted = asWritten(wantedConfig);
    Differ d(held, wanted);

    d.field(
        QStringLiteral("hardwareConfigNumber"), QStringLiteral("Конфигурация"),
        [](const MonitorConfig &c) { return QString::number(c.hardwareConfigNumber); },
        held.hardwareConfigNumber != wanted.hardwareConfigNumber);
    d.field(
        QStringLiteral("reserved0"), QStringLiteral("Резервный байт"),
        [](const MonitorConfig &c) { return QString::number(c.reserved0); },
        held.reserved0 != wanted.reserved0);

    // Inputs page: analog channels, temperature sensors, contacts, TTL inputs.
    for (int i = 0; i < link::kAnalogChannels; ++i) {
        const QString row = QStringLiteral("Аналоги / ") + analogCaption(i, names);
        const QString n = QString::number(i + 1);
        d.mask("analogEnable", &MonitorConfig::analogEnable, i, 1, QStringLiteral("Аналоги"),
               [&](int) { return analogCaption(i, names); });
        d.field(
            QStringLiteral("analogA.") + n, row + QStringLiteral(" / Ax"),
            [i](const MonitorConfig &c) { return number(c.analogA[i], 6); },
            held.analogA[i] != wanted.analogA[i],
            [i](const MonitorConfig &c) { return exact(c.analogA[i]); });
        d.field(
            QStringLiteral("analogB.") + n, row + QStringLiteral(" / B"),
            [i](const MonitorConfig &c) { return number(c.analogB[i], 6); },
            held.analogB[i] != wanted.analogB[i],
            [i](const MonitorConfig &c) { return exact(c.analogB[i]); });
        d.field(
            QStringLiteral("analogAlarmLow.") + n, row + QStringLiteral(" / Нижний"),
            [i](const MonitorConfig &c) {
                return formatNumber(analogToShown(c.analogAlarmLow[i], c.analogA[i], c.analogB[i]),
                                    2);
            },
            held.analogAlarmLow[i] != wanted.analogAlarmLow[i],
            [i](const MonitorConfig &c) { return QString::number(c.analogAlarmLow[i]); });
        d.field(
            QStringLiteral("analogAlarmHigh.") + n, row + QStringLiteral(" / Верхний"),
            [i](const MonitorConfig &c) {
                return formatNumber(analogToShown(c.analogAlarmHigh[i], c.analogA[i], c.analogB[i]),
                                    2);
            },
            held.analogAlarmHigh[i] != wanted.analogAlarmHigh[i],
            [i](const MonitorConfig &c) { return QString::number(c.analogAlarmHigh[i]); });
        d.field(
            QStringLiteral("analogAlarmDebounce.") + n, row + QStringLiteral(" / Дребезг"),
            [i](const MonitorConfig &c) { return QString::number(c.analogAlarmDebounce[i]); },
            held.analogAlarmDebounce[i] != wanted.analogAlarmDebounce[i]);
    }
    for (int i = 0; i < link::kSensors; ++i) {
        const QString row = QStringLiteral("Температура / Темпер %1").arg(i + 1);
        const QString n = QString::number(i + 1);
        d.mask("temperEnable", &MonitorConfig::temperEnable, i, 1, QStringLiteral("Температура"),
               [i](int) { return QStringLiteral("Темпер %1").arg(i + 1); });
        d.field(
            QStringLiteral("dallasResolution.") + n, row + QStringLiteral(" / Точность"),
            [i](const MonitorConfig &c) {
                return listItem(kResolutionItems, c.dallasResolution[i]);
            },
            held.dallasResolution[i] != wanted.dallasResolution[i],
            [i](const MonitorConfig &c) { return QString::number(c.dallasResolution[i]); });
        d.field(
            QStringLiteral("temperAlarmLow.") + n, row + QStringLiteral(" / Нижний"),
            [i](const MonitorConfig &c) {
                return formatNumber(
                    temperatureAlarmToShown(c.temperAlarmLow[i], c.dallasResolution[i]), 4);
            },
            held.temperAlarmLow[i] != wanted.temperAlarmLow[i],
            [i](const MonitorConfig &c) { return QString::number(c.temperAlarmLow[i]); });
        d.field(
            QStringLiteral("temperAlarmHigh.") + n, row + QStringLiteral(" / Верхний"),
            [i](const MonitorConfig &c) {
                return formatNumber(
                    temperatureAlarmToShown(c.temperAlarmHigh[i], c.dallasResolution[i]), 4);
            },
            held.temperAlarmHigh[i] != wanted.temperAlarmHigh[i],
            [i](const MonitorConfig &c) { return QString::number(c.temperAlarmHigh[i]); });
        d.field(
            QStringLiteral("dallasAlarmDebounce.") + n, row + QStringLiteral(" / Дребезг"),
            [i](const MonitorConfig &c) { return QString::number(c.dallasAlarmDebounce[i]); },
            held.dallasAlarmDebounce[i] != wanted.dallasAlarmDebounce[i]);
    }
    const auto input = [](int k) { return QStringLiteral("Вход %1").arg(k); };
    d.mask("contactEnable", &MonitorConfig::contactEnable, 0, 8, QStringLiteral("Концевики"),
           input);
    d.mask("ttlInputEnable", &MonitorConfig::ttlInputEnable, 0, 8, QStringLiteral("ТТЛ вход"),
           input);

    // Outputs page.
    const auto key = [](int k) { return QStringLiteral("Ключ %1").arg(k); };
    d.mask("switchEnable", &MonitorConfig::switchEnable, 0, 4, QStringLiteral("Верхний ключ"), key);
    d.mask("switchEnable", &MonitorConfig::switchEnable, 4, 4, QStringLiteral("Нижний ключ"), key);
    d.mask("relayEnable", &MonitorConfig::relayEnable, 0, 6, QStringLiteral("Реле"),
           [](int k) { return QStringLiteral("Реле %1").arg(k); });
    d.mask("ttlOutputEnable", &MonitorConfig::ttlOutputEnable, 0, 8, QStringLiteral("ТТЛ выход"),
           [](int k) { return QStringLiteral("Выход %1").arg(k); });
    for (int i = 0; i < link::kFans; ++i) {
        const QString row = QStringLiteral("ШИМ / Канал %1").arg(i + 1);
        const QString n = QString::number(i + 1);
        d.mask("fanEnable", &MonitorConfig::fanEnable, i, 1, QStringLiteral("ШИМ"),
               [i](int) { return QStringLiteral("Канал %1").arg(i + 1); });
        d.field(
            QStringLiteral("fanMin.") + n, row + QStringLiteral(" / Мин.уровень"),
            [i](const MonitorConfig &c) { return QString::number(c.fanMin[i]); },
            held.fanMin[i] != wanted.fanMin[i]);
        d.field(
            QStringLiteral("fanImpulse.") + n, row + QStringLiteral(" / Имп/обор"),
            [i](const MonitorConfig &c) { return listItem(kImpulseItems, c.fanImpulse[i]); },
            held.fanImpulse[i] != wanted.fanImpulse[i],
            [i](const MonitorConfig &c) { return QString::number(c.fanImpulse[i]); });
    }

    // Logging page.
    d.field(
        QStringLiteral("logPeriod"), QStringLiteral("Логирование / Период / Штатный"),
        [](const MonitorConfig &c) { return listItem(kPeriodItems, c.logPeriod); },
        held.logPeriod != wanted.logPeriod,
        [](const MonitorConfig &c) { return QString::number(c.logPeriod); });
    d.field(
        QStringLiteral("logAlarmPeriod"), QStringLiteral("Логирование / Период / Аварийный"),
        [](const MonitorConfig &c) { return listItem(kPeriodItems, c.logAlarmPeriod); },
        held.logAlarmPeriod != wanted.logAlarmPeriod,
        [](const MonitorConfig &c) { return QString::number(c.logAlarmPeriod); });
    d.mask("analogLogEnable", &MonitorConfig::analogLogEnable, 0, link::kAnalogChannels,
           QStringLiteral("Логирование / Аналоги"),
           [&](int k) { return analogCaption(k - 1, names); });
    d.mask("dallasLogEnable", &MonitorConfig::dallasLogEnable, 0, link::kSensors,
           QStringLiteral("Логирование / Температура"),
           [](int k) { return QStringLiteral("Темпер %1").arg(k); });
    return d.take();
}

} // namespace vardex::config
