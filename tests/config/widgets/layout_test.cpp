#include "frame_rig.h"

#include "config/config_file.h"
#include "support/layout_check.h"

#include <QDir>
#include <QPixmap>

#include <gtest/gtest.h>

using namespace vardex;
using test::FrameRig;

namespace {

// The configuration pages' form: widths as asked, captions whole, nothing overlapping.
void expectNothingClipped(QWidget *page)
{
    test::LayoutRules rules;
    rules.heights = false;
    rules.labelText = false;
    const test::LayoutReport layout = test::checkLayout(page, rules);
    EXPECT_TRUE(layout.ok()) << page->objectName().toStdString() << "\n"
                             << layout.text().toStdString();
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
