#include "config/tree_nodes.h"

#include <gtest/gtest.h>

#include <set>

using namespace vardex::config;

TEST(SetupTreeNodes, EveryLoopHasExactlyOneOutputNode)
{
    std::set<int> loops;
    for (int i = 0; i < kTreeNodeCount; ++i) {
        const TreeNode &node = treeNodes()[i];
        if (node.kind == NodeKind::Loop) {
            EXPECT_TRUE(loops.insert(node.loop).second) << "node " << i;
            EXPECT_EQ(outputNodeForLoop(node.loop), i);
        }
    }
    EXPECT_EQ(loops.size(), 26u);
    EXPECT_EQ(*loops.begin(), 1);
    EXPECT_EQ(*loops.rbegin(), 26);
}

TEST(SetupTreeNodes, AbsoluteIndicesOfTheOutputGroups)
{
    // The output boxes address these nodes: TTL 1+n, high 10+n, low 15+n, relay 20+n, PWM 27+n.
    EXPECT_EQ(outputNodeForLoop(1), 2);
    EXPECT_EQ(outputNodeForLoop(8), 9);
    EXPECT_EQ(outputNodeForLoop(9), 11);
    EXPECT_EQ(outputNodeForLoop(13), 16);
    EXPECT_EQ(outputNodeForLoop(14), 17);
    EXPECT_EQ(outputNodeForLoop(17), 21);
    EXPECT_EQ(outputNodeForLoop(23), 28);
    EXPECT_EQ(outputNodeForLoop(26), 31);
    EXPECT_EQ(outputNodeForLoop(0), -1);
    EXPECT_EQ(outputNodeForLoop(27), -1);
    EXPECT_STREQ(treeNodes()[17].text, "Ключ_2");
    EXPECT_STREQ(treeNodes()[15].text, "Нижнии ключи");
}

TEST(SetupTreeNodes, GroupsShowTheirFirstLoop)
{
    const int groups[] = {1, 10, 15, 20, 27};
    const int first[] = {1, 9, 13, 17, 23};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(treeNodes()[groups[k]].kind, NodeKind::Group);
        EXPECT_EQ(treeNodes()[groups[k]].loop, first[k]);
        EXPECT_EQ(groupNodeForLoop(first[k]), groups[k]);
    }
    EXPECT_EQ(groupNodeForLoop(26), 27);
    EXPECT_EQ(groupNodeForLoop(16), 15);
}

TEST(SetupTreeNodes, SystemNodesShowNoLoop)
{
    for (int i : {0, 32, 33, 34, 35})
        EXPECT_EQ(treeNodes()[i].loop, 0) << i;
    EXPECT_EQ(treeNodes()[32].page, SetupPage::System);
    EXPECT_EQ(treeNodes()[33].page, SetupPage::SystemIn);
    EXPECT_EQ(treeNodes()[34].page, SetupPage::SystemOut);
    EXPECT_EQ(treeNodes()[35].page, SetupPage::LogSetup);
}
