#include "loops/widgets/ext_box.h"

#include "kit/widgets/control_helpers.h"
#include "kit/widgets/focus_tint.h"
#include "kit/widgets/number_edit.h"
#include "link/data_module.h"
#include "loops/ext_coding.h"
#include "loops/loop_outputs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace vardex::loops {

namespace {

constexpr int kOutputRowHeight = 24;
constexpr int kOutputColumnWidth = 150;
constexpr int kOutputRows = 13; // 26 items in two columns

QComboBox *modeList(const char *name, QWidget *parent)
{
    return ui::makeModeList(QLatin1String(name), parent);
}

} // namespace

ExtBox::ExtBox(link::DataModule &dm, QWidget *parent) : QGroupBox(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("UprLoopConfigExtBox"));
    setTitle(QStringLiteral("Дополнительно"));
    setAutoFillBackground(true); // it lies over the loop page
    build();
    resize(kSize);
}

void ExtBox::build()
{
    auto *logicGroup = new QGroupBox(QStringLiteral("Логика входов"), this);
    auto *logicLayout = new QVBoxLayout(logicGroup);
    m_logic = new QCheckBox(QStringLiteral("Управление по И"), logicGroup);
    m_logic->setObjectName(QStringLiteral("UprLoopConfigExtLogictCheckBox"));
    ui::setHint(m_logic, QStringLiteral("Обьединение входов контура как логическое И"), false);
    logicLayout->addWidget(m_logic);
    connect(m_logic, &QCheckBox::clicked, this, [this](bool checked) {
        if (editable())
            m_dm.image().loopExt(m_loop).logic = ext::logicFor(checked);
    });

    auto *dimmerRow = new QHBoxLayout;
    auto *dimmerLabel = new QLabel(QStringLiteral("Диммер"), this);
    m_dimmer = new ui::NumberEdit(0, ext::kDimmerMax, 0, ui::NumberEdit::Commit::OnLeave, this);
    m_dimmer->setObjectName(QStringLiteral("UprLoopConfigExtDimmerEdit"));
    m_dimmer->setKeyboardTracking(true); // every change stores
    m_dimmer->setClampWhileTyping(true);
    m_dimmer->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    m_dimmer->setFixedWidth(70);
    ui::setHint(m_dimmer, QStringLiteral("ШИМ ключей градации от 0 до 32 "), false);
    dimmerLabel->setBuddy(m_dimmer);
    m_reserve = new QCheckBox(QStringLiteral("R"), this);
    m_reserve->setObjectName(QStringLiteral("UprLoopConfigExtReservCheckBox"));
    m_reserve->setVisible(false);
    dimmerRow->addWidget(dimmerLabel);
    dimmerRow->addWidget(m_dimmer);
    dimmerRow->addWidget(m_reserve);
    dimmerRow->addStretch(1);
    connect(m_dimmer, &QDoubleSpinBox::valueChanged, this, [this] { storeDimmer(); });
    connect(m_dimmer, &ui::NumberEdit::committed, this, [this] { storeDimmer(); });
    connect(m_reserve, &QCheckBox::clicked, this, [this](bool checked) {
        if (editable())
            m_dm.image().loopExt(m_loop).dimmer = checked ? ext::kDimmerMax : 0;
    });

    auto *left = new QVBoxLayout;
    left->addWidget(logicGroup);
    left->addWidget(buildTimingGroup());
    left->addWidget(buildUsbGroup());
    left->addLayout(dimmerRow);
    left->addStretch(1);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 0);
    layout->addWidget(buildOutputGroup(), 1);
}

