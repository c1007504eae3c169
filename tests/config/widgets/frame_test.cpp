#include "frame_rig.h"

#include "config/tree_nodes.h"

#include <QTreeWidgetItem>

#include <gtest/gtest.h>

using namespace vardex;
using test::FrameRig;

TEST(SetupFrameStartup, LoopFilePageWithLoopsPictureAndGreyOutputs)
{
    FrameRig rig;
    EXPECT_EQ(rig.frame->pageControl()->currentWidget(), rig.frame->firstTabSheet());
    EXPECT_EQ(rig.frame->firstTabSheet()->objectName(), "FirstTabSheet");
    EXPECT_EQ(rig.frame->controlTabSheet()->objectName(), "ControlTabSheet");
    EXPECT_EQ(rig.w<QLabel>("UprLoopConfigImage")->property("image").toInt(), 13);
    EXPECT_FALSE(rig.w<QLabel>("UprLoopConfigImage")->pixmap().isNull());
    EXPECT_TRUE(rig.w<QLabel>("UprLoopLabel")->text().isEmpty());
    EXPECT_TRUE(rig.w<QLabel>("Label25")->isHidden());
    EXPECT_EQ(rig.frame->currentLoop(), 0);
    for (int loop = 1; loop <= 26; ++loop) {
        const int node = config::outputNodeForLoop(loop);
        EXPECT_TRUE(rig.nodeCut(node)) << node;
        EXPECT_FALSE(rig.frame->tree()->node(node)->font(0).bold()) << node;
    }
    for (int node : {0, 1, 10, 15, 20, 27, 32, 33, 34, 35})
        EXPECT_FALSE(rig.nodeCut(node)) << node;
    EXPECT_FALSE(rig.w("ReadCfgBtn")->isEnabled());
    EXPECT_FALSE(rig.w("WriteCfgBtn")->isEnabled());
    EXPECT_EQ(rig.w<QLabel>("ConfigNameLabel")->text(), "Имя конфигурации");
}

TEST(SetupFrameStartup, SixPagesInOrderWithoutTabs)
{
    FrameRig rig;
    const char *names[] = {"ControlTabSheet",   "FirstTabSheet",  "SystemInTabSheet",
                           "SystemOutTabSheet", "SystemTabSheet", "LogSetupTabSheet"};
    QStackedWidget *pages = rig.frame->pageControl();
    ASSERT_EQ(pages->count(), 6);
    EXPECT_EQ(pages->objectName(), "SetupPageControl");
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(pages->widget(i)->objectName(), names[i]);
    // The main window puts the loop widgets into the two loop sheets.
    EXPECT_NE(rig.frame->controlTabSheet()->layout(), nullptr);
    EXPECT_NE(rig.frame->firstTabSheet()->layout(), nullptr);
}

TEST(SetupTreeSelection, GroupNodeShowsItsFirstLoopUnderTheGroupName)
{
    FrameRig rig;
    rig.frame->tree()->selectNode(27);
    ASSERT_EQ(rig.loopsShown.size(), 1u);
    EXPECT_EQ(rig.loopsShown[0].first, 23);
    EXPECT_EQ(rig.loopsShown[0].second, "ШИМ");
    EXPECT_EQ(rig.frame->currentLoop(), 23);
    EXPECT_EQ(rig.loopChanges, std::vector<int>{23});
    EXPECT_EQ(rig.frame->pageControl()->currentWidget(), rig.frame->controlTabSheet());
    EXPECT_EQ(rig.w<QLabel>("UprLoopLabel")->text(), "Контур управления ШИМ");
    EXPECT_EQ(rig.w<QLabel>("Label25")->text(), "27");
    EXPECT_EQ(rig.w<QLabel>("UprLoopConfigImage")->property("image").toInt(), 8);
}

