#include "config/widgets/outputs_page.h"

#include "config/captions.h"
#include "config/widgets/page_helpers.h"
#include "kit/widgets/number_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

namespace vardex::config {

namespace {

using MC = link::MonitorConfig;

// Loop nodes: TTL outputs 2..9, high-side 11..14, low-side 16..19, relays 21..26,
// PWM 28..31 (absolute tree indices).
const char *const kTtl = "cbTTLOtputEnabled";
const char *const kHigh = "cbSwitchHighEnabled";
const char *const kLow = "cbSwitchLowEnabled";
const char *const kRelay = "cbRelayEnabled";
const char *const kFan = "cbFanEnabled";

const QStringList &kImpulses = kImpulseItems;

} // namespace

OutputsPage::OutputsPage(link::MonitorConfig &config, QWidget *parent)
    : QWidget(parent), m_config(config)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    auto *top = new QHBoxLayout;
    top->addWidget(buildFans());
    top->addStretch(1);
    layout->addLayout(top);
    auto *row = new QHBoxLayout;
    row->addWidget(
        buildFamily(tr("Верхний ключ"), {kHigh, "Ключ %1", &MC::switchEnable, 0, 4, 11}));
    row->addWidget(buildFamily(tr("Нижний ключ"), {kLow, "Ключ %1", &MC::switchEnable, 4, 4, 16}));
    row->addWidget(buildFamily(tr("Реле"), {kRelay, "Реле %1", &MC::relayEnable, 0, 6, 21}));
    row->addWidget(buildFamily(tr("ТТЛ выход"), {kTtl, "Выход %1", &MC::ttlOutputEnable, 0, 8, 2}));
    row->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(1);
}

QWidget *OutputsPage::buildFans()
{
    auto *group = makeGroup(this, tr("ШИМ"));
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(3);
    grid->addWidget(makeColumnCaption(group, tr("Мин.уровень")), 0, 1);
    grid->addWidget(makeColumnCaption(group, tr("Имп/обор")), 0, 2);
    for (int n = 1; n <= link::kFans; ++n) {
        const int i = n - 1;
        auto *enabled = makeCheck(group, kFan, n, tr("Канал %1").arg(n));
        connect(enabled, &QCheckBox::clicked, this, [this, i](bool on) {
            m_config.fanEnable = withMaskBit(m_config.fanEnable, i + 1, on);
            emit nodeLookChanged(28 + i, on);
        });
        auto *min = makeNumberEdit(group, "FanMinEdit", n, 1, 100, 0);
        min->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
        connect(min, &ui::NumberEdit::committed, this, [this, i](double v) {
            m_config.fanMin[i] = static_cast<std::uint8_t>(std::lround(v));
        });
        auto *impulses = makeList(group, ui::memberName("cbFanImpuls", n), kImpulses);
        impulses->setFixedWidth(60);
        connect(impulses, &QComboBox::activated, this, [this, i](int index) {
            if (index >= 0)
                m_config.fanImpulse[i] = static_cast<std::uint8_t>(index);
        });
        grid->addWidget(enabled, n, 0);
        grid->addWidget(min, n, 1);
        grid->addWidget(impulses, n, 2);
    }
    return group;
}

QWidget *OutputsPage::buildFamily(const QString &title, const Family &family)
{
    auto *group = makeGroup(this, title);
    group->setProperty("family", QLatin1String(family.name));
    auto *column = new QVBoxLayout(group);
    column->setSpacing(3);
    for (int n = 1; n <= family.count; ++n) {
        auto *box = makeCheck(group, family.name, n, tr(family.caption).arg(n));
        const int bit = family.firstBit + n - 1;
        const int node = family.firstNode + n - 1;
        const auto mask = family.mask;
        connect(box, &QCheckBox::clicked, this, [this, mask, bit, node](bool on) {
            m_config.*mask = withMaskBit(m_config.*mask, bit + 1, on);
            emit nodeLookChanged(node, on);
        });
        column->addWidget(box);
    }
    column->addStretch(1);
    return group;
}

void OutputsPage::showFamily(const Family &family)
{
    for (int n = 1; n <= family.count; ++n) {
        const bool on = maskBit(m_config.*family.mask, family.firstBit + n);
        findChild<QCheckBox *>(ui::memberName(family.name, n))->setChecked(on);
        emit nodeLookChanged(family.firstNode + n - 1, on);
    }
}

void OutputsPage::showConfig()
{
    showFamily({kTtl, "", &MC::ttlOutputEnable, 0, 8, 2});
    showFamily({kLow, "", &MC::switchEnable, 4, 4, 16});
    showFamily({kHigh, "", &MC::switchEnable, 0, 4, 11});
    showFamily({kRelay, "", &MC::relayEnable, 0, 6, 21});
    for (int n = 1; n <= link::kFans; ++n) {
        const int i = n - 1;
        findChild<ui::NumberEdit *>(ui::memberName("FanMinEdit", n))->showValue(m_config.fanMin[i]);
        showListItem(findChild<QComboBox *>(ui::memberName("cbFanImpuls", n)),
                     m_config.fanImpulse[i]);
        const bool on = maskBit(m_config.fanEnable, i + 1);
        findChild<QCheckBox *>(ui::memberName(kFan, n))->setChecked(on);
        emit nodeLookChanged(28 + i, on);
    }
}

} // namespace vardex::config
