#include "loops/widgets/loop_page.h"

#include "common/mask_bits.h"
#include "kit/widgets/number_edit.h"
#include "kit/widgets/page_context.h"
#include "kit/widgets/prompts.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "link/description_result.h"
#include "link/disconnect_text.h"
#include "loops/ext_coding.h"
#include "loops/level_conversion.h"
#include "loops/loop_outputs.h"
#include "loops/loop_transfer.h"
#include "loops/widgets/ext_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>

namespace vardex::loops {

namespace {

const QString kVerifyFailed = QStringLiteral("Ошибка верификации конфигурации контура ");
const QString kExtendedOpen = QStringLiteral("Дополнительно");
const QString kExtendedClose = QStringLiteral("Свернуть");

// A mode byte other than 0 or 1 (only a file can hold one) shows no item rather than
// passing for "Прямой".
int modeItem(std::uint8_t mode)
{
    return mode <= 1 ? mode : -1;
}

} // namespace

LoopPage::LoopPage(ui::PageContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("LoopPage"));
    m_extBox = new ExtBox(ctx.dm, this);
    build();
    layoutExtBox();
    // Nothing is shown yet: no loop, nothing to edit or send.
    for (QGroupBox *g : m_groups)
        g->setEnabled(false);
    m_writeBtn->setEnabled(false);
    m_readBtn->setEnabled(false);
    m_extBtn->setEnabled(false);
}

bool LoopPage::loopOutputEnabled(int n) const
{
    return loops::loopOutputEnabled(m_ctx.dm.image().config, n);
}

bool LoopPage::extendedAllowed(int n) const
{
    return loopOutputEnabled(n) && m_ctx.dm.image().config.firmwareVersion >= kExtendedLoopFirmware;
}

void LoopPage::setCurrentLoop(int n)
{
    if (n == m_currentLoop)
        return;
    // A value typed for the old loop belongs to it, not to the next one.
    commitPendingEdits();
    m_currentLoop = (n >= 1 && n <= link::kLoopCount) ? n : 0;
    m_extBox->setCurrentLoop(m_currentLoop);
}

void LoopPage::showUprLoop(int n, const QString &nodeText)
{
    Q_UNUSED(nodeText) // the frame owns the header strip
    setCurrentLoop(n);
    const link::DeviceImage &image = m_ctx.dm.image();
    const bool e = loopOutputEnabled(n);

    for (QGroupBox *g : m_groups)
        g->setEnabled(e);
    m_writeBtn->setEnabled(e && !m_linkLost);
    m_readBtn->setEnabled(e && !m_linkLost);
    m_extBtn->setEnabled(extendedAllowed(n));
    m_extBox->setEnabled(m_extBtn->isEnabled());

    // A disabled loop shows empty; its record keeps its contents.
    static const link::UprLoopConfig kEmpty{};
    const link::UprLoopConfig &l = e ? image.loop(n) : kEmpty;
    const link::MonitorConfig &c = image.config;

    for (int k = 1; k <= 6; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        LevelRow &a = m_analog[i];
        a.hi->showValue(e ? analogShown(l.analogLevelHi[i], c.analogA[i], c.analogB[i]) : 0);
        a.lo->showValue(e ? analogShown(l.analogLevelLo[i], c.analogA[i], c.analogB[i]) : 0);
        a.use->setChecked(maskBit(l.analogUse, k));
        a.mode->setCurrentIndex(modeItem(l.analogMode[i]));

        LevelRow &t = m_temper[i];
        t.hi->showValue(temperatureShown(l.temperLevelHi[i], c.dallasResolution[i]));
        t.lo->showValue(temperatureShown(l.temperLevelLo[i], c.dallasResolution[i]));
        t.use->setChecked(maskBit(l.temperUse, k));
        t.mode->setCurrentIndex(modeItem(l.temperMode[i]));
        for (QWidget *w : {static_cast<QWidget *>(a.use), static_cast<QWidget *>(a.lo),
                           static_cast<QWidget *>(a.hi), static_cast<QWidget *>(a.mode),
                           static_cast<QWidget *>(t.use), static_cast<QWidget *>(t.lo),
                           static_cast<QWidget *>(t.hi), static_cast<QWidget *>(t.mode)})
            w->setEnabled(e);
    }
    for (int k = 1; k <= 8; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        m_contacts[i].use->setChecked(maskBit(l.contactUse, k));
        m_contacts[i].mode->setCurrentIndex(modeItem(l.contactMode[i]));
        m_ttl[i].use->setChecked(maskBit(l.ttlInputUse, k));
        m_ttl[i].mode->setCurrentIndex(modeItem(l.ttlInputMode[i]));
        for (const InputRow &row : {m_contacts[i], m_ttl[i]}) {
            row.use->setEnabled(e);
            row.mode->setEnabled(e);
        }
    }
    for (int k = 1; k <= 2; ++k) {
        m_program[static_cast<std::size_t>(k - 1)]->setChecked(maskBit(l.hostControl, k));
        m_program[static_cast<std::size_t>(k - 1)]->setEnabled(e);
    }
    m_extBox->showLoop(m_currentLoop);
}

