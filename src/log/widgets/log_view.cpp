#include "log/widgets/log_view.h"

#include "kit/widgets/control_helpers.h"
#include "log/sensor_resolutions.h"
#include "work/value_format.h"
#include "work/widgets/work_look.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vardex::log {

namespace look = ui::worklook;

namespace {

// The page lives in a window of fixed size: groups within groups keep their margins
// small, or the record no longer fits it.
void compact(QLayout *layout)
{
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);
}

QString member(const char *family, int n)
{
    return ui::memberName(family, n);
}

QLabel *valueText(const QString &name, const QString &initial, QWidget *parent)
{
    auto *field = new QLabel(initial, parent);
    field->setObjectName(name);
    field->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setMargin(1);
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("-000.0")) + 10);
    return field;
}

// A reading of a record: wide enough for every temperature a sensor gives, fixed so the
// view never reflows; an analog float too wide for it is cut visibly by setValueText,
// never by the frame, which would drop its leading digits or sign without a trace.
QLabel *readingText(const QString &name, QWidget *parent)
{
    QLabel *field = valueText(name, QStringLiteral("0.0"), parent);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("-16384.0")) + 10);
    return field;
}

// Shows a state only: the engineer cannot tick it, yet it reads like a live control.
// Boxes that turn bold take the room of their bold caption from the start, so a
// switched-on output is never cut off.
QCheckBox *displayBox(const QString &name, const QString &caption, QWidget *parent,
                      bool turnsBold = false)
{
    QCheckBox *box =
        turnsBold ? look::checkBox(name, caption, 0, parent) : new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QGroupBox *boxColumn(const QString &title, QWidget *parent, const char *family, int count,
                     const QString &captionStem, QCheckBox **out, int columns = 1,
                     bool turnsBold = false)
{
    auto *group = new QGroupBox(title, parent);
    auto *layout = new QGridLayout(group);
    layout->setVerticalSpacing(0);
    layout->setContentsMargins(6, 2, 6, 2);
    const int rows = (count + columns - 1) / columns;
    for (int n = 1; n <= count; ++n) {
        out[n - 1] =
            displayBox(member(family, n), captionStem + QString::number(n), group, turnsBold);
        layout->addWidget(out[n - 1], (n - 1) % rows, (n - 1) / rows);
    }
    layout->setRowStretch(rows, 1);
    return group;
}

QString flagCaption(int k)
{
    if (k <= 5)
        return QStringLiteral("Аналог %1").arg(k);
    if (k == 6)
        return QStringLiteral("Сеть 220");
    if (k == 7)
        return QStringLiteral("Батарея");
    if (k == 8)
        return QStringLiteral("3.3 В");
    if (k >= 17 && k <= 22)
        return QStringLiteral("Темпер %1").arg(k - 16);
    if (k >= 23 && k <= 28)
        return QStringLiteral("Обр. %1").arg(k - 22);
    if (k >= 29 && k <= 32)
        return QStringLiteral("Вент. %1").arg(k - 28);
    if (k >= 33 && k <= 58)
        return QStringLiteral("Кон.%1").arg(k - 32);
    return {};
}

bool flagHidden(int k)
{
    return (k >= 9 && k <= 16) || k >= 59;
}

void setBit(QCheckBox *box, std::uint8_t byte, int bit)
{
    box->setChecked((byte >> bit) & 1);
}

// Ticked by the control bit, green and bold by the state bit.
void setOutput(QCheckBox *box, std::uint8_t control, std::uint8_t state, int bit)
{
    setBit(box, control, bit);
    look::setActiveLook(box, (state >> bit) & 1);
}

} // namespace

