#include "log/graph_selection.h"

namespace vardex::log {

namespace {

QString numbered(const char *stem, int n)
{
    return QString::fromUtf8(stem).arg(n);
}

} // namespace

QString parameterListText(int index, const ChannelNames &names)
{
    if (index >= 6 && index <= 11)
        return numbered("Температура_%1", index - 5);
    if (index >= 17 && index <= 20)
        return numbered("Вент_%1_Скорость", index - 16);
    if (index >= 21 && index <= 24)
        return numbered("Вент_%1_Задание", index - 20);
    return parameterCaption(index, names);
}

QString parameterCaption(int index, const ChannelNames &names)
{
    switch (index) {
    case 0:
        return QStringLiteral("А1_12В");
    case 1:
        return QStringLiteral("А2_24В");
    case 2:
        return QStringLiteral("А3_5В");
    case 3:
    case 4:
    case 5:
        return names[index - 3];
    case 12:
        return QStringLiteral("ТТЛ_Вход");
    case 13:
        return QStringLiteral("ТТЛ_Выход");
    case 14:
        return QStringLiteral("Концевики");
    case 15:
        return QStringLiteral("Реле");
    case 16:
        return QStringLiteral("Ключи");
    default:
        break;
    }
    if (index >= 6 && index <= 11)
        return numbered("Темп_%1", index - 5);
    if (index >= 17 && index <= 20)
        return numbered("Вент_%1_Скор", index - 16);
    if (index >= 21 && index <= 24)
        return numbered("Вент_%1_Зад", index - 20);
    return {};
}

ParameterKind parameterKind(int index)
{
    if (index >= 0 && index <= 5)
        return {QStringLiteral("В"), QStringLiteral("В")};
    if (index >= 6 && index <= 11)
        return {QStringLiteral("°C"), QStringLiteral("°C")};
    if (index >= 12 && index <= 16)
        return {QString(), QStringLiteral("биты")};
    const QString fans = QStringLiteral("об/мин, %");
    if (index >= 17 && index <= 20)
        return {QStringLiteral("об/мин"), fans};
    if (index >= 21 && index <= 24)
        return {QStringLiteral("%"), fans};
    return {};
}

} // namespace vardex::log