void LoopPage::enableLoopInputs()
{
    const link::MonitorConfig &c = m_ctx.dm.image().config;
    for (int k = 1; k <= 8; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        m_contacts[i].use->setEnabled(maskBit(c.contactEnable, k));
        m_contacts[i].mode->setEnabled(maskBit(c.contactEnable, k));
        m_ttl[i].use->setEnabled(maskBit(c.ttlInputEnable, k));
        m_ttl[i].mode->setEnabled(maskBit(c.ttlInputEnable, k));
    }
    for (int k = 1; k <= 6; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        for (const LevelRow *row : {&m_analog[i], &m_temper[i]}) {
            const bool on = maskBit(row == &m_analog[i] ? c.analogEnable : c.temperEnable, k);
            row->use->setEnabled(on);
            row->lo->setEnabled(on);
            row->hi->setEnabled(on);
            row->mode->setEnabled(on);
        }
    }
}

void LoopPage::updateExtendedAvailability()
{
    m_extBtn->setEnabled(m_currentLoop != 0 && extendedAllowed(m_currentLoop));
    m_extBox->setEnabled(m_extBtn->isEnabled());
}

void LoopPage::closeExtendedBox()
{
    m_extBox->commitPending();
    m_extBox->hide();
    m_extBtn->setText(kExtendedOpen);
}

void LoopPage::commitPendingEdits()
{
    for (std::size_t i = 0; i < 6; ++i) {
        for (LevelRow *row : {&m_analog[i], &m_temper[i]}) {
            row->lo->commitPending();
            row->hi->commitPending();
        }
    }
    m_extBox->commitPending();
}

// ---- edits: each user action goes straight into the image ----------------------------------

void LoopPage::onUseClicked(Family family, int k, bool checked)
{
    if (m_currentLoop == 0)
        return;
    link::UprLoopConfig &l = m_ctx.dm.image().loop(m_currentLoop);
    switch (family) {
    case Family::Contact:
        l.contactUse = withMaskBit(l.contactUse, k, checked);
        break;
    case Family::Ttl:
        l.ttlInputUse = withMaskBit(l.ttlInputUse, k, checked);
        break;
    case Family::Analog:
        l.analogUse = withMaskBit(l.analogUse, k, checked);
        break;
    case Family::Temper:
        l.temperUse = withMaskBit(l.temperUse, k, checked);
        break;
    }
}

void LoopPage::onModeChosen(Family family, int k, int index)
{
    if (m_currentLoop == 0)
        return;
    link::UprLoopConfig &l = m_ctx.dm.image().loop(m_currentLoop);
    const auto i = static_cast<std::size_t>(k - 1);
    const std::uint8_t mode = index == 1 ? 1 : 0;
    switch (family) {
    case Family::Contact:
        l.contactMode[i] = mode;
        break;
    case Family::Ttl:
        l.ttlInputMode[i] = mode;
        break;
    case Family::Analog:
        l.analogMode[i] = mode;
        break;
    case Family::Temper:
        l.temperMode[i] = mode;
        break;
    }
}

