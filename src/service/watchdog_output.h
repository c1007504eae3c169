#pragma once

#include "link/device_image.h"

#include <QString>
#include <QStringList>

// The outputs the watchdog can pulse: items 0..7 are the high-side and low-side
// switches (SwitchesTask bits 0..7), items 8..15 the relay task bits 0..7 (items 14
// and 15 have no relay behind them and empty texts).
namespace vardex::service {

inline constexpr int kWatchdogOutputItems = 16;

// The texts of the output list, item 0 first.
QStringList watchdogOutputTexts();

// Sets or clears the output of item index; an index outside the list (text that
// selects no item) changes nothing and returns false.
bool setWatchdogOutput(link::OutputTask &task, int index, bool on);

// "relay1".."relay6", "h1".."h4" (high-side switches), "l1".."l4" (low-side): the item
// of the output list, or -1. The words of the command line and the window's --watch-output.
int watchdogOutputOfWord(const QString &word);

// The item's name for the decision log.
QString watchdogOutputName(int index);

} // namespace vardex::service
