#include "service/widgets/about_page.h"

#include "link/data_module.h"
#include "service/serial_readout.h"
#include "service/widgets/bench_resources.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QToolButton>
#include <QVBoxLayout>

namespace vardex::service {

namespace {

QPixmap picture(const QString &path, QSize size, qreal ratio)
{
    QSvgRenderer renderer(path);
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QLabel *pictureLabel(const char *name, const QString &path, QSize size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setPixmap(picture(path, size, parent->devicePixelRatioF()));
    label->setFixedSize(size);
    return label;
}

} // namespace

AboutPage::AboutPage(ui::PageContext context, QWidget *parent) : QWidget(parent), m_ctx(context)
{
    setObjectName(QStringLiteral("AboutPage"));

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("AboutPanel"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Raised);

    auto *title =
        new QLabel(tr("Программно-аппаратный комлекс системы мониторинга терминала"), panel);
    title->setObjectName(QStringLiteral("AboutTitleLabel"));
    title->setWordWrap(true);
    title->setAlignment(Qt::AlignCenter);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    title->setFont(big);

    const QString version = QCoreApplication::applicationVersion().isEmpty()
                                ? QStringLiteral("3.19")
                                : QCoreApplication::applicationVersion();
    const QStringList lines = {
        tr("Vardex, версия %1").arg(version),
        tr("Свободная программа: GNU GPL версии 3 или более поздней"),
        tr("Для контроллера мониторинга «Quellbox» (USB HID)"),
    };
    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addSpacing(12);
    for (int i = 0; i < lines.size(); ++i) {
        auto *line = new QLabel(lines[i], panel);
        line->setObjectName(QStringLiteral("AboutLine%1").arg(i + 1));
        line->setAlignment(Qt::AlignCenter);
        text->addWidget(line);
    }
    text->addStretch(1);

    auto *panelRow = new QHBoxLayout(panel);
    panelRow->setContentsMargins(18, 18, 18, 18);
    panelRow->setSpacing(18);
    panelRow->addWidget(
        pictureLabel("AboutIconImage", benchPicture("vardex.svg"), QSize(96, 96), panel), 0,
        Qt::AlignTop);
    panelRow->addLayout(text, 1);
    panelRow->addWidget(pictureLabel("AboutControllerImage", benchPicture("controller.svg"),
                                     QSize(240, 150), panel),
                        0, Qt::AlignTop);

    m_read = new QToolButton(this);
    m_read->setObjectName(QStringLiteral("ReadRS232Btn"));
    m_read->setIcon(QIcon(benchPicture("serial-read.svg")));
    m_read->setIconSize(QSize(32, 32));
    m_read->setToolTip(QString()); // tooltips belong to the Work page only
    m_read->setStatusTip(tr("Прочитать последний байт последовательного порта"));
    m_serial = new QLabel(QStringLiteral(" "), this);
    m_serial->setObjectName(QStringLiteral("stRS232"));
    m_serial->setFrameShape(QFrame::Panel);
    m_serial->setFrameShadow(QFrame::Sunken);
    m_serial->setAlignment(Qt::AlignCenter);
    m_serial->setMinimumWidth(48);
    m_serial->setMinimumHeight(m_read->sizeHint().height());

    auto *serialRow = new QHBoxLayout;
    serialRow->addWidget(m_read);
    serialRow->addWidget(m_serial);
    serialRow->addStretch(1);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(12, 12, 12, 12);
    outer->addWidget(panel);
    outer->addSpacing(12);
    outer->addLayout(serialRow);
    outer->addStretch(1);

    connect(m_read, &QToolButton::clicked, this, &AboutPage::readSerial);
}

void AboutPage::readSerial()
{
    m_ctx.dm.runBetweenSteps([this](link::OperationContext &ctx) {
        m_serial->setText(serialByteText(readSerialByte(ctx)));
    });
}

} // namespace vardex::service
