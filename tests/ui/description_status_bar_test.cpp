#include "description_rig.h"

#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace vardex;
using test::DescriptionRig;

namespace {

void moveOver(ui::StatusBar &bar, int x)
{
    const QPointF local(x, 5);
    QMouseEvent move(QEvent::MouseMove, local, bar.mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&bar, &move);
}

} // namespace

// Positions and borders are covered with the main window; this is the way out.
TEST(StatusBarHints, LeavingTheBarClearsThePanelDescription)
{
    DescriptionRig rig;
    ui::StatusBar &bar = rig.window->statusBar();
    moveOver(bar, 300);
    ASSERT_FALSE(rig.panel(5).isEmpty());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&bar, &leave);
    EXPECT_TRUE(rig.panel(5).isEmpty());
}
