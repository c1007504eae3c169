#include "fleet/outlet.h"

#include "files/file_io.h"
#include "fleet/metrics_text.h"

namespace vardex::fleet {

void MetricsFile::publish(const Snapshot &snapshot)
{
    const files::FileResult r = files::saveAtomically(m_path, renderMetrics(snapshot));
    m_error = r.ok ? QString() : r.reason;
}

std::optional<ListenAddress> parseListenAddress(const QString &text, QString *error)
{
    ListenAddress out;
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        QString host = text.left(colon);
        portText = text.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        // Whether it is an address of this machine the listener finds out when it binds.
        if (!host.isEmpty())
            out.host = host;
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        *error = QStringLiteral("«%1»: порт должен быть от 1 до 65535").arg(portText);
        return std::nullopt;
    }
    out.port = quint16(port);
    return out;
}

} // namespace vardex::fleet
