#include "config/widgets/logging_page.h"

#include "config/captions.h"
#include "config/widgets/page_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vardex::config {

namespace {

const QStringList &kPeriods = kPeriodItems;

} // namespace

LoggingPage::LoggingPage(link::MonitorConfig &config, QWidget *parent)
    : QWidget(parent), m_config(config)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    auto *period = makeGroup(this, tr("Период"));
    auto *grid = new QGridLayout(period);
    grid->setVerticalSpacing(6);
    auto *normal = makeList(period, QStringLiteral("LogPeriodEdit"), kPeriods);
    auto *alarm = makeList(period, QStringLiteral("LogAlarmPeriodEdit"), kPeriods);
    for (QComboBox *list : {normal, alarm})
        list->setFixedWidth(90);
    connect(normal, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            m_config.logPeriod = static_cast<std::uint8_t>(index);
    });
    connect(alarm, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            m_config.logAlarmPeriod = static_cast<std::uint8_t>(index);
    });
    grid->addWidget(new QLabel(tr("Штатный"), period), 0, 0);
    grid->addWidget(normal, 0, 1);
    grid->addWidget(new QLabel(tr("Аварийный"), period), 1, 0);
    grid->addWidget(alarm, 1, 1);
    grid->setRowStretch(2, 1);

    auto checks = [this](const QString &title, const char *family, auto caption,
                         std::uint8_t link::MonitorConfig::*mask) {
        auto *group = makeGroup(this, title);
        auto *column = new QVBoxLayout(group);
        column->setSpacing(3);
        for (int n = 1; n <= 6; ++n) {
            auto *box = makeCheck(group, family, n, caption(n));
            connect(box, &QCheckBox::clicked, this, [this, mask, n](bool on) {
                m_config.*mask = withMaskBit(m_config.*mask, n, on);
            });
            column->addWidget(box);
        }
        column->addStretch(1);
        return group;
    };
    auto *left = new QVBoxLayout;
    left->addWidget(period);
    left->addStretch(1);
    layout->addLayout(left);
    layout->addWidget(checks(
                          tr("Аналоги "), "cbAnalogLogEnabled",
                          [this](int n) { return tr(kAnalogCaptions[n - 1]); },
                          &link::MonitorConfig::analogLogEnable),
                      0, Qt::AlignTop);
    layout->addWidget(checks(
                          tr("Температура"), "cbDallasLogEnabled",
                          [this](int n) { return tr("Темпер %1").arg(n); },
                          &link::MonitorConfig::dallasLogEnable),
                      0, Qt::AlignTop);
    layout->addStretch(1);
}

void LoggingPage::showConfig()
{
    showListItem(findChild<QComboBox *>(QStringLiteral("LogPeriodEdit")), m_config.logPeriod);
    showListItem(findChild<QComboBox *>(QStringLiteral("LogAlarmPeriodEdit")),
                 m_config.logAlarmPeriod);
    for (int n = 1; n <= 6; ++n) {
        auto *box = findChild<QCheckBox *>(ui::memberName("cbAnalogLogEnabled", n));
        box->setEnabled(maskBit(m_config.analogEnable, n));
        box->setChecked(maskBit(m_config.analogLogEnable, n));
    }
    for (int n = 1; n <= 6; ++n) {
        auto *box = findChild<QCheckBox *>(ui::memberName("cbDallasLogEnabled", n));
        box->setEnabled(maskBit(m_config.temperEnable, n));
        box->setChecked(maskBit(m_config.dallasLogEnable, n));
    }
}

void LoggingPage::setChannelNames(const ChannelNames &names)
{
    for (int i = 0; i < 3; ++i) {
        if (auto *box = findChild<QCheckBox *>(ui::memberName("cbAnalogLogEnabled", 4 + i)))
            box->setText(names[i]);
    }
}

} // namespace vardex::config