QWidget *ExtBox::buildTimingGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Логика выхода"), this);
    auto *grid = new QGridLayout(group);
    struct Column {
        const char *caption;
        const char *name;
        const char *hint;
        int max;
        ui::NumberEdit **edit;
    };
    const Column columns[] = {
        {"Задержка", "UprLoopConfigExtTimerOffEdit",
         "Задержка выдачи управления  (дискретность 0.1сек)", ext::kTimerMax, &m_timerOff},
        {"Длител.", "UprLoopConfigExtTimerOnEdit",
         "Длительность импульса управления  (дискретность 0.1сек)", ext::kTimerMax, &m_timerOn},
        {"Кол-во имп.", "UprLoopConfigExtPulseNumberEdit",
         "Кол-во импульсов управления  (0 -бесконечно)", ext::kPulseMax, &m_pulses},
    };
    int col = 0;
    for (const Column &c : columns) {
        auto *edit = new ui::NumberEdit(0, c.max, 2, ui::NumberEdit::Commit::OnLeave, group);
        edit->setObjectName(QLatin1String(c.name));
        ui::setHint(edit, QString::fromUtf8(c.hint), false);
        edit->setFixedWidth(64);
        edit->setClampWhileTyping(true);
        grid->addWidget(new QLabel(QString::fromUtf8(c.caption), group), 0, col);
        grid->addWidget(edit, 1, col);
        *c.edit = edit;
        ++col;
    }
    connect(m_timerOff, &ui::NumberEdit::committed, this,
            [this] { storeTimer(m_timerOff, false); });
    connect(m_timerOn, &ui::NumberEdit::committed, this, [this] { storeTimer(m_timerOn, true); });
    connect(m_pulses, &ui::NumberEdit::committed, this, [this] { storePulse(); });
    return group;
}

QWidget *ExtBox::buildUsbGroup()
{
    auto *group = new QGroupBox(QStringLiteral("USB интерфейс "), this);
    auto *grid = new QGridLayout(group);
    m_usbActivity = new QCheckBox(QStringLiteral("Активность"), group);
    m_usbActivity->setObjectName(QStringLiteral("UprLoopConfigExtCheckUSBCheckBox"));
    ui::setHint(m_usbActivity, QStringLiteral("Активность на интерфейсе USB"), false);
    m_usbActivityMode = modeList("UprLoopConfigExtUSBModeBox", group);
    m_usbPower = new QCheckBox(QStringLiteral("+5В USB"), group);
    m_usbPower->setObjectName(QStringLiteral("UprLoopConfigExtCheckPowerUSBCheckBox"));
    ui::setHint(m_usbPower, QStringLiteral("Питание +5В на разьеме USB"), false);
    m_usbPowerMode = modeList("UprLoopConfigExtPowerUSBModeBox", group);
    grid->addWidget(m_usbActivity, 0, 0);
    grid->addWidget(m_usbActivityMode, 0, 1);
    grid->addWidget(m_usbPower, 1, 0);
    grid->addWidget(m_usbPowerMode, 1, 1);

    connect(m_usbActivity, &QCheckBox::clicked, this, [this](bool checked) {
        if (!editable())
            return;
        storeUsbBits(ext::kUsbActivity, checked);
        m_usbActivityMode->setEnabled(checked);
    });
    connect(m_usbPower, &QCheckBox::clicked, this, [this](bool checked) {
        if (!editable())
            return;
        storeUsbBits(ext::kUsbPower, checked);
        m_usbPowerMode->setEnabled(checked);
    });
    connect(m_usbActivityMode, &QComboBox::activated, this,
            [this](int index) { storeUsbBits(ext::kUsbActivityInverted, index == 1); });
    connect(m_usbPowerMode, &QComboBox::activated, this,
            [this](int index) { storeUsbBits(ext::kUsbPowerInverted, index == 1); });
    return group;
}

QWidget *ExtBox::buildOutputGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Выходы контуров"), this);
    auto *layout = new QVBoxLayout(group);
    m_outputs = new QListWidget(group);
    m_outputs->setObjectName(QStringLiteral("UprLoopOutCheckListBox"));
    ui::setHint(m_outputs,
                QStringLiteral("Выходы контуров управления используемые в логике контура"), false);
    // Two columns: items flow top to bottom and wrap after 13 rows.
    m_outputs->setFlow(QListView::TopToBottom);
    m_outputs->setWrapping(true);
    m_outputs->setResizeMode(QListView::Adjust);
    m_outputs->setUniformItemSizes(true);
    m_outputs->setSelectionMode(QAbstractItemView::NoSelection);
    m_outputs->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_outputs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_outputs->setSpacing(0);
    const int frame = 2 * m_outputs->frameWidth();
    m_outputs->setFixedSize(2 * kOutputColumnWidth + frame + 8,
                            kOutputRows * kOutputRowHeight + frame + 8);
    for (int k = 1; k <= link::kLoopCount; ++k) {
        auto *item = new QListWidgetItem(outputItemName(k), m_outputs);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
        item->setSizeHint(QSize(kOutputColumnWidth, kOutputRowHeight));
    }
    layout->addWidget(m_outputs);
    layout->addStretch(1);
    connect(m_outputs, &QListWidget::itemChanged, this, &ExtBox::onOutputItemChanged);
    return group;
}

