#pragma once

#include "kit/widgets/page.h"

#include <QWidget>

class QLabel;
class QStackedWidget;

namespace vardex::ui {
struct PageContext;
}

namespace vardex::config {

class InputsPage;
class LoggingPage;
class OutputsPage;
class SetupTree;
class SystemPage;

// The content of the configuration tab: the navigation tree, the header strip and
// the six pages. The loop page and the loop file page are put into
// controlTabSheet() and firstTabSheet() by the main window; the frame tells it
// which loop to show through loopShown().
class SetupFrame : public QWidget, public ui::Page {
    Q_OBJECT
public:
    explicit SetupFrame(ui::PageContext &ctx, QWidget *parent = nullptr);

    QWidget *controlTabSheet() const { return m_control; }
    QWidget *firstTabSheet() const { return m_first; }
    QStackedWidget *pageControl() const { return m_pages; }
    SetupTree *tree() const { return m_tree; }

    // The loop on the loop page, 0 when the tree shows none.
    int currentLoop() const { return m_currentLoop; }
    // The firmware version in the image says the extended loop records exist.
    bool extendedLoopsAvailable() const;

    // Fills the system, inputs, outputs and logging pages from the configuration
    // and sets the look of every output node. Only displays.
    void showMonitorConfig();
    void setOutputNodeLook(int node, bool enabled);

    void onConnectionChanged(bool connected) override;
    // A described controller: the pages show its configuration, reading and
    // writing it become possible.
    void onDescriptionRead(const link::DescriptionResult &result) override;
    void onChannelNames(const ChannelNames &names) override;

signals:
    // CurrentLoop is n, the loop page is up and the header reads
    // "Контур управления " + nodeText.
    void loopShown(int n, const QString &nodeText);
    void currentLoopChanged(int n);
    // A load, clear or read replaced the configuration (pages already filled).
    void configurationChanged();
    // A load or read (not a clear) replaced it.
    void configurationTaken();

private:
    void onNodeSelected(int index);
    void setCurrentLoop(int n);
    void setHeaderIcon(int image);

    ui::PageContext &m_ctx;
    SetupTree *m_tree;
    QStackedWidget *m_pages;
    QWidget *m_control;
    QWidget *m_first;
    SystemPage *m_system;
    InputsPage *m_inputs;
    OutputsPage *m_outputs;
    LoggingPage *m_logging;
    QLabel *m_headerImage;
    QLabel *m_headerText;
    QLabel *m_indexLabel;
    int m_currentLoop = 0;
};

} // namespace vardex::config
