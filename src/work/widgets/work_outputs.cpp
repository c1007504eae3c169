#include "work/widgets/work_outputs.h"

#include "link/data_module.h"
#include "work/loop_hold.h"
#include "work/masks.h"
#include "work/widgets/work_look.h"
#include "work/work_transfer.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace vardex::ui {

using namespace worklook;
using work::OutputFamily;

namespace {

// One group of output boxes: members name1..nameN carry tags firstTag.. onwards.
struct BoxFamily {
    const char *groupName;
    const char *title;
    const char *name;
    const char *caption;
    OutputFamily family;
    int firstTag;
    int count;
};

constexpr BoxFamily kRelays = {"RelayGroupBox",     "Реле", "cbRelay", "Реле %1",
                               OutputFamily::Relay, 1,      6};
constexpr BoxFamily kTtlOutputs = {
    "TtlOutputGroupBox", "ТТЛ выход", "cbDigitOut", "Выход %1", OutputFamily::TtlOutput, 1, 8};
constexpr BoxFamily kHighSwitches = {
    "HighSwitchGroupBox", "Верхний ключ", "cbHighSwitch", "Ключ %1", OutputFamily::Switch, 1, 4};
constexpr BoxFamily kLowSwitches = {
    "LowSwitchGroupBox", "Нижний ключ", "cbLowSwitch", "Ключ %1", OutputFamily::Switch, 5, 4};

std::uint8_t enableMask(const link::MonitorConfig &config, OutputFamily family)
{
    switch (family) {
    case OutputFamily::Relay:
        return config.relayEnable;
    case OutputFamily::TtlOutput:
        return config.ttlOutputEnable;
    case OutputFamily::Switch:
        return config.switchEnable;
    }
    return 0;
}

} // namespace