LogView::LogView(QWidget *parent) : QWidget(parent)
{
    auto *left = new QVBoxLayout(this);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(2);

    // Record header.
    auto *header = new QGroupBox(tr("Запись"), this);
    auto *hl = new QGridLayout(header);
    compact(hl);
    hl->setVerticalSpacing(2);
    m_number = valueText(QStringLiteral("stLogRecNumber"), QStringLiteral("0"), header);
    hl->addWidget(new QLabel(tr("Номер записи"), header), 0, 0);
    hl->addWidget(m_number, 1, 0);
    const char *stampNames[] = {"stLogDay",  "stLogMonth", "stLogYear",
                                "stLogHour", "stLogMin",   "stLogSec"};
    const char *stampCaptions[] = {"день", "месяц", "год", "час", "мин", "сек"};
    for (int i = 0; i < 6; ++i) {
        m_stamp[i] = valueText(QLatin1String(stampNames[i]), QStringLiteral("0"), header);
        m_stamp[i]->setMinimumWidth(
            m_stamp[i]->fontMetrics().horizontalAdvance(QStringLiteral("2000")) + 12);
        hl->addWidget(new QLabel(tr(stampCaptions[i]), header), 0, i + 1);
        hl->addWidget(m_stamp[i], 1, i + 1);
    }
    hl->setColumnStretch(7, 1);
    left->addWidget(header);

    // Inputs.
    auto *inputs = new QGroupBox(tr("Входные параметры"), this);
    auto *il = new QHBoxLayout(inputs);
    compact(il);
    auto *temper = new QGroupBox(tr("Температура"), inputs);
    temper->setObjectName(QStringLiteral("LogTemperatureBox"));
    m_temperatureBox = temper;
    auto *tl = new QGridLayout(temper);
    compact(tl);
    for (int k = 1; k <= kSensors; ++k) {
        tl->addWidget(new QLabel(tr("Темпер %1").arg(k), temper), k - 1, 0);
        m_temperatures[k - 1] = readingText(member("stLogTemper", k), temper);
        tl->addWidget(m_temperatures[k - 1], k - 1, 1);
    }
    tl->setRowStretch(kSensors, 1);
    il->addWidget(temper);
    il->addWidget(
        boxColumn(tr("ТТЛ вход"), inputs, "cbLogDigitInput", 8, tr("Вход "), m_ttlInputs.data()));
    auto *analogs = new QGroupBox(tr("Аналоги "), inputs);
    auto *al = new QGridLayout(analogs);
    compact(al);
    const QString analogCaptions[] = {QStringLiteral("А1_12В"), QStringLiteral("А2_24В"),
                                      QStringLiteral("А3_5В"),  QStringLiteral("А4"),
                                      QStringLiteral("А5"),     QStringLiteral("Сеть 220")};
    for (int ch = 1; ch <= 6; ++ch) {
        auto *label = new QLabel(analogCaptions[ch - 1], analogs);
        if (ch >= 4) {
            label->setObjectName(member("Label", 49 + ch));
            m_channelLabels[ch - 4] = label;
        }
        al->addWidget(label, ch - 1, 0);
        QLabel *value = ch <= kAnalogs ? readingText(member("stLogAnalog", ch), analogs)
                                       : readingText(QStringLiteral("stLogPower"), analogs);
        if (ch <= kAnalogs)
            m_analog[ch - 1] = value;
        else
            m_mains = value;
        al->addWidget(value, ch - 1, 1);
    }
    al->setRowStretch(6, 1);
    il->addWidget(analogs);
    il->addWidget(
        boxColumn(tr("Концевики "), inputs, "cbLogContact", 8, tr("Вход "), m_contacts.data()));
    left->addWidget(inputs);

    // Outputs.
    auto *outputs = new QGroupBox(tr("Управление"), this);
    auto *ol = new QHBoxLayout(outputs);
    compact(ol);
    ol->addWidget(
        boxColumn(tr("Реле"), outputs, "cbLogRelay", 6, tr("Реле "), m_relays.data(), 1, true));
    ol->addWidget(boxColumn(tr("ТТЛ выход"), outputs, "cbLogDigitOut", 8, tr("Выход "),
                            m_ttlOutputs.data(), 1, true));
    auto *switches = new QVBoxLayout;
    switches->addWidget(boxColumn(tr("Верхний ключ"), outputs, "cbLogHighSwitch", 4, tr("Ключ "),
                                  m_switches.data(), 2, true));
    switches->addWidget(boxColumn(tr("Нижний ключ"), outputs, "cblogLowSwitch", 4, tr("Ключ "),
                                  m_switches.data() + 4, 2, true));
    ol->addLayout(switches);
    auto *fans = new QGroupBox(tr("Вентиляторы"), outputs);
    auto *fl = new QGridLayout(fans);
    compact(fl);
    fl->addWidget(new QLabel(tr("Скорость"), fans), 0, 1);
    fl->addWidget(new QLabel(tr("Задание"), fans), 0, 2);
    for (int f = 1; f <= kFans; ++f) {
        fl->addWidget(new QLabel(QString::number(f), fans), f, 0);
        m_fanSpeeds[f - 1] = valueText(member("stLogFanSpeed", f), QStringLiteral("0.0"), fans);
        m_fanTasks[f - 1] = valueText(member("stLogFanTask", f), QStringLiteral("0"), fans);
        for (QLabel *l : {m_fanSpeeds[f - 1], m_fanTasks[f - 1]})
            l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 10);
        fl->addWidget(m_fanSpeeds[f - 1], f, 1);
        fl->addWidget(m_fanTasks[f - 1], f, 2);
    }
    fl->setRowStretch(kFans + 1, 1);
    ol->addWidget(fans);
    left->addWidget(outputs);
    left->addStretch(1);

    // Flags: display only, in a disabled group; 9..16 and 59..64 are not shown.
    auto *flags = new QGroupBox(tr("Флаги"), this);
    m_flagsBox = flags;
    flags->setEnabled(false);
    auto *gl = new QGridLayout(flags);
    gl->setVerticalSpacing(0);
    gl->setContentsMargins(6, 4, 6, 4);
    constexpr int kRows = 17;
    int shown = 0;
    for (int k = 1; k <= 64; ++k) {
        m_flags[k - 1] = displayBox(member("cblogFlags", k), flagCaption(k), flags);
        if (flagHidden(k)) {
            m_flags[k - 1]->setVisible(false);
            continue;
        }
        gl->addWidget(m_flags[k - 1], shown % kRows, shown / kRows);
        ++shown;
    }
    gl->setRowStretch(kRows, 1);

    setChannelNames(defaultChannelNames());
}

