#pragma once

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

namespace vardex::cli {

// What a command prints: the same facts as one JSON document (stable field names)
// and as aligned "label  value" rows for a person.
struct Report {
    QJsonObject json;
    QList<QPair<QString, QString>> rows;

    void add(const QString &key, const QJsonValue &value, const QString &label, const QString &text)
    {
        json.insert(key, value);
        rows.append({label, text});
    }
    void addRow(const QString &label, const QString &text) { rows.append({label, text}); }
};

QString renderText(const Report &report);
QString renderJson(const Report &report);

// "[#######.............]  1234/16384  412 зап./с  осталось 0:36" for a terminal.
QString progressLine(int done, int total, qint64 elapsedMs, int width = 24);

} // namespace vardex::cli
