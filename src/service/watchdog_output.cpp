#include "service/watchdog_output.h"

#include "link/protocol.h"

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

void sendWatchdogTask(link::OperationContext &ctx, const link::OutputTask &task)
{
    ctx.send(link::protocol::writeOutputTask(task));
}

QString watchdogOutputName(int index)
{
    if (index < 0 || index >= kWatchdogOutputItems)
        return QStringLiteral("(выход не выбран)");
    const QString text = watchdogOutputTexts().at(index);
    return text.isEmpty() ? QStringLiteral("бит %1 задания реле").arg(index - 8) : text;
}

} // namespace vardex::service
