#include "service/widgets/pwm_switch_page.h"

#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "work/description_transfer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace vardex::service {

namespace {

QSpinBox *spinEdit(const char *name, int minimum, int maximum, int value, QWidget *parent)
{
    auto *spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setMinimumWidth(70);
    return spin;
}

} // namespace

PwmSwitchPage::PwmSwitchPage(ui::PageContext context, QWidget *parent)
    : QWidget(parent), m_ctx(context)
{
    setObjectName(QStringLiteral("PwmSwitchPage"));
    auto *outer = new QVBoxLayout(this);
    auto *group = new QGroupBox(tr("Формирование плавной подсветки "), this);
    group->setObjectName(QStringLiteral("PWMSwitchGroupBox"));
    outer->addWidget(group, 0, Qt::AlignLeft | Qt::AlignTop);
    // Why a checked box changes nothing yet.
    m_waitLabel = new QLabel(tr("Контуры контроллера ещё не прочитаны (кнопка «Описание»): "
                                "до этого в контроллер ничего не записывается."),
                             this);
    m_waitLabel->setObjectName(QStringLiteral("PWMSwitchWaitLabel"));
    m_waitLabel->setWordWrap(true);
    outer->addWidget(m_waitLabel);
    outer->addStretch(1);

    auto *row = new QHBoxLayout(group);
    row->setSpacing(12);
    const char *groupCaptions[] = {"Верхний ключ", "Нижний ключ"};
    for (int side = 0; side < 2; ++side) {
        auto *keys = new QGroupBox(tr(groupCaptions[side]), group);
        auto *column = new QVBoxLayout(keys);
        for (int k = 1; k <= 4; ++k) {
            const int n = side * 4 + k;
            auto *box = new QCheckBox(tr("Ключ %1").arg(k), keys);
            box->setObjectName(QStringLiteral("PWMSwitchCheckBox%1").arg(n));
            box->setProperty("tag", n);
            column->addWidget(box);
            m_boxes[static_cast<std::size_t>(n - 1)] = box;
        }
        column->addStretch(1);
        row->addWidget(keys);
    }

    auto *settings = new QFormLayout;
    settings->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_rampSeconds = spinEdit("PWMSwitchTimerEdit", 6, 255, 16, group);
    m_steps = new QComboBox(group);
    m_steps->setObjectName(QStringLiteral("cbPWMSwitchStep"));
    m_steps->addItems({QStringLiteral("32"), QStringLiteral("128")});
    m_steps->setCurrentIndex(1);
    m_max = spinEdit("PWMMaxSpinEdit", 10, 128, PwmSweep::kDefaultMaximum, group);
    m_min = spinEdit("PWMMinSpinEdit", 0, 100, PwmSweep::kDefaultMinimum, group);
    settings->addRow(tr("Интервал (сек)"), m_rampSeconds);
    settings->addRow(tr("Кол-во шагов"), m_steps);
    settings->addRow(tr("Макс.ШИМ"), m_max);
    settings->addRow(tr("Мин.ШИМ"), m_min);
    row->addLayout(settings);

    // valueChanged fires only when the shown value really changes, which is when the
    // sweep's limits must follow (a limit clamping the value counts as a change).
    connect(m_rampSeconds, &QSpinBox::valueChanged, this, &PwmSwitchPage::rampSecondsChanged);
    connect(m_steps, &QComboBox::currentIndexChanged, this, &PwmSwitchPage::stepItemChanged);
    connect(m_max, &QSpinBox::valueChanged, this, [this](int v) { m_sweep.setMaximum(v); });
    connect(m_min, &QSpinBox::valueChanged, this, [this](int v) { m_sweep.setMinimum(v); });

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("PWMSwitchTimer"));
    m_timer->setInterval(kTimerStartMs);
    connect(m_timer, &QTimer::timeout, this, &PwmSwitchPage::tick);
    m_timer->start();
}

void PwmSwitchPage::tick()
{
    std::array<bool, kSweepBoxes> checked{};
    for (std::size_t i = 0; i < checked.size(); ++i)
        checked[i] = m_boxes[i]->isChecked();
    const bool anyChecked = std::find(checked.begin(), checked.end(), true) != checked.end();
    const auto outcome =
        m_ctx.dm.runTick(this, [this, checked, anyChecked](link::OperationContext &ctx) {
            if (runSweepTick(ctx, m_sweep, checked, m_loopsKnown))
                m_ctx.statusBar.withdrawPanelText(5, std::exchange(m_heldText, QString()));
            else if (anyChecked)
                showHeld(tr("Подсветка: шаг пропущен — идёт чтение или запись контуров"));
        });
    if (outcome == link::DataModule::TickOutcome::Skipped && anyChecked)
        showHeld(tr("Подсветка: шаг пропущен — канал связи занят"));
}

void PwmSwitchPage::showHeld(const QString &text)
{
    m_heldText = text;
    m_ctx.statusBar.setPanelText(5, text);
}

void PwmSwitchPage::rampSecondsChanged(int seconds)
{
    m_timer->setInterval(m_sweep.setRampSeconds(seconds));
}

void PwmSwitchPage::stepItemChanged(int item)
{
    if (item < 0)
        return;
    m_sweep.setStepItem(item);
    const int steps = m_sweep.stepCount();
    m_max->setMaximum(steps);
    m_max->setValue(steps);
    m_min->setMaximum(steps - 10);
    m_min->setValue(0);
}

void PwmSwitchPage::onConnectionChanged(bool connected)
{
    if (!connected)
        m_loopsKnown = false;
    m_waitLabel->setVisible(!m_loopsKnown);
}

void PwmSwitchPage::onDescriptionRead(const link::DescriptionResult &result)
{
    m_loopsKnown = result.described;
    m_waitLabel->setVisible(!m_loopsKnown);
}

void PwmSwitchPage::onClosing()
{
    m_timer->stop();
}

} // namespace vardex::service
