#include "work/widgets/work_hash.h"

#include "link/data_module.h"
#include "work/hash_hints.h"
#include "work/widgets/work_look.h"
#include "work/work_transfer.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace vardex::ui {

namespace {

QPushButton *hashButton(const char *name, const QString &caption, const QString &hint,
                        QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setEnabled(false);
    setHint(button, hint, true);
    return button;
}

} // namespace

WorkHash::WorkHash(link::DataModule &dm, QWidget *parent)
    : QGroupBox(QStringLiteral("HASH"), parent), m_dm(dm)
{
    setObjectName(QStringLiteral("HashGroupBox"));
    m_getKey = hashButton("GetKeyBtn", tr("Ключ"), tr("Генерация секретного ключа"), this);
    m_getOpenKey = hashButton("GetOpenKeyBtn", tr("Откр"), tr("Генерация открытого ключа"), this);
    m_writeHash = hashButton("WriteHashBtn", tr("HASH"), tr("Выдать HASH команду"), this);
    m_reset = hashButton("ResetHashBtn", tr("Сброс"), tr("Сброс  HASH команды"), this);
    // The clock read of this group belongs to the clock buttons; hidden in the form.
    m_clock = hashButton("SetHashTimerBtn", tr("Часы"), tr("Текущее время монитора"), this);
    m_clock->hide();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 2, 6, 6);
    column->setSpacing(4);
    for (QPushButton *b : {m_getKey, m_getOpenKey, m_writeHash, m_reset, m_clock})
        column->addWidget(b);

    connect(m_getKey, &QPushButton::clicked, this, &WorkHash::getKey);
    connect(m_getOpenKey, &QPushButton::clicked, this, &WorkHash::getOpenKey);
    connect(m_writeHash, &QPushButton::clicked, this, &WorkHash::writeHash);
    connect(m_reset, &QPushButton::clicked, this, &WorkHash::resetHash);
}

void WorkHash::enableButtons(bool enabled)
{
    for (QPushButton *b : {m_getKey, m_getOpenKey, m_writeHash, m_reset, m_clock})
        b->setEnabled(enabled);
}

// Each button is one exchange, run at the next step of a long sequence if one holds
// the link; the hint shows the buffer after the wait. The group lives as long as the
// window, which outlives every operation.
void WorkHash::getKey()
{
    m_dm.runBetweenSteps([this](link::OperationContext &ctx) {
        work::generateKey(ctx); // a time-out shows the zeros
        setHint(m_getKey, work::generatedKeyHint(ctx.image().generatedKey), true);
    });
}

void WorkHash::getOpenKey()
{
    m_dm.runBetweenSteps([this](link::OperationContext &ctx) {
        work::readOpenKey(ctx);
        setHint(m_getOpenKey, work::openKeyHint(ctx.image().openKey), true);
    });
}

void WorkHash::writeHash()
{
    m_dm.runBetweenSteps([this](link::OperationContext &ctx) {
        work::sendHash(ctx);
        setHint(m_writeHash, work::hashReplyHint(ctx.image().hashReply), true);
    });
}

void WorkHash::resetHash()
{
    m_dm.runBetweenSteps([](link::OperationContext &ctx) { work::resetHash(ctx); });
}

} // namespace vardex::ui
