#pragma once

#include <QString>

// The 64 system flags as the Work page lays them out.
namespace vardex::work {

inline constexpr int kSystemFlagCount = 64;

enum class FlagLook {
    Captioned, // caption and hint
    Bare,      // a check box without caption or hint
    Hidden,    // not shown
};

struct SystemFlagInfo {
    FlagLook look = FlagLook::Hidden;
    QString caption;
    QString hint; // shown on the hint line only, never as a tooltip
};

// Flag n (1..64); any other n is Hidden. Flags 4..6 carry the form's captions of
// channels 4, 5 and the mains; the main window renames them at start-up.
SystemFlagInfo systemFlagInfo(int n);

// Flag of control loop n (1..26).
constexpr int loopFlag(int loop)
{
    return 32 + loop;
}

} // namespace vardex::work
