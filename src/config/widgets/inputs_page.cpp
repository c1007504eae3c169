#include "config/widgets/inputs_page.h"

#include "common/conversions.h"
#include "config/captions.h"
#include "config/widgets/page_helpers.h"
#include "kit/widgets/number_edit.h"
#include "link/device_image.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace vardex::config {

namespace {

const QStringList &kResolutions = kResolutionItems;
constexpr int kTemperDecimals = 4; // 0.0625 steps stay exact

template <typename T> T *child(QWidget *w, const char *family, int n)
{
    return w->findChild<T *>(ui::memberName(family, n));
}

} // namespace

InputsPage::InputsPage(link::MonitorConfig &config, QWidget *parent)
    : QWidget(parent), m_config(config)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(buildAnalog());
    auto *lower = new QHBoxLayout;
    lower->addWidget(buildTemperature(), 1);
    lower->addWidget(
        buildChecks(tr("Концевики "), "cbContactEnabled", &link::MonitorConfig::contactEnable));
    lower->addWidget(
        buildChecks(tr("ТТЛ вход"), "cbTTLInputEnabled", &link::MonitorConfig::ttlInputEnable));
    layout->addLayout(lower);
    layout->addStretch(1);
}

QWidget *InputsPage::buildAnalog()
{
    auto *group = makeGroup(this, tr("Аналоги"));
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(3);
    const QString columns[] = {tr("Ax"), tr("B"), tr("Нижний "), tr("Верхний"), tr("Дребезг")};
    for (int c = 0; c < 5; ++c)
        grid->addWidget(makeColumnCaption(group, columns[c]), 0, c + 1);
    for (int n = 1; n <= link::kAnalogChannels; ++n) {
        const int i = n - 1;
        auto *enabled = makeCheck(group, "cbAnalogEnabled", n, tr(kAnalogCaptions[i]));
        connect(enabled, &QCheckBox::clicked, this, [this, i](bool on) {
            m_config.analogEnable = withMaskBit(m_config.analogEnable, i + 1, on);
        });
        auto *ax = makeNumberEdit(group, "AnalogAxEdit", n, 0, 32768, 6);
        if (n == 1)
            ax->setTypingDecimals(4); // channel 1's gain takes four places when typed
        connect(ax, &ui::NumberEdit::committed, this,
                [this, i](double v) { m_config.analogA[i] = static_cast<float>(v); });
        auto *bx = makeNumberEdit(group, "AnalogBxEdit", n, -32768, 32768, 6);
        connect(bx, &ui::NumberEdit::committed, this,
                [this, i](double v) { m_config.analogB[i] = static_cast<float>(v); });
        auto *low = makeNumberEdit(group, "AnalogAlarmLowEdit", n, 0, 32768, 2);
        connect(low, &ui::NumberEdit::committed, this, [this, i](double v) {
            m_config.analogAlarmLow[i] = analogToRaw(v, m_config.analogA[i], m_config.analogB[i]);
        });
        auto *high = makeNumberEdit(group, "AnalogAlarmHighEdit", n, 0, 32768, 2);
        connect(high, &ui::NumberEdit::committed, this, [this, i](double v) {
            m_config.analogAlarmHigh[i] = analogToRaw(v, m_config.analogA[i], m_config.analogB[i]);
        });
        auto *debounce = makeSpinEdit(group, ui::memberName("AnalogAlarmDebonceEdit", n), 1, 255);
        connect(debounce, &QSpinBox::editingFinished, this,
                [this, i, debounce] { m_config.analogAlarmDebounce[i] = debounce->value(); });
        grid->addWidget(enabled, n, 0);
        grid->addWidget(ax, n, 1);
        grid->addWidget(bx, n, 2);
        grid->addWidget(low, n, 3);
        grid->addWidget(high, n, 4);
        grid->addWidget(debounce, n, 5);
    }
    grid->setColumnStretch(6, 1);
    return group;
}