WorkOutputs::WorkOutputs(link::DataModule &dm, QWidget *parent)
    : QGroupBox(tr("Управление"), parent), m_dm(dm)
{
    setObjectName(QStringLiteral("ControlGroupBox"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setSpacing(6);

    auto makeFamily = [this](const BoxFamily &f) {
        auto *group = groupBox(QLatin1String(f.groupName), tr(f.title), this);
        auto *column = new QVBoxLayout(group);
        column->setContentsMargins(6, 2, 6, 4);
        column->setSpacing(1);
        for (int i = 0; i < f.count; ++i) {
            auto *box = checkBox(memberName(f.name, i + 1), tr(f.caption).arg(i + 1),
                                 f.firstTag + i, group);
            box->setEnabled(false);
            column->addWidget(box);
            m_boxes.push_back({f.family, box});
            const OutputFamily family = f.family;
            connect(box, &QCheckBox::clicked, this,
                    [this, family, box] { onBoxClicked(family, box); });
        }
        column->addStretch(1);
        return group;
    };

    auto *switches = new QVBoxLayout;
    switches->setSpacing(6);
    switches->addWidget(makeFamily(kHighSwitches));
    switches->addWidget(makeFamily(kLowSwitches));
    grid->addWidget(makeFamily(kRelays), 0, 0);
    grid->addWidget(makeFamily(kTtlOutputs), 0, 1);
    grid->addLayout(switches, 0, 2);

    auto *fans = groupBox(QStringLiteral("FanGroupBox"), tr("Вентиляторы"), this);
    auto *fanGrid = new QGridLayout(fans);
    fanGrid->setContentsMargins(6, 2, 6, 4);
    fanGrid->setHorizontalSpacing(6);
    fanGrid->setVerticalSpacing(3);
    auto *taskHeading = new QLabel(tr("Задание (0-100%)"), fans);
    taskHeading->setObjectName(QStringLiteral("FanTaskHeading"));
    auto *speedHeading = new QLabel(tr("Скорость"), fans);
    speedHeading->setObjectName(QStringLiteral("FanSpeedHeading"));
    fanGrid->addWidget(taskHeading, 0, 1, 1, 2);
    fanGrid->addWidget(speedHeading, 0, 3);
    for (int k = 1; k <= 4; ++k) {
        auto *number = new QLabel(QString::number(k), fans);
        number->setObjectName(memberName("FanNumberLabel", k));
        auto *bar = new QScrollBar(Qt::Horizontal, fans);
        bar->setObjectName(memberName("FanBar", k));
        bar->setProperty("tag", k);
        bar->setRange(0, 100);
        bar->setSingleStep(1);
        bar->setPageStep(10);
        bar->setMinimumWidth(110);
        bar->setEnabled(false);
        auto *label = new QLabel(work::fanTaskText(0), fans);
        label->setObjectName(memberName("FanTaskLabel", k));
        // Fixed: "0 %" and "100 %" take the same room, so the bar beside it never moves.
        // Fixed in height too, so a new task repaints the label and lays out nothing.
        label->setFixedSize(label->fontMetrics().horizontalAdvance(QStringLiteral("100 %")) + 4,
                            label->sizeHint().height());
        setHint(label, tr("Текущее задание вентилятора №%1").arg(k), true);
        auto *speed = valueField(memberName("stFanSpeed", k), fans);
        connect(bar, &QScrollBar::valueChanged, this,
                [this, bar](int position) { onFanBarChanged(bar, position); });
        fanGrid->addWidget(number, k, 0);
        fanGrid->addWidget(bar, k, 1);
        fanGrid->addWidget(label, k, 2);
        fanGrid->addWidget(speed, k, 3);
        m_fanBars[k - 1] = bar;
        m_fanTaskLabels[k - 1] = label;
        m_fanSpeeds[k - 1] = speed;
    }
    fanGrid->setColumnStretch(1, 1);
    grid->addWidget(fans, 1, 0, 1, 3);

    m_taskButton = new QPushButton(tr("Задание"), this);
    m_taskButton->setObjectName(QStringLiteral("WorkTaskBtn"));
    m_taskButton->setEnabled(false);
    setHint(m_taskButton, tr("Выдать задание в монитор"), true);
    connect(m_taskButton, &QPushButton::clicked, this, &WorkOutputs::sendTask);
    grid->addWidget(m_taskButton, 2, 0, 1, 3, Qt::AlignRight);
    grid->setRowStretch(3, 1);
}

void WorkOutputs::onBoxClicked(OutputFamily family, QCheckBox *box)
{
    work::setOutputTaskBit(m_dm.image().outputTask, family, box->property("tag").toInt(),
                           box->isChecked());
}

void WorkOutputs::onFanBarChanged(QScrollBar *bar, int position)
{
    const int k = bar->property("tag").toInt();
    if (work::setFanTask(m_dm.image().outputTask, k, position))
        m_fanTaskLabels[static_cast<std::size_t>(k - 1)]->setText(work::fanTaskText(position));
}

void WorkOutputs::sendTask()
{
    // Fire and forget: the effect shows at the next state display. One exchange, so it
    // runs at the next step of a long sequence rather than after it.
    m_dm.runBetweenSteps(tr("Задание выходов"),
                         [](link::OperationContext &ctx) { work::sendOutputTask(ctx); });
}

void WorkOutputs::showState(const link::MonitorState &state)
{
    for (const Box &b : m_boxes) {
        const int tag = b.box->property("tag").toInt();
        setActiveLook(b.box, work::maskBit(work::outputStateByte(state, b.family), tag));
        // Green and bold with the box unticked: say which loop holds it on.
        const QString held = work::heldByLoopHint(state, b.family, tag);
        if (b.box->toolTip() != held) {
            b.box->setToolTip(held);
            b.box->setStatusTip(held);
        }
    }
    for (std::size_t k = 0; k < m_fanSpeeds.size(); ++k) {
        setValueText(m_fanSpeeds[k], QString::number(state.fanSpeeds[k]));
        m_fanTaskLabels[k]->setText(work::fanTaskText(state.fanTasks[k]));
    }
}

void WorkOutputs::enableChannels(const link::MonitorConfig &config)
{
    for (const Box &b : m_boxes)
        b.box->setEnabled(
            work::maskBit(enableMask(config, b.family), b.box->property("tag").toInt()));
    for (int k = 1; k <= 4; ++k) {
        const bool on = work::maskBit(config.fanEnable, k);
        m_fanBars[k - 1]->setEnabled(on);
        m_fanSpeeds[k - 1]->setEnabled(on);
    }
}

} // namespace vardex::ui
