#include "service/watchdog_output.h"

namespace vardex::service {

QStringList watchdogOutputTexts()
{
    QStringList texts;
    for (int i = 1; i <= 4; ++i)
        texts << QStringLiteral("Верхний ключ_%1").arg(i);
    for (int i = 1; i <= 4; ++i)
        texts << QStringLiteral("Нижний ключ_%1").arg(i);
    for (int i = 1; i <= 6; ++i)
        texts << QStringLiteral("Реле_%1").arg(i);
    texts << QString() << QString();
    return texts;
}

bool setWatchdogOutput(link::OutputTask &task, int index, bool on)
{
    if (index < 0 || index >= kWatchdogOutputItems)
        return false;
    std::uint8_t &byte = index < 8 ? task.switchesTask : task.relaysTask;
    const auto bit = static_cast<std::uint8_t>(1u << (index < 8 ? index : index - 8));
    byte = on ? static_cast<std::uint8_t>(byte | bit) : static_cast<std::uint8_t>(byte & ~bit);
    return true;
}

int watchdogOutputOfWord(const QString &word)
{
    const QString n = word.trimmed().toLower();
    bool ok = false;
    if (n.startsWith(QLatin1String("relay"))) {
        const int k = n.mid(5).toInt(&ok);
        return ok && k >= 1 && k <= 6 ? 7 + k : -1;
    }
    if (n.size() == 2 && (n[0] == QLatin1Char('h') || n[0] == QLatin1Char('l'))) {
        const int k = n.mid(1).toInt(&ok);
        if (!ok || k < 1 || k > 4)
            return -1;
        return (n[0] == QLatin1Char('h') ? 0 : 4) + k - 1;
    }
    return -1;
}

QString watchdogOutputName(int index)
{
    if (index < 0 || index >= kWatchdogOutputItems)
        return QStringLiteral("(выход не выбран)");
    const QString text = watchdogOutputTexts().at(index);
    return text.isEmpty() ? QStringLiteral("бит %1 задания реле").arg(index - 8) : text;
}

} // namespace vardex::service
