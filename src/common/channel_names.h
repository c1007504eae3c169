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

// The captions of analog channels 1..6 as the forms have them, before channels 4, 5
// and the mains take their names.
inline constexpr const char *kAnalogCaptions[6] = {"А1_12В", "А2_24В", "А3_5В",
                                                   "А4",     "А5",     "Сеть 220"};

inline const ChannelNames &defaultChannelNames()
{
    static const ChannelNames names;
    return names;
}

} // namespace vardex
