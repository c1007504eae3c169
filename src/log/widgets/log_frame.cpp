#include "log/widgets/log_frame.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace vardex::log {

LogFrame::LogFrame(ui::PageContext context, QWidget *parent) : QWidget(parent), m_ctx(context)
{
    setObjectName(QStringLiteral("LogFrame1"));
    auto *layout = new QVBoxLayout(this);
    m_readButton = new QPushButton(tr("Чтение"), this);
    m_readButton->setObjectName(QStringLiteral("ReadLogBtn"));
    m_readButton->setEnabled(false);
    layout->addWidget(m_readButton, 0, Qt::AlignLeft);
    layout->addStretch(1);
}

void LogFrame::onConnectionChanged(bool connected)
{
    m_readButton->setEnabled(connected);
}

void LogFrame::allocateRecordStore()
{
    m_records.assign(kRecordCount * kRecordSize, 0);
}

void LogFrame::releaseRecordStore()
{
    m_records.clear();
    m_records.shrink_to_fit();
}

} // namespace vardex::log
