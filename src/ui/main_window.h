#pragma once

#include "doctor/async_probe.h"
#include "kit/widgets/page.h"
#include "kit/widgets/page_context.h"
#include "kit/widgets/prompts.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QTabWidget;
class QTimer;

namespace vardex::link {
class DataModule;
struct DescriptionResult;
} // namespace vardex::link
namespace vardex::log {
class LogFrame;
}
namespace vardex::service {
class WatchDogPage;
}
namespace vardex::config {
class SetupFrame;
}
namespace vardex::loops {
class LoopPage;
class LoopFilePage;
} // namespace vardex::loops
namespace vardex::doctor {
class ConnectCard;
class ConnectionGuide;
} // namespace vardex::doctor
namespace vardex::trace {
class TraceDock;
}

namespace vardex::ui {

class DescriptionReader;
class Page;
class StatusBar;
class WorkPage;

inline const QString kApplicationTitle = QStringLiteral("Vardex 3.19");

// The program's one window: the tabs with their pages, the status bar with the
// progress bar, the connection and description handling (told to every page in
// its table), the hint line and the hidden-mode code.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // prompts: the seam for message boxes and file dialogs (tests pass their own).
    MainWindow(link::DataModule &dm, Prompts *prompts = nullptr, QWidget *parent = nullptr);
    ~MainWindow() override;

    void setConnected(bool connected);

    // The title the caption returns to (the demo marks itself as simulated here).
    void setApplicationTitle(const QString &title);
    const QString &applicationTitle() const { return m_applicationTitle; }

    link::DataModule &dataModule() { return m_dm; }
    Prompts &prompts() { return *m_prompts; }
    StatusBar &statusBar() { return *m_statusBar; }
    QTabWidget &pageControl() { return *m_pages; }
    QWidget *page(const QString &objectName) const;
    // A timer of the window or of one of its pages, by name.
    QTimer *timer(const QString &objectName) const;
    log::LogFrame *logFrame() const { return m_logFrame; }
    WorkPage *workPage() const { return m_workPage; }
    config::SetupFrame *setupFrame() const { return m_setupFrame; }
    loops::LoopPage *loopPage() const { return m_loopPage; }
    loops::LoopFilePage *loopFilePage() const { return m_loopFilePage; }
    service::WatchDogPage *watchDogPage() const { return m_watchDogPage; }
    DescriptionReader &descriptionReader() const { return *m_description; }
    // "Обмен" (Ctrl+T), closed at start-up; floating, or docked below the pages with
    // the window grown by its height.
    trace::TraceDock &traceDock() const { return *m_traceDock; }
    // What the connection doctor asks of the system (the program passes the real probe;
    // it runs on a worker thread).
    void setSystemProbe(doctor::SystemProbe probe);
    // The demo: the controller is simulated, and the doctor says so.
    void setLinkSimulated(bool simulated);
    // "Диагностика подключения".
    void showConnectionDoctor();
    // The card in the middle of the Work page while no controller is in use.
    doctor::ConnectCard &connectCard() const { return *m_connectCard; }
    doctor::ConnectionGuide &connectionGuide() const { return *m_guide; }
    const std::vector<Page *> &pageTable() const { return m_pageTable; }
    const QString &typedLetters() const { return m_typedLetters; }

    // Shows or hides the tab of a page (the page keeps its content).
    void setTabShown(const QString &pageName, bool shown);
    bool isTabShown(const QString &pageName) const;
    // The finished service pages hidden at start-up ("Futaba", "LAN_сторож",
    // "Подсветка", "О программе", "График "), shown for --service.
    void showServicePages();

    static constexpr QSize kClientSize{835, 701};
    // The trace's height when docked below the pages.
    static constexpr int kDockedTraceHeight = 240;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildPages();
    void showDescription(const link::DescriptionResult &result);
    void setBusyCursor(bool busy);
    void onKeyPress(QKeyEvent *event);
    void setHintLine(const QString &hint);
    void refreshCurrentLoop();
    void buildServiceMenu();
    void fitToTraceDock();

    link::DataModule &m_dm;
    std::unique_ptr<WidgetPrompts> m_ownPrompts;
    Prompts *m_prompts;
    QTabWidget *m_pages = nullptr;
    StatusBar *m_statusBar = nullptr;
    std::unique_ptr<PageContext> m_ctx;
    WorkPage *m_workPage = nullptr;
    log::LogFrame *m_logFrame = nullptr;
    config::SetupFrame *m_setupFrame = nullptr;
    loops::LoopPage *m_loopPage = nullptr;
    loops::LoopFilePage *m_loopFilePage = nullptr;
    service::WatchDogPage *m_watchDogPage = nullptr;
    // Every page, told of connection changes, descriptions, channel names, closing.
    std::vector<Page *> m_pageTable;
    DescriptionReader *m_description = nullptr;
    trace::TraceDock *m_traceDock = nullptr;
    doctor::ConnectCard *m_connectCard = nullptr;
    doctor::ConnectionGuide *m_guide = nullptr;
    // Hover hints wait for the pointer to move: at start-up the widget that happens to
    // lie under a still pointer is not something the engineer pointed at.
    bool m_pointerMoved = false;
    // The dock's listener on the data module's trace hook, taken off when the window goes
    // (the data module outlives it and may still trace while letting the device go).
    int m_traceListener = 0;
    int m_busyCursorDepth = 0;
    QString m_applicationTitle = kApplicationTitle;
    QString m_typedLetters;
    const QEvent *m_lastKeyEvent = nullptr;
    QPointer<QWidget> m_lastKeyTarget;
    bool m_pagesClosed = false;
    static constexpr int kCloseBoundMs = 2000;
    bool m_closeWhenIdle = false;
    // Key events carry XKB keycodes as their native scan codes.
    bool m_keycodesAreXkb = false;
};

} // namespace vardex::ui
