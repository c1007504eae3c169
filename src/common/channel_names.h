#pragma once

#include <QString>

// Analog channels 4 and 5 and the mains channel carry names of their own that
// replace the generic captions wherever the program names a channel (work page,
// configuration, log view, graph wizard, exports).
namespace vardex {

struct ChannelNames {
    QString a4 = QStringLiteral("A4");
    QString a5 = QStringLiteral("A5");
    QString mains = QStringLiteral("VFC_220");

    // i = 0, 1, 2 for channel 4, 5 and the mains.
    const QString &operator[](int i) const { return i == 0 ? a4 : i == 1 ? a5 : mains; }
};

inline const ChannelNames &defaultChannelNames()
{
    static const ChannelNames names;
    return names;
}

} // namespace vardex