void LogView::setChannelNames(const ChannelNames &names)
{
    for (int i = 0; i < 3; ++i) {
        m_channelLabels[i]->setText(names[i]);
        m_flags[3 + i]->setText(names[i]);
    }
}

void LogView::showRecord(const LogRecord &r, const std::array<std::uint8_t, 6> &resolution)
{
    m_number->setText(QString::number(r.number));
    const int stamp[] = {r.day, r.month, r.year + 2000, r.hour, r.minute, r.second};
    for (int i = 0; i < 6; ++i)
        m_stamp[i]->setText(QString::number(stamp[i]));
    for (int n = 0; n < 8; ++n) {
        setBit(m_contacts[n], r.contacts, n);
        setBit(m_ttlInputs[n], r.ttlInputs, n);
        setOutput(m_ttlOutputs[n], r.ttlOutputControl, r.ttlOutputState, n);
        setOutput(m_switches[n], r.switchControl, r.switchState, n);
    }
    for (int n = 0; n < 6; ++n)
        setOutput(m_relays[n], r.relayControl, r.relayState, n);
    for (int i = 0; i < kAnalogs; ++i)
        look::setValueText(m_analog[i], work::formatAnalog(r.analog[i]));
    look::setValueText(m_mains, work::formatAnalog(r.mains));
    for (int k = 0; k < kSensors; ++k)
        look::setValueText(m_temperatures[k],
                           work::temperatureText(r.temperatures[k], resolution[k]));
    markTemperatures();
    for (int f = 0; f < kFans; ++f) {
        m_fanSpeeds[f]->setText(QString::number(r.fanSpeeds[f]));
        m_fanTasks[f]->setText(QString::number(r.fanTasks[f]));
    }
    for (int k = 1; k <= 64; ++k)
        m_flags[k - 1]->setChecked(r.flag(k));
}

void LogView::setResolutionsKnown(bool known)
{
    if (m_resolutionsKnown == known)
        return;
    m_resolutionsKnown = known;
    static_cast<QGroupBox *>(m_temperatureBox)
        ->setTitle(known ? tr("Температура") : tr("Температура ?"));
    markTemperatures();
}

// After setValueText, which puts the field's own hint back with every value.
void LogView::markTemperatures()
{
    for (QLabel *field : m_temperatures) {
        field->setStyleSheet(
            m_resolutionsKnown ? QString() : QStringLiteral("QLabel { background: #ffd27f; }"));
        if (!m_resolutionsKnown) {
            field->setToolTip(unknownResolutionText());
            field->setStatusTip(unknownResolutionText());
        } else if (field->toolTip() == unknownResolutionText()) {
            field->setToolTip(QString());
            field->setStatusTip(QString());
        }
    }
}

QWidget *findLogControl(const QWidget *root, const QString &name)
{
    const auto all = root->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (w->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return w;
    }
    return nullptr;
}

} // namespace vardex::log
