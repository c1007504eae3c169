#include "display/widgets/module_preview.h"

#include "display/module_model.h"

#include <QImage>
#include <QPainter>

namespace vardex::display {

namespace {
const QColor kLit(40, 235, 200); // blue-green phosphor at full brightness
const QColor kDarkDot(16, 24, 24);
constexpr int kMinScale = 2;
} // namespace

ModulePreview::ModulePreview(const ModuleModel &model, QWidget *parent)
    : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("FutabaPreview"));
    // Every pixel is painted (black, then the dots): the group box behind it need not be
    // painted first, several times a second while a test runs.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(minimumSizeHint());
}

QSize ModulePreview::sizeHint() const
{
    return {ModuleModel::kWidth * 3, ModuleModel::kHeight * 3};
}

QSize ModulePreview::minimumSizeHint() const
{
    return {ModuleModel::kWidth * kMinScale, ModuleModel::kHeight * kMinScale};
}

QColor ModulePreview::litColour() const
{
    // Even the lowest level stays visible as a dim glow; "Выкл" shows nothing.
    const int percent = m_model.brightnessPercent();
    if (percent == 0)
        return kDarkDot;
    const double f = 0.25 + 0.75 * percent / 100.0;
    return QColor(int(kLit.red() * f), int(kLit.green() * f), int(kLit.blue() * f));
}

void ModulePreview::refresh()
{
    if (m_model.revision() != m_paintedRevision)
        update();
}

void ModulePreview::paintEvent(QPaintEvent *)
{
    m_paintedRevision = m_model.revision();
    QImage dots(ModuleModel::kWidth, ModuleModel::kHeight, QImage::Format_RGB32);
    const QRgb lit = litColour().rgb(), dark = kDarkDot.rgb();
    for (int y = 0; y < ModuleModel::kHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(dots.scanLine(y));
        for (int x = 0; x < ModuleModel::kWidth; ++x)
            line[x] = m_model.pixel(x, y) ? lit : dark;
    }
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    // Whole-number scale, centred, so every dot is the same size.
    const int scale =
        std::max(1, std::min(width() / ModuleModel::kWidth, height() / ModuleModel::kHeight));
    const QSize size(ModuleModel::kWidth * scale, ModuleModel::kHeight * scale);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    p.drawImage(target, dots);
}

} // namespace vardex::display
