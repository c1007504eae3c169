#include "doctor/widgets/connect_card.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vardex::doctor {

namespace {

constexpr int kCardWidth = 560;

// Command lines (two blanks in front) in a fixed font, so they read and copy as typed.
QString detailHtml(const QString &text)
{
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("  ")))
            lines << QStringLiteral("<code>%1</code>").arg(line.trimmed().toHtmlEscaped());
        else
            lines << line.toHtmlEscaped();
    }
    return lines.join(QStringLiteral("<br>"));
}

} // namespace

ConnectCard::ConnectCard(QWidget *over) : QFrame(over)
{
    setObjectName(QStringLiteral("ConnectCard"));
    // A light card with a clear edge, so it reads as a message over the greyed page.
    setStyleSheet(QStringLiteral("#ConnectCard { background: palette(base); "
                                 "border: 1px solid palette(dark); border-radius: 6px; }"));
    setAutoFillBackground(true);
    setFixedWidth(kCardWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(10);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("ConnectTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    QFont big = m_title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.35);
    m_title->setFont(big);
    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("ConnectDetail"));
    m_detail->setWordWrap(true);
    m_detail->setTextFormat(Qt::RichText);
    m_detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_doctor = new QPushButton(kDoctorButtonText, this);
    m_doctor->setObjectName(QStringLiteral("DoctorBtn"));
    m_doctor->setStatusTip(QStringLiteral("Проверить, почему контроллер не подключается"));
    m_doctor->setDefault(true);
    m_borrow = new QPushButton(kBorrowButtonText, this);
    m_borrow->setObjectName(QStringLiteral("BorrowBtn"));
    m_borrow->setStatusTip(
        QStringLiteral("Попросить сторожа закончить импульс и отдать контроллер на время"));
    m_borrow->hide();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_borrow);
    buttons->addWidget(m_doctor);
    buttons->addStretch(1);
    layout->addWidget(m_title);
    layout->addWidget(m_detail);
    layout->addLayout(buttons);
    connect(m_doctor, &QPushButton::clicked, this, &ConnectCard::doctorRequested);
    connect(m_borrow, &QPushButton::clicked, this, &ConnectCard::borrowRequested);
    over->installEventFilter(this);
    hide();
}

void ConnectCard::showGuidance(const Guidance &guidance)
{
    m_title->setText(guidance.title);
    m_detailText = guidance.detail;
    m_detail->setText(detailHtml(guidance.detail));
    m_borrow->setVisible(guidance.canBorrow);
    // The way out the engineer most likely wants is the default one.
    m_borrow->setDefault(guidance.canBorrow);
    m_doctor->setDefault(!guidance.canBorrow);
    setVisible(guidance.shown);
    if (guidance.shown) {
        adjustSize();
        place();
        raise();
    }
}

QString ConnectCard::title() const
{
    return m_title->text();
}

QString ConnectCard::detail() const
{
    return m_detailText;
}

bool ConnectCard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        place();
    return QFrame::eventFilter(watched, event);
}

void ConnectCard::place()
{
    const QWidget *over = parentWidget();
    const QSize size = sizeHint().expandedTo(QSize(kCardWidth, 0));
    resize(kCardWidth, size.height());
    move((over->width() - width()) / 2, (over->height() - height()) / 2);
}

} // namespace vardex::doctor
