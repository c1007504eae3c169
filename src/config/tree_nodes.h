#pragma once

#include <QString>

#include <array>

// The 36 nodes of the configuration tree in their absolute (pre-order) index order,
// and what selecting each one means. The absolute index decides everything.
namespace vardex::config {

inline constexpr int kTreeNodeCount = 36;

enum class NodeKind {
    LoopsRoot, // the loop file page
    Group,     // an output group: shows its first loop
    Loop,      // one output: shows its loop
    System,    // the system board and its pages
};

// The pages of the frame, in the page control's order.
enum class SetupPage { Control, First, SystemIn, SystemOut, System, LogSetup };

struct TreeNode {
    const char *text;
    int level; // 0 root, 1 child, 2 grandchild
    int image;
    int selectedImage;
    NodeKind kind;
    int loop; // 1..26 for groups and loops, else 0
    SetupPage page;
    const char *headerSuffix; // after "Конфигурация системы  " for system nodes
    int headerImage;          // system nodes: the header strip's picture
};

const std::array<TreeNode, kTreeNodeCount> &treeNodes();

// Loop n (1..26) belongs to the output node with this absolute index.
int outputNodeForLoop(int loop);
// The group node of a loop's output list part (1 TTL, 10 high-side, ...).
int groupNodeForLoop(int loop);

inline const QString kSystemHeader = QStringLiteral("Конфигурация системы  ");
inline const QString kLoopHeader = QStringLiteral("Контур управления ");
// The loop file page: all 26 loops, to and from a file and the controller.
inline const QString kLoopFileHeader = QStringLiteral("Контуры управления: все 26");

} // namespace vardex::config