void ExtBox::showLoop(int n)
{
    m_loop = n;
    if (n < 1 || n > link::kLoopCount)
        return;
    const link::UprLoopConfigExt &x = m_dm.image().loopExt(n);
    m_filling = true;
    m_logic->setChecked(ext::logicIsAnd(x.logic));
    m_timerOff->showValue(x.timerOff);
    m_timerOn->showValue(x.timerOn);
    m_pulses->showValue(x.pulseNumber);
    m_usbActivity->setChecked(ext::hasBits(x.usbMode, ext::kUsbActivity));
    m_usbActivityMode->setCurrentIndex(ext::hasBits(x.usbMode, ext::kUsbActivityInverted) ? 1 : 0);
    m_usbPower->setChecked(ext::hasBits(x.usbMode, ext::kUsbPower));
    m_usbPowerMode->setCurrentIndex(ext::hasBits(x.usbMode, ext::kUsbPowerInverted) ? 1 : 0);
    m_usbActivityMode->setEnabled(m_usbActivity->isChecked());
    m_usbPowerMode->setEnabled(m_usbPower->isChecked());
    m_reserve->setChecked(x.dimmer != 0);
    m_dimmer->showValue(x.dimmer);
    const ext::OutputItems items = ext::outputItems(m_dm.image().config, n, x.outputMask);
    for (int i = 0; i < link::kLoopCount; ++i) {
        QListWidgetItem *item = m_outputs->item(i);
        const ext::OutputItem &state = items[static_cast<std::size_t>(i)];
        item->setFlags(state.enabled ? (item->flags() | Qt::ItemIsEnabled)
                                     : (item->flags() & ~Qt::ItemIsEnabled));
        item->setCheckState(state.checked ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
}

void ExtBox::commitPending()
{
    for (ui::NumberEdit *edit : {m_timerOff, m_timerOn, m_pulses, m_dimmer})
        edit->commitPending();
}

void ExtBox::storeTimer(ui::NumberEdit *edit, bool on)
{
    if (!editable())
        return;
    auto &x = m_dm.image().loopExt(m_loop);
    (on ? x.timerOn : x.timerOff) = ext::timerFromShown(edit->value());
    edit->clearUserChanged();
}

void ExtBox::storePulse()
{
    if (!editable())
        return;
    auto &x = m_dm.image().loopExt(m_loop);
    x.pulseNumber = ext::pulseFromShown(m_pulses->value());
    // Only whole pulses exist: show what was kept.
    m_pulses->showValue(x.pulseNumber);
}

void ExtBox::storeDimmer()
{
    if (!editable())
        return;
    m_dm.image().loopExt(m_loop).dimmer = ext::dimmerFromShown(m_dimmer->value());
    m_dimmer->clearUserChanged();
}

void ExtBox::storeUsbBits(std::uint8_t bits, bool set)
{
    if (!editable())
        return;
    auto &x = m_dm.image().loopExt(m_loop);
    x.usbMode = ext::withBits(x.usbMode, bits, set);
}

void ExtBox::onOutputItemChanged(QListWidgetItem *)
{
    if (!editable())
        return;
    m_filling = true;
    ext::OutputItems items{};
    for (int i = 0; i < link::kLoopCount; ++i) {
        QListWidgetItem *item = m_outputs->item(i);
        auto &state = items[static_cast<std::size_t>(i)];
        state.enabled = item->flags().testFlag(Qt::ItemIsEnabled);
        if (!state.enabled)
            item->setCheckState(Qt::Unchecked);
        state.checked = item->checkState() == Qt::Checked;
    }
    m_filling = false;
    m_dm.image().loopExt(m_loop).outputMask = ext::outputMask(items);
}

} // namespace vardex::loops