TEST(SetupTreeSelection, LeafNodesShowTheirLoopNumber)
{
    FrameRig rig;
    const std::pair<int, int> cases[] = {{2, 1}, {9, 8}, {11, 9}, {17, 14}, {26, 22}, {31, 26}};
    for (auto [node, loop] : cases) {
        rig.frame->tree()->selectNode(node);
        EXPECT_EQ(rig.frame->currentLoop(), loop) << node;
        EXPECT_EQ(rig.loopsShown.back().first, loop);
    }
    rig.frame->tree()->selectNode(1);
    EXPECT_EQ(rig.w<QLabel>("UprLoopLabel")->text(), "Контур управления TTL выход ");
    rig.frame->tree()->selectNode(17);
    EXPECT_EQ(rig.w<QLabel>("UprLoopLabel")->text(), "Контур управления Ключ_2");
}

TEST(SetupTreeSelection, SystemNodesClearTheLoopAndNameThePage)
{
    FrameRig rig;
    rig.frame->tree()->selectNode(5);
    ASSERT_EQ(rig.frame->currentLoop(), 4);
    rig.loopsShown.clear();

    rig.frame->tree()->selectNode(33);
    EXPECT_EQ(rig.frame->currentLoop(), 0);
    EXPECT_EQ(rig.frame->pageControl()->currentWidget()->objectName(), "SystemInTabSheet");
    EXPECT_EQ(rig.w<QLabel>("UprLoopLabel")->text(), "Конфигурация системы  Входы монитора");
    EXPECT_EQ(rig.w<QLabel>("UprLoopConfigImage")->property("image").toInt(), 15);
    rig.frame->tree()->selectNode(32);
    EXPECT_EQ(rig.frame->pageControl()->currentWidget()->objectName(), "SystemTabSheet");
    EXPECT_EQ(rig.w<QLabel>("UprLoopLabel")->text(), "Конфигурация системы  ");
    EXPECT_EQ(rig.w<QLabel>("UprLoopConfigImage")->property("image").toInt(), 14);
    rig.frame->tree()->selectNode(34);
    EXPECT_EQ(rig.w<QLabel>("UprLoopLabel")->text(), "Конфигурация системы  Выходы монитора");
    EXPECT_EQ(rig.w<QLabel>("UprLoopConfigImage")->property("image").toInt(), 16);
    rig.frame->tree()->selectNode(35);
    EXPECT_EQ(rig.frame->pageControl()->currentWidget()->objectName(), "LogSetupTabSheet");
    EXPECT_EQ(rig.w<QLabel>("UprLoopLabel")->text(), "Конфигурация системы  Логирование монитора");
    // The header keeps the outputs picture for the logging page; the tree node has its own.
    EXPECT_EQ(rig.w<QLabel>("UprLoopConfigImage")->property("image").toInt(), 16);
    EXPECT_TRUE(rig.loopsShown.empty());
    EXPECT_EQ(rig.loopChanges, (std::vector<int>{4, 0}));
}

// The loop file page names itself, whatever page was shown before it.
TEST(SetupTreeSelection, RootShowsTheLoopFilePagesOwnHeader)
{
    FrameRig rig;
    for (int before : {35, 5}) {
        rig.frame->tree()->selectNode(before);
        rig.frame->tree()->selectNode(0);
        EXPECT_EQ(rig.w<QLabel>("UprLoopLabel")->text(), config::kLoopFileHeader) << before;
    }
    EXPECT_EQ(rig.frame->currentLoop(), 0);
    EXPECT_EQ(rig.frame->pageControl()->currentWidget(), rig.frame->firstTabSheet());
    EXPECT_EQ(rig.w<QLabel>("UprLoopConfigImage")->property("image").toInt(), 13);
    EXPECT_EQ(rig.w<QLabel>("Label25")->text(), "0");
}

TEST(SetupTreeLook, OutputNodeLookIsNeverBold)
{
    FrameRig rig;
    QTreeWidgetItem *item = rig.frame->tree()->node(12);
    QFont bold = item->font(0);
    bold.setBold(true);
    item->setFont(0, bold);
    rig.frame->setOutputNodeLook(12, true);
    EXPECT_FALSE(rig.nodeCut(12));
    EXPECT_FALSE(item->font(0).bold());
    rig.frame->setOutputNodeLook(12, false);
    EXPECT_TRUE(rig.nodeCut(12));
    // Out-of-range nodes are ignored.
    rig.frame->setOutputNodeLook(36, true);
    rig.frame->setOutputNodeLook(-1, true);
}