void LoopPage::onLevelCommitted(Family family, int k, bool high)
{
    const auto i = static_cast<std::size_t>(k - 1);
    const bool analog = family == Family::Analog;
    ui::NumberEdit *edit = analog ? (high ? m_analog[i].hi : m_analog[i].lo)
                                  : (high ? m_temper[i].hi : m_temper[i].lo);
    edit->clearUserChanged();
    if (m_currentLoop == 0)
        return;
    link::DeviceImage &image = m_ctx.dm.image();
    link::UprLoopConfig &l = image.loop(m_currentLoop);
    const link::MonitorConfig &c = image.config;
    if (analog) {
        const std::int16_t raw = analogRaw(edit->value(), c.analogA[i], c.analogB[i]);
        (high ? l.analogLevelHi : l.analogLevelLo)[i] = raw;
    } else {
        const std::int16_t raw = temperatureRaw(edit->value(), c.dallasResolution[i]);
        (high ? l.temperLevelHi : l.temperLevelLo)[i] = raw;
    }
}

void LoopPage::onProgramClicked(int k, bool checked)
{
    if (m_currentLoop == 0)
        return;
    link::UprLoopConfig &l = m_ctx.dm.image().loop(m_currentLoop);
    l.hostControl = withMaskBit(l.hostControl, k, checked);
}

// ---- the current loop and the controller ---------------------------------------------------

void LoopPage::onReadClicked()
{
    commitPendingEdits();
    const int n = m_currentLoop; // every step uses the loop current at the press
    if (n == 0)
        return;
    const QString name = tr("Чтение контура %1").arg(n);
    m_ctx.dm.runOperation(name, [n](link::OperationContext &ctx) { readLoop(ctx, n); });
}

void LoopPage::onWriteClicked()
{
    commitPendingEdits();
    const int n = m_currentLoop;
    if (n == 0)
        return;
    ui::Prompts &prompts = m_ctx.prompts;
    ui::StatusBar &status = m_ctx.statusBar;
    const QString name = tr("Запись контура %1").arg(n);
    m_ctx.dm.runOperation(name, [&prompts, &status, n](link::OperationContext &ctx) {
        const link::WriteCheck check = writeLoopChecked(ctx, n);
        if (check.result.status == link::OpStatus::VerifyFailed)
            prompts.message(kVerifyFailed, ui::Prompts::Kind::Warning);
        else if (check.result.status == link::OpStatus::Disconnected)
            prompts.message(link::kDisconnectedText, ui::Prompts::Kind::Warning);
        status.setPanelText(5, link::writeCheckText(check, QStringLiteral("контуры")));
    });
}

void LoopPage::onExtendedClicked()
{
    m_extBox->resize(ExtBox::kSize);
    if (!m_extBox->isHidden()) {
        closeExtendedBox();
        return;
    }
    m_extBox->show();
    m_extBox->raise();
    m_extBtn->setText(kExtendedClose);
}

void LoopPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutExtBox();
}

void LoopPage::onDescriptionRead(const link::DescriptionResult &result)
{
    if (result.configurationRead) {
        closeExtendedBox();
        if (m_ctx.dm.image().config.firmwareVersion >= kExtendedLoopFirmware) {
            m_extBtn->setProperty("tag", 0);
            // A loop on show keeps its own rule: its output must be enabled too.
            if (m_currentLoop != 0)
                updateExtendedAvailability();
            else
                m_extBtn->setEnabled(true);
        } else {
            m_extBtn->setEnabled(false);
        }
    }
    if (result.described) {
        m_linkLost = false;
        if (m_currentLoop != 0)
            showUprLoop(m_currentLoop, QString());
        enableLoopInputs();
    }
}

void LoopPage::onConnectionChanged(bool connected)
{
    if (connected)
        return;
    m_linkLost = true;
    m_writeBtn->setEnabled(false);
    m_readBtn->setEnabled(false);
}

void LoopPage::onChannelNames(const ChannelNames &names)
{
    for (int i = 0; i < 3; ++i)
        m_analog[static_cast<std::size_t>(3 + i)].use->setText(names[i]);
}

} // namespace vardex::loops
