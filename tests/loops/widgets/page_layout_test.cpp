#include "loops/widgets/ext_box.h"
#include "loops/widgets/loop_file_page.h"
#include "loops/widgets/loop_page.h"
#include "loops_rig.h"

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

// Every visible control lies inside the page and inside its parent.
void expectNothingClipped(QWidget &page)
{
    EXPECT_LE(page.minimumSizeHint().width(), kPageArea.width());
    EXPECT_LE(page.minimumSizeHint().height(), kPageArea.height());
    EXPECT_EQ(page.size(), kPageArea);
    for (QWidget *w : page.findChildren<QWidget *>()) {
        if (!w->isVisibleTo(&page) || !w->parentWidget() || w->objectName().startsWith("qt_"))
            continue;
        const QRect inParent = w->geometry();
        EXPECT_TRUE(w->parentWidget()->rect().contains(inParent))
            << w->metaObject()->className() << " " << w->objectName().toStdString();
        // Lists and buttons show their whole caption.
        if (qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractButton *>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        }
        const QRect onPage(w->mapTo(&page, QPoint(0, 0)), w->size());
        EXPECT_TRUE(page.rect().contains(onPage)) << w->objectName().toStdString();
    }
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
    expectNothingClipped(page);
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
