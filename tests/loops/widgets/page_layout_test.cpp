#include "loops/widgets/ext_box.h"
#include "loops/widgets/loop_file_page.h"
#include "loops/widgets/loop_page.h"
#include "loops_rig.h"
#include "support/layout_check.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace vardex;
using test::LoopsRig;

namespace {

// The pages sit right of the configuration tree in the 831 x 655 tab.
const QSize kPageArea(640, 600);

// Saves a picture of the page when VARDEX_SCREENSHOT_DIR names a folder.
void saveShot(QWidget &page, const char *name)
{
    const QString dir = qEnvironmentVariable("VARDEX_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        page.grab().save(QDir(dir).filePath(QLatin1String(name)));
}

// Inside the page area; lists and buttons show their whole caption. The extended box
// opens over the page on purpose (what it may cover is checked by the test).
void expectNothingClipped(QWidget &page, std::vector<const QWidget *> overlays = {})
{
    EXPECT_LE(page.minimumSizeHint().width(), kPageArea.width());
    EXPECT_LE(page.minimumSizeHint().height(), kPageArea.height());
    EXPECT_EQ(page.size(), kPageArea);
    test::LayoutRules rules;
    rules.heights = false;
    rules.labelText = false;
    rules.fullCaptions = true;
    rules.overlays = std::move(overlays);
    const test::LayoutReport layout = test::checkLayout(&page, rules);
    EXPECT_TRUE(layout.ok()) << layout.text().toStdString();
}

} // namespace

TEST(LoopPageLayout, FitsBesideTheTreeWithTheBoxOpen)
{
    LoopsRig rig;
    loops::LoopPage page(rig.ctx);
    page.setFixedSize(kPageArea);
    page.show();
    page.showUprLoop(5, QStringLiteral("TTL_5"));
    auto *ext = page.findChild<QPushButton *>(QStringLiteral("UprLoopConfigExtBtn"));
    ext->click();
    ASSERT_TRUE(test::waitUntil([&] { return page.extendedBox()->isVisible(); }));
    expectNothingClipped(page, {page.extendedBox()});
    // The open box must leave its own button reachable.
    const QRect box = page.extendedBox()->geometry();
    for (auto *b : page.findChildren<QPushButton *>()) {
        const QRect r(b->mapTo(&page, QPoint(0, 0)), b->size());
        EXPECT_FALSE(box.intersects(r)) << b->objectName().toStdString();
    }
    saveShot(page, "loops-loop-page.png");
    ext->click();
    saveShot(page, "loops-loop-page-closed.png");
}

TEST(LoopPageLayout, FilePageFits)
{
    LoopsRig rig;
    loops::LoopFilePage page(rig.ctx);
    page.setFixedSize(kPageArea);
    page.show();
    ASSERT_TRUE(test::waitUntil([&] { return page.isVisible(); }));
    expectNothingClipped(page);
    for (auto *b : page.findChildren<QAbstractButton *>())
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->objectName().toStdString();
    saveShot(page, "loops-file-page.png");
}