QWidget *InputsPage::buildTemperature()
{
    auto *group = makeGroup(this, tr("Температура"));
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    const QString columns[] = {tr("Точность"), tr("Нижний "), tr("Верхний"), tr("Дребезг")};
    for (int c = 0; c < 4; ++c)
        grid->addWidget(makeColumnCaption(group, columns[c]), 0, c + 1);
    for (int n = 1; n <= link::kSensors; ++n) {
        const int i = n - 1;
        auto *enabled = makeCheck(group, "cbTemperEnabled", n, tr("Темпер %1").arg(n));
        connect(enabled, &QCheckBox::clicked, this, [this, i](bool on) {
            m_config.temperEnable = withMaskBit(m_config.temperEnable, i + 1, on);
        });
        auto *resolution = makeList(group, ui::memberName("cbDallasResolution", n), kResolutions);
        resolution->setFixedWidth(70);
        // Thresholds stay raw: a new resolution changes what they mean, not their codes.
        connect(resolution, &QComboBox::activated, this, [this, i](int index) {
            if (index >= 0)
                m_config.dallasResolution[i] = static_cast<std::uint8_t>(index);
        });
        auto *low = makeNumberEdit(group, "TemperAlarmLowEdit", n, -40, 125, kTemperDecimals, 64);
        connect(low, &ui::NumberEdit::committed, this, [this, i](double v) {
            m_config.temperAlarmLow[i] = temperatureToRaw(v, m_config.dallasResolution[i]);
        });
        auto *high = makeNumberEdit(group, "TemperAlarmHighEdit", n, -40, 125, kTemperDecimals, 64);
        connect(high, &ui::NumberEdit::committed, this, [this, i](double v) {
            m_config.temperAlarmHigh[i] = temperatureToRaw(v, m_config.dallasResolution[i]);
        });
        auto *debounce =
            makeSpinEdit(group, ui::memberName("DallasAlarmDebonceEdit", n), 1, 255, 54);
        connect(debounce, &QSpinBox::editingFinished, this,
                [this, i, debounce] { m_config.dallasAlarmDebounce[i] = debounce->value(); });
        grid->addWidget(enabled, n, 0);
        grid->addWidget(resolution, n, 1);
        grid->addWidget(low, n, 2);
        grid->addWidget(high, n, 3);
        grid->addWidget(debounce, n, 4);
    }
    grid->setColumnStretch(5, 1);
    return group;
}

QWidget *InputsPage::buildChecks(const QString &title, const char *family,
                                 std::uint8_t link::MonitorConfig::*mask)
{
    auto *group = makeGroup(this, title);
    auto *column = new QVBoxLayout(group);
    column->setSpacing(3);
    for (int n = 1; n <= 8; ++n) {
        auto *box = makeCheck(group, family, n, tr("Вход %1").arg(n));
        connect(box, &QCheckBox::clicked, this,
                [this, mask, n](bool on) { m_config.*mask = withMaskBit(m_config.*mask, n, on); });
        column->addWidget(box);
    }
    column->addStretch(1);
    return group;
}

void InputsPage::showTemperatureAlarms(int n)
{
    const int i = n - 1;
    const int code = m_config.dallasResolution[i];
    child<ui::NumberEdit>(this, "TemperAlarmLowEdit", n)
        ->showValue(static_cast<double>(temperatureAlarmToShown(m_config.temperAlarmLow[i], code)));
    child<ui::NumberEdit>(this, "TemperAlarmHighEdit", n)
        ->showValue(
            static_cast<double>(temperatureAlarmToShown(m_config.temperAlarmHigh[i], code)));
}

void InputsPage::showConfig()
{
    auto showCheck = [this](const char *family, int n, bool on) {
        auto *box = child<QCheckBox>(this, family, n);
        box->setChecked(on);
    };
    for (int n = 1; n <= 8; ++n)
        showCheck("cbContactEnabled", n, maskBit(m_config.contactEnable, n));
    for (int n = 1; n <= 8; ++n)
        showCheck("cbTTLInputEnabled", n, maskBit(m_config.ttlInputEnable, n));

    for (int n = 1; n <= link::kAnalogChannels; ++n) {
        const int i = n - 1;
        showCheck("cbAnalogEnabled", n, maskBit(m_config.analogEnable, i + 1));
        child<ui::NumberEdit>(this, "AnalogAxEdit", n)->showValue(m_config.analogA[i]);
        child<ui::NumberEdit>(this, "AnalogBxEdit", n)->showValue(m_config.analogB[i]);
        const float a = m_config.analogA[i];
        const float b = m_config.analogB[i];
        child<ui::NumberEdit>(this, "AnalogAlarmLowEdit", n)
            ->showValue(static_cast<double>(analogToShown(m_config.analogAlarmLow[i], a, b)));
        child<ui::NumberEdit>(this, "AnalogAlarmHighEdit", n)
            ->showValue(static_cast<double>(analogToShown(m_config.analogAlarmHigh[i], a, b)));
        auto *debounce = findChild<QSpinBox *>(ui::memberName("AnalogAlarmDebonceEdit", n));
        const QSignalBlocker block(debounce);
        debounce->setValue(m_config.analogAlarmDebounce[i]);
    }

    for (int n = 1; n <= link::kSensors; ++n) {
        const int i = n - 1;
        showCheck("cbTemperEnabled", n, maskBit(m_config.temperEnable, i + 1));
        showListItem(child<QComboBox>(this, "cbDallasResolution", n), m_config.dallasResolution[i]);
        showTemperatureAlarms(n);
        auto *debounce = findChild<QSpinBox *>(ui::memberName("DallasAlarmDebonceEdit", n));
        const QSignalBlocker block(debounce);
        debounce->setValue(m_config.dallasAlarmDebounce[i]);
    }
}

void InputsPage::setChannelNames(const ChannelNames &names)
{
    for (int i = 0; i < 3; ++i) {
        if (auto *box = findChild<QCheckBox *>(ui::memberName("cbAnalogEnabled", 4 + i)))
            box->setText(names[i]);
    }
}

} // namespace vardex::config
