#include "work/widgets/work_hash.h"

#include "link/data_module.h"
#include "link/protocol.h"
#include "signed/digest.h"
#include "work/hash_hints.h"
#include "work/widgets/work_look.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace vardex::ui {

using worklook::setHint;

namespace {

QPushButton *hashButton(const char *name, const QString &caption, const QString &hint,
                        QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setEnabled(false);
    setHint(button, hint);
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
    auto *reset = hashButton("ResetHashBtn", tr("Сброс"), tr("Сброс  HASH команды"), this);
    // The clock read of this group belongs to the clock buttons; hidden in the form.
    auto *clock = hashButton("SetHashTimerBtn", tr("Часы"), tr("Текущее время монитора"), this);
    clock->hide();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 2, 6, 6);
    column->setSpacing(4);
    for (QPushButton *b : {m_getKey, m_getOpenKey, m_writeHash, reset, clock})
        column->addWidget(b);

    connect(m_getKey, &QPushButton::clicked, this, &WorkHash::getKey);
    connect(m_getOpenKey, &QPushButton::clicked, this, &WorkHash::getOpenKey);
    connect(m_writeHash, &QPushButton::clicked, this, &WorkHash::writeHash);
    connect(reset, &QPushButton::clicked, this, &WorkHash::resetHash);
}

void WorkHash::getKey()
{
    m_dm.run([this] {
        auto &key = m_dm.image().generatedKey;
        key.fill(0);
        m_dm.send(link::protocol::generateKey());
        m_dm.waitReply(kKeyWaitMs); // a time-out shows the zeros
        setHint(m_getKey, work::generatedKeyHint(key));
    });
}

void WorkHash::getOpenKey()
{
    m_dm.run([this] {
        auto &key = m_dm.image().openKey;
        key.fill(0);
        m_dm.send(link::protocol::readOpenKey());
        m_dm.waitReply(kKeyWaitMs);
        setHint(m_getOpenKey, work::openKeyHint(key));
    });
}

void WorkHash::writeHash()
{
    m_dm.run([this] {
        auto &image = m_dm.image();
        image.hashDigest = sign::signedCommandDigest(image.openKey, image.generatedKey);
        m_dm.send(link::protocol::sendHash(image.hashDigest));
        m_dm.waitReply(kKeyWaitMs);
        setHint(m_writeHash, work::hashReplyHint(image.hashReply));
    });
}

void WorkHash::resetHash()
{
    m_dm.run([this] { m_dm.send(link::protocol::resetHash()); });
}

} // namespace vardex::ui
