#include "frame_rig.h"

#include "config/config_file.h"

#include <QDir>
#include <QPixmap>

#include <gtest/gtest.h>

using namespace vardex;
using test::FrameRig;

namespace {

// Every visible control of the page lies inside the page and is at least as
// large as it asks to be, so no caption or edit is cut off.
void expectNothingClipped(QWidget *page)
{
    const QRect area = page->rect();
    for (QWidget *w : page->findChildren<QWidget *>()) {
        if (!w->isVisible() || w->parentWidget() == nullptr || qobject_cast<QLineEdit *>(w) ||
            w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
        EXPECT_TRUE(area.contains(r))
            << page->objectName().toStdString() << ": " << w->metaObject()->className() << " "
            << w->objectName().toStdString();
        const QSize hint = w->minimumSizeHint();
        if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLabel *>(w)) {
            EXPECT_GE(w->width(), hint.width()) << w->objectName().toStdString();
        }
    }
}

} // namespace

// Renders the four configuration pages in the tab's 831 x 655 area. With
// VARDEX_SCREENSHOT_DIR set the pictures are written there.
TEST(ConfigPagesLayout, FourPagesFitTheTab)
{
    FrameRig rig;
    ASSERT_TRUE(
        config::loadConfigFile(QStringLiteral(VARDEX_TEST_DATA "/full.cfg"), rig.config()).ok);
    rig.frame->showMonitorConfig();
    rig.frame->setFixedSize(831, 655);
    rig.frame->show();
    const QString dir = qEnvironmentVariable("VARDEX_SCREENSHOT_DIR");
    const std::pair<int, const char *> pages[] = {
        {32, "system"}, {33, "inputs"}, {34, "outputs"}, {35, "logging"}};
    for (auto [node, name] : pages) {
        rig.frame->tree()->selectNode(node);
        QApplication::processEvents();
        QWidget *page = rig.frame->pageControl()->currentWidget();
        expectNothingClipped(page);
        const QPixmap shot = rig.frame->grab();
        EXPECT_EQ(shot.size() / shot.devicePixelRatio(), QSize(831, 655));
        if (!dir.isEmpty())
            shot.save(QDir(dir).filePath(QStringLiteral("config-%1.png").arg(QLatin1String(name))));
    }
}
