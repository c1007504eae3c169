#include "work/widgets/work_inputs.h"

#include "link/device_image.h"
#include "work/masks.h"
#include "work/value_format.h"
#include "work/widgets/work_look.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vardex::ui {

using namespace worklook;

namespace {

// Analog channel labels; 4, 5 and the mains are renamed by the main window.

QGroupBox *valueGroup(const QString &name, const QString &title, QWidget *parent)
{
    auto *group = groupBox(name, title, parent);
    auto *grid = new QGridLayout(group);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setVerticalSpacing(4);
    grid->setHorizontalSpacing(6);
    return group;
}

QGroupBox *boxGroup(const QString &name, const QString &title, const char *family,
                    std::array<QCheckBox *, 8> &boxes, QWidget *parent)
{
    auto *group = groupBox(name, title, parent);
    auto *column = new QVBoxLayout(group);
    column->setContentsMargins(6, 2, 6, 4);
    column->setSpacing(2);
    for (int k = 1; k <= 8; ++k) {
        boxes[k - 1] = checkBox(memberName(family, k), QStringLiteral("Вход %1").arg(k), k, group);
        column->addWidget(boxes[k - 1]);
    }
    column->addStretch(1);
    // Display only: the whole group is disabled.
    group->setEnabled(false);
    return group;
}

} // namespace

WorkInputs::WorkInputs(QWidget *parent) : QGroupBox(tr("Входные параметры"), parent)
{
    setObjectName(QStringLiteral("InputsGroupBox"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setSpacing(6);

    auto *temper = valueGroup(QStringLiteral("TemperGroupBox"), tr("Температура"), this);
    auto *temperGrid = static_cast<QGridLayout *>(temper->layout());
    for (int k = 1; k <= 6; ++k) {
        auto *label = new QLabel(QStringLiteral("Темпер %1").arg(k), temper);
        label->setObjectName(memberName("Label", k));
        m_temper[k - 1] = valueField(memberName("stTemper", k), temper);
        temperGrid->addWidget(label, k - 1, 0);
        temperGrid->addWidget(m_temper[k - 1], k - 1, 1);
    }

    auto *analog = valueGroup(QStringLiteral("AnalogGroupBox"), tr("Аналоги "), this);
    auto *analogGrid = static_cast<QGridLayout *>(analog->layout());
    for (int k = 1; k <= 6; ++k) {
        auto *label = new QLabel(QString::fromUtf8(kAnalogCaptions[k - 1]), analog);
        label->setObjectName(memberName("Label", 6 + k));
        m_analogCaptions[k - 1] = label;
        m_analog[k - 1] =
            valueField(k <= 5 ? memberName("stAnalog", k) : QStringLiteral("stPower"), analog);
        analogGrid->addWidget(label, k - 1, 0);
        analogGrid->addWidget(m_analog[k - 1], k - 1, 1);
    }

    grid->addWidget(temper, 0, 0);
    grid->addWidget(analog, 0, 1);
    grid->addWidget(boxGroup(QStringLiteral("TtlInputGroupBox"), tr("ТТЛ вход"), "cbDigitInput",
                             m_ttlInputs, this),
                    1, 0);
    grid->addWidget(boxGroup(QStringLiteral("ContactGroupBox"), tr("Концевики "), "cbContact",
                             m_contacts, this),
                    1, 1);
    grid->setRowStretch(2, 1);
}

void WorkInputs::showState(const link::MonitorState &state, const link::MonitorConfig &config)
{
    for (int k = 1; k <= 8; ++k) {
        const bool contact = work::maskBit(state.contactInputs, k);
        m_contacts[k - 1]->setChecked(contact);
        setActiveLook(m_contacts[k - 1], contact);
        m_ttlInputs[k - 1]->setChecked(work::maskBit(state.ttlInputs, k));
    }
    for (int k = 0; k < 6; ++k)
        setValueText(m_analog[k], work::formatAnalog(state.analogValues[k]));
    for (int k = 0; k < 6; ++k)
        setValueText(m_temper[k],
                     work::temperatureText(state.temperatures[k], config.dallasResolution[k]));
}

void WorkInputs::enableChannels(const link::MonitorConfig &config)
{
    for (int k = 1; k <= 8; ++k) {
        m_contacts[k - 1]->setEnabled(work::maskBit(config.contactEnable, k));
        m_ttlInputs[k - 1]->setEnabled(work::maskBit(config.ttlInputEnable, k));
    }
    for (int k = 1; k <= 6; ++k) {
        m_analog[k - 1]->setEnabled(work::maskBit(config.analogEnable, k));
        m_temper[k - 1]->setEnabled(work::maskBit(config.temperEnable, k));
    }
}

void WorkInputs::setChannelNames(const ChannelNames &names)
{
    for (int i = 0; i < 3; ++i)
        m_analogCaptions[static_cast<std::size_t>(3 + i)]->setText(names[i]);
}

} // namespace vardex::ui
