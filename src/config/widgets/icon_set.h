#pragma once

#include <QIcon>
#include <QPixmap>

// The shared 32 x 32 image list of the configuration tree and the loop picture:
// 0/1 TTL output, 2/3 high-side switch, 4/5 low-side switch, 6/7 relay, 8/9 PWM fan
// (normal/selected), 13 loops, 14 system board, 15 inputs, 16 outputs, 17 logging.
namespace vardex::config {

inline constexpr int kIconSize = 32;

// An empty pixmap for an index without a picture.
QPixmap imagePixmap(int index);
// Normal picture for the normal state, selectedIndex's picture when selected.
QIcon nodeIcon(int index, int selectedIndex);
// The ghosted look of a node whose output is not enabled.
QIcon cutIcon(int index);

} // namespace vardex::config
