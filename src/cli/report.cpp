#include "cli/report.h"

#include <QJsonDocument>

#include <algorithm>

namespace vardex::cli {

QString renderText(const Report &report)
{
    qsizetype width = 0;
    for (const auto &row : report.rows)
        width = std::max(width, row.first.size());
    QString text;
    for (const auto &row : report.rows)
        text += row.first.leftJustified(width + 2) + row.second + QLatin1Char('\n');
    return text;
}

QString renderJson(const Report &report)
{
    return QString::fromUtf8(QJsonDocument(report.json).toJson(QJsonDocument::Indented));
}

QString progressLine(int done, int total, qint64 elapsedMs, int width)
{
    total = std::max(total, 1);
    done = std::clamp(done, 0, total);
    const int filled = static_cast<int>(static_cast<qint64>(done) * width / total);
    QString bar = QStringLiteral("[") + QString(filled, QLatin1Char('#')) +
                  QString(width - filled, QLatin1Char('.')) + QStringLiteral("]");
    const double seconds = elapsedMs / 1000.0;
    const double rate = seconds > 0 ? done / seconds : 0.0;
    QString left = QStringLiteral("-:--");
    if (rate > 0) {
        const int remaining = static_cast<int>((total - done) / rate + 0.5);
        left = QStringLiteral("%1:%2")
                   .arg(remaining / 60)
                   .arg(remaining % 60, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1 %2/%3  %4 зап./с  осталось %5")
        .arg(bar)
        .arg(done, QString::number(total).size())
        .arg(total)
        .arg(rate, 0, 'f', 0)
        .arg(left);
}

} // namespace vardex::cli
