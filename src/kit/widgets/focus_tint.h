#pragma once

class QWidget;

namespace vardex::ui {

// Numeric edits and drop-down lists of the configuration pages take the
// background RGB(222, 237, 222) while they have the focus, and the system's
// window colour again when they lose it.
void installFocusTint(QWidget *editor);

} // namespace vardex::ui
