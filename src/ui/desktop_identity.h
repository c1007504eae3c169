#pragma once

namespace vardex::ui {

// The program's icon on every window and the desktop entry it belongs to, so the
// task bar shows our icon and groups the windows under "vardex.desktop".
void applyDesktopIdentity();

} // namespace vardex::ui
