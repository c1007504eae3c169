#include "link/owner.h"

#include <QList>

namespace vardex::link {

namespace {

QByteArray oneLine(const QString &text)
{
    // A value never breaks the record's lines.
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return flat.toUtf8();
}

QString keyOf(const QString &prefix, const QString &text)
{
    QString out = prefix;
    for (const QChar c : text) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('.') || c == QLatin1Char('_') || c == QLatin1Char('-');
        out += plain ? c : QLatin1Char('_');
    }
    // A name the file system takes whatever the serial number holds.
    return out.left(120);
}

} // namespace

QByteArray encodeOwnerRecord(const OwnerRecord &record)
{
    QByteArray out;
    out += "program=" + oneLine(record.program) + '\n';
    out += "pid=" + QByteArray::number(record.pid) + '\n';
    if (!record.unit.isEmpty())
        out += "unit=" + oneLine(record.unit) + '\n';
    out += QByteArray("lends=") + (record.lends ? "1" : "0") + '\n';
    out += "end\n";
    return out.left(kOwnerRecordMaxBytes);
}

std::optional<OwnerRecord> decodeOwnerRecord(const QByteArray &bytes)
{
    if (bytes.size() > kOwnerRecordMaxBytes)
        return std::nullopt;
    OwnerRecord r;
    bool pidSeen = false;
    bool ended = false;
    for (const QByteArray &line : bytes.split('\n')) {
        if (ended) {
            if (!line.isEmpty())
                return std::nullopt;
            continue;
        }
        if (line == "end") {
            ended = true;
            continue;
        }
        const int eq = line.indexOf('=');
        if (eq <= 0)
            return std::nullopt;
        const QByteArray key = line.left(eq);
        const QByteArray value = line.mid(eq + 1);
        if (key == "program") {
            r.program = QString::fromUtf8(value);
        } else if (key == "pid") {
            bool ok = false;
            r.pid = value.toLongLong(&ok);
            if (!ok || r.pid <= 0)
                return std::nullopt;
            pidSeen = true;
        } else if (key == "unit") {
            r.unit = QString::fromUtf8(value);
        } else if (key == "lends") {
            r.lends = value == "1";
        }
        // Unknown keys are a newer program's: skipped.
    }
    if (!ended || !pidSeen || r.program.isEmpty())
        return std::nullopt;
    return r;
}

QString holderText(const OwnerRecord &record)
{
    QString text = QStringLiteral("%1 (pid %2").arg(record.program).arg(record.pid);
    if (!record.unit.isEmpty())
        text += QStringLiteral(", служба %1").arg(record.unit);
    return text + QLatin1Char(')');
}

QString heldText(const std::optional<OwnerRecord> &holder)
{
    if (!holder)
        return QStringLiteral("контроллер занят другой программой");
    QString text = QStringLiteral("контроллер занят: его держит %1").arg(holderText(*holder));
    if (holder->lends)
        return text + QStringLiteral("; сторож отдаёт его на время по запросу");
    if (!holder->unit.isEmpty())
        return text + QStringLiteral("; остановите службу: systemctl stop %1").arg(holder->unit);
    return text + QStringLiteral("; закройте эту программу");
}

QString ownerKeyForSerial(const QString &serial)
{
    return keyOf(QStringLiteral("serial-"), serial);
}

QString ownerKeyForPath(const QString &path)
{
    return keyOf(QStringLiteral("path-"), path);
}

QString ownerKeyForSimulated(const QString &id)
{
    QString name = id;
    if (name.startsWith(QLatin1String("sim:")))
        name = name.mid(4);
    return keyOf(QStringLiteral("sim-"), name);
}

// ---- lending ----------------------------------------------------------------------------------

QByteArray encodeBorrowRequest(const OwnerRecord &borrower)
{
    return encodeOwnerRecord(borrower) + '\n';
}

QByteArray lendWaitLine(int ms)
{
    return "wait " + QByteArray::number(ms) + '\n';
}

QByteArray lendLentLine()
{
    return "lent\n";
}

QByteArray lendRefusedLine(const QString &why)
{
    return ("refused " + oneLine(why)).left(kLendLineMaxBytes - 1) + '\n';
}

void BorrowExchange::feed(const QByteArray &bytes)
{
    if (finished())
        return;
    m_buffer += bytes;
    for (;;) {
        const int nl = m_buffer.indexOf('\n');
        if (nl < 0)
            break;
        const QByteArray text = m_buffer.left(nl);
        m_buffer.remove(0, nl + 1);
        line(text);
        if (finished())
            return;
    }
    if (m_buffer.size() > kLendLineMaxBytes)
        m_state = State::Broken;
}

void BorrowExchange::closed()
{
    if (!finished())
        m_state = State::Broken;
}

void BorrowExchange::line(const QByteArray &text)
{
    if (text == "lent") {
        m_state = State::Lent;
    } else if (text.startsWith("refused ")) {
        m_refusal = QString::fromUtf8(text.mid(8));
        m_state = State::Refused;
    } else if (text.startsWith("wait ")) {
        bool ok = false;
        const int ms = text.mid(5).toInt(&ok);
        // A pulse is at most hours long; a number beyond a day is not a wait.
        if (!ok || ms < 0 || ms > 24 * 3600 * 1000) {
            m_state = State::Broken;
            return;
        }
        m_state = State::Waiting;
        m_patienceMs = ms + kAnswerMs;
    } else {
        m_state = State::Broken;
    }
}

bool LendRequestReader::feed(const QByteArray &bytes)
{
    if (m_done)
        return true;
    m_buffer += bytes;
    const int end = m_buffer.indexOf("\n\n");
    if (end < 0) {
        if (m_buffer.size() > kOwnerRecordMaxBytes + 1) {
            m_broken = true;
            m_done = true;
        }
        return m_done;
    }
    m_borrower = decodeOwnerRecord(m_buffer.left(end + 1));
    m_broken = !m_borrower;
    m_done = true;
    return true;
}

} // namespace vardex::link
