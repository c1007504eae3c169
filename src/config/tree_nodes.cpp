#include "config/tree_nodes.h"

namespace vardex::config {

namespace {

// Image indices of the shared icon set: 0/1 TTL output, 2/3 high-side switch,
// 4/5 low-side switch, 6/7 relay, 8/9 PWM fan, 13 loops, 14 system, 15 inputs,
// 16 outputs, 17 logging.
constexpr TreeNode group(const char *text, int image, int loop)
{
    return {text, 1, image, image, NodeKind::Group, loop, SetupPage::Control, "", -1};
}

constexpr TreeNode leaf(const char *text, int image, int loop)
{
    return {text, 2, image, image + 1, NodeKind::Loop, loop, SetupPage::Control, "", -1};
}

constexpr std::array<TreeNode, kTreeNodeCount> kNodes = {{
    {"Управление", 0, 13, 13, NodeKind::LoopsRoot, 0, SetupPage::First, "", -1},
    group("TTL выход ", 0, 1),
    leaf("TTL_1", 0, 1),
    leaf("TTL_2", 0, 2),
    leaf("TTL_3", 0, 3),
    leaf("TTL_4", 0, 4),
    leaf("TTL_5", 0, 5),
    leaf("TTL_6", 0, 6),
    leaf("TTL_7", 0, 7),
    leaf("TTL_8", 0, 8),
    group("Верхнии ключи", 2, 9),
    leaf("Ключ_1", 2, 9),
    leaf("Ключ_2", 2, 10),
    leaf("Ключ_3", 2, 11),
    leaf("Ключ_4", 2, 12),
    group("Нижнии ключи", 4, 13),
    leaf("Ключ_1", 4, 13),
    leaf("Ключ_2", 4, 14),
    leaf("Ключ_3", 4, 15),
    leaf("Ключ_4", 4, 16),
    group("Реле", 6, 17),
    leaf("Реле_1", 6, 17),
    leaf("Реле_2", 6, 18),
    leaf("Реле_3", 6, 19),
    leaf("Реле_4", 6, 20),
    leaf("Реле_5", 6, 21),
    leaf("Реле_6", 6, 22),
    group("ШИМ", 8, 23),
    leaf("ШИМ_1", 8, 23),
    leaf("ШИМ_2", 8, 24),
    leaf("ШИМ_3", 8, 25),
    leaf("ШИМ_4", 8, 26),
    {"Система", 0, 14, 14, NodeKind::System, 0, SetupPage::System, "", 14},
    {"Входы ", 1, 15, 15, NodeKind::System, 0, SetupPage::SystemIn, "Входы монитора", 15},
    {"Выходы", 1, 16, 16, NodeKind::System, 0, SetupPage::SystemOut, "Выходы монитора", 16},
    // The logging page keeps the outputs picture in the header; only the tree has its own.
    {"Логирование", 1, 17, 17, NodeKind::System, 0, SetupPage::LogSetup, "Логирование монитора",
     16},
}};

// First absolute index of each part of the output list, and its first loop.
struct Part {
    int firstLoop;
    int groupNode;
};
constexpr Part kParts[] = {{1, 1}, {9, 10}, {13, 15}, {17, 20}, {23, 27}};

} // namespace

const std::array<TreeNode, kTreeNodeCount> &treeNodes()
{
    return kNodes;
}

int groupNodeForLoop(int loop)
{
    if (loop < 1 || loop > 26)
        return -1;
    int group = -1;
    for (const Part &p : kParts) {
        if (loop >= p.firstLoop)
            group = p.groupNode;
    }
    return group;
}

int outputNodeForLoop(int loop)
{
    if (loop < 1 || loop > 26)
        return -1;
    int node = -1;
    for (const Part &p : kParts) {
        if (loop >= p.firstLoop)
            node = p.groupNode + 1 + (loop - p.firstLoop);
    }
    return node;
}

} // namespace vardex::config
