#pragma once

#include <QChar>
#include <QtGlobal>

namespace vardex::ui {

// The Latin letter printed at a key's place on a QWERTY keyboard, from its XKB
// keycode (evdev code + 8, as xcb and Wayland report it); a null QChar for any
// other key. Lets Alt+letter codes work while a Cyrillic layout is active, where
// the key event carries the Cyrillic letter.
inline QChar qwertyLetterAt(quint32 xkbKeycode)
{
    // evdev codes 16..25, 30..38 and 44..50: the three letter rows.
    static constexpr char kRows[] = "QWERTYUIOP____ASDFGHJKL_____ZXCVBNM";
    constexpr quint32 kFirst = 16 + 8;
    if (xkbKeycode < kFirst || xkbKeycode >= kFirst + sizeof(kRows) - 1)
        return {};
    const char c = kRows[xkbKeycode - kFirst];
    return c == '_' ? QChar() : QChar(QLatin1Char(c));
}

} // namespace vardex::ui
