#include "ui/main_window.h"

#include "config/widgets/setup_frame.h"
#include "display/widgets/futaba_page.h"
#include "doctor/widgets/connect_card.h"
#include "doctor/widgets/connection_guide.h"
#include "doctor/widgets/doctor_window.h"
#include "kit/widgets/page.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "log/widgets/log_frame.h"
#include "loops/widgets/loop_file_page.h"
#include "loops/widgets/loop_page.h"
#include "service/widgets/about_page.h"
#include "service/widgets/graph_page.h"
#include "service/widgets/pwm_switch_page.h"
#include "service/widgets/watchdog_page.h"
#include "trace/widgets/trace_dock.h"
#include "ui/description_reader.h"
#include "ui/key_letter.h"
#include "work/description_text.h"
#include "work/description_transfer.h"
#include "work/widgets/work_page.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace vardex::ui {

namespace {

const QString kHiddenModeCode = QStringLiteral("KORVA");

struct PageSpec {
    const char *name;
    const char *caption;
};

// Tab order of the main page control.
constexpr PageSpec kPages[] = {
    {"WorkTabSheet", "Работа "},        {"LogTabSheet", "Логирование"},
    {"SetupTabSheet", "Конфигурация "}, {"StendTabSheet", "Стенд"},
    {"UpdateTabSheet", "Обновление "},  {"TestTabSheet", "Тест"},
    {"FutabaTabSheet", "Futaba"},       {"WatchDogTabSheet", "LAN_сторож"},
    {"SwitchPWMTabSheet", "Подсветка"}, {"AboutTabSheet", "О программе"},
    {"GraphTabSheet", "График "},
};

} // namespace

MainWindow::MainWindow(link::DataModule &dm, Prompts *prompts, QWidget *parent)
    : QMainWindow(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Form1"));
    if (!prompts) {
        m_ownPrompts = std::make_unique<WidgetPrompts>(this);
        prompts = m_ownPrompts.get();
    }
    m_prompts = prompts;

    // Fixed single border, no maximise box, client area 835 x 701.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientSize);
    setWindowTitle(kApplicationTitle);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_pages = new QTabWidget(central);
    m_pages->setObjectName(QStringLiteral("MainPageControl"));
    m_statusBar = new StatusBar(central);
    layout->addWidget(m_pages, 1);
    layout->addWidget(m_statusBar);
    setCentralWidget(central);

    m_ctx = std::make_unique<PageContext>(PageContext{m_dm, *m_prompts, *m_statusBar});

    buildPages();
    m_description = new DescriptionReader(m_dm, *m_prompts, this);
    connect(m_description, &DescriptionReader::described, this, &MainWindow::showDescription);
    connect(m_workPage, &WorkPage::descriptionRequested, m_description, &DescriptionReader::read);
    buildServiceMenu();

    // Start-up: the loop records begin with cleared inputs.
    for (int n = 1; n <= link::kLoopCount; ++n)
        m_dm.image().loop(n).clearInputs();

    setTabShown(QStringLiteral("LogTabSheet"), true);
    m_pages->setCurrentWidget(page(QStringLiteral("WorkTabSheet")));
    setTabShown(QStringLiteral("SetupTabSheet"), true);
    for (const char *hidden :
         {"StendTabSheet", "TestTabSheet", "UpdateTabSheet", "FutabaTabSheet", "WatchDogTabSheet",
          "SwitchPWMTabSheet", "AboutTabSheet", "GraphTabSheet"})
        setTabShown(QLatin1String(hidden), false);
    move(0, 0);
    for (Page *p : m_pageTable)
        p->onChannelNames(defaultChannelNames());

    connect(&m_dm, &link::DataModule::connectionChanged, this, &MainWindow::setConnected);
    connect(&m_dm, &link::DataModule::linkError, this,
            [this](const QString &text) { m_statusBar->setPanelText(5, text); });
    connect(&m_dm, &link::DataModule::controllerErrorReply, this,
            [this] { m_prompts->message(tr("Нет ответа контроллера"), Prompts::Kind::Warning); });
    connect(&m_dm, &link::DataModule::progressVisibilityChanged, this,
            [this](bool visible, int maximum) {
                QProgressBar *bar = m_statusBar->progressBar();
                bar->setRange(0, maximum);
                bar->setValue(0);
                bar->setVisible(visible);
            });
    connect(&m_dm, &link::DataModule::progressChanged, this,
            [this](int position) { m_statusBar->progressBar()->setValue(position); });
    connect(&m_dm, &link::DataModule::busyCursorChanged, this, &MainWindow::setBusyCursor);
    connect(&m_dm, &link::DataModule::becameIdle, this, [this] {
        if (m_closeWhenIdle)
            QTimer::singleShot(0, this, &QWidget::close);
    });
    // Said at once, in place of the action that would otherwise fire when the sequence
    // ends, seconds or minutes after the click.
    connect(&m_dm, &link::DataModule::operationRefused, this, [this] {
        setHintLine(tr("Канал связи занят долгой операцией: действие не выполнено"));
    });
    // A click queued behind a running operation belongs to the controller it was made
    // for: when that one goes, the engineer learns which did not run.
    connect(&m_dm, &link::DataModule::operationsDropped, this,
            [this](const QStringList &names, bool replaced) {
                setHintLine((replaced ? tr("Отменено при смене контроллера: %1")
                                      : tr("Отменено при отключении контроллера: %1"))
                                .arg(names.join(QStringLiteral(", "))));
            });
    connect(m_statusBar, &StatusBar::hintChanged, this, &MainWindow::setHintLine);

    const QString platform = QGuiApplication::platformName();
    m_keycodesAreXkb = platform == QLatin1String("xcb") || platform == QLatin1String("wayland");
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    m_dm.removeTraceListener(m_traceListener);
    // Closing hides a docked trace, which would ask this half-destroyed window to refit.
    disconnect(m_traceDock, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    while (m_busyCursorDepth > 0)
        setBusyCursor(false);
}

void MainWindow::buildPages()
{
    for (const PageSpec &page : kPages) {
        auto *sheet = new QWidget(m_pages);
        sheet->setObjectName(QLatin1String(page.name));
        auto *layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        m_pages->addTab(sheet, tr(page.caption));
    }
    m_workPage = new WorkPage(*m_ctx, page(QStringLiteral("WorkTabSheet")));
    page(QStringLiteral("WorkTabSheet"))->layout()->addWidget(m_workPage);

    m_logFrame = new log::LogFrame(*m_ctx, page(QStringLiteral("LogTabSheet")));
    page(QStringLiteral("LogTabSheet"))->layout()->addWidget(m_logFrame);

    // The configuration tab: the tree and its pages, with the loop editors in two of them.
    QWidget *setupSheet = page(QStringLiteral("SetupTabSheet"));
    m_setupFrame = new config::SetupFrame(*m_ctx, setupSheet);
    setupSheet->layout()->addWidget(m_setupFrame);
    m_loopPage = new loops::LoopPage(*m_ctx, m_setupFrame->controlTabSheet());
    m_setupFrame->controlTabSheet()->layout()->addWidget(m_loopPage);
    m_loopFilePage = new loops::LoopFilePage(*m_ctx, m_setupFrame->firstTabSheet());
    m_setupFrame->firstTabSheet()->layout()->addWidget(m_loopFilePage);

    connect(m_setupFrame, &config::SetupFrame::loopShown, m_loopPage,
            &loops::LoopPage::showUprLoop);
    connect(m_setupFrame, &config::SetupFrame::currentLoopChanged, m_loopPage,
            &loops::LoopPage::setCurrentLoop);
    // A loaded, cleared or read configuration may change which loops and extended
    // settings exist; a loaded or read loop file changes what the loop page shows.
    connect(m_setupFrame, &config::SetupFrame::configurationChanged, this, [this] {
        m_loopPage->updateExtendedAvailability();
        refreshCurrentLoop();
    });
    connect(m_loopFilePage, &loops::LoopFilePage::loopsChanged, this,
            &MainWindow::refreshCurrentLoop);
    // The log's temperatures are worth what the sensors' resolutions say.
    connect(m_setupFrame, &config::SetupFrame::configurationTaken, m_logFrame,
            &log::LogFrame::onConfigurationTaken);

    m_pageTable = {m_workPage, m_logFrame, m_setupFrame, m_loopPage, m_loopFilePage};

    QWidget *futabaSheet = page(QStringLiteral("FutabaTabSheet"));
    auto *futaba = new display::FutabaPage(*m_ctx, futabaSheet);
    futabaSheet->layout()->addWidget(futaba);
    m_pageTable.push_back(futaba);

    // The watchdog page owns PingTimer; the programs give it the ICMP echo.
    QWidget *watchDogSheet = page(QStringLiteral("WatchDogTabSheet"));
    m_watchDogPage = new service::WatchDogPage(*m_ctx, nullptr, watchDogSheet);
    watchDogSheet->layout()->addWidget(m_watchDogPage);
    m_pageTable.push_back(m_watchDogPage);

    // The bench pages own their timers (the sweep's runs from here on).
    auto *pwm = new service::PwmSwitchPage(*m_ctx);
    auto *about = new service::AboutPage(*m_ctx);
    auto *graph = new service::GraphPage(*m_ctx, [this] { m_workPage->showMonitorState(); });
    page(QStringLiteral("SwitchPWMTabSheet"))->layout()->addWidget(pwm);
    page(QStringLiteral("AboutTabSheet"))->layout()->addWidget(about);
    page(QStringLiteral("GraphTabSheet"))->layout()->addWidget(graph);
    m_pageTable.insert(m_pageTable.end(), {pwm, about, graph});
}

void MainWindow::showDescription(const link::DescriptionResult &result)
{
    if (result.described) {
        const link::MonitorConfig &c = m_dm.image().config;
        m_statusBar->setPanelText(1, QStringLiteral("v %1").arg(c.firmwareVersion));
        m_statusBar->setPanelText(2, QStringLiteral("v %1").arg(c.buildVariant));
        m_statusBar->setPanelText(3, QStringLiteral("v %1").arg(c.hardwareConfigNumber));
    }
    for (Page *p : m_pageTable)
        p->onDescriptionRead(result);
    if (result.identityAnswered) {
        setWindowTitle(result.serial.isEmpty()
                           ? m_applicationTitle
                           : work::identityCaption(m_applicationTitle, result.serial));
    }
    if (result.timed)
        setWindowTitle(work::withDuration(result.elapsedMs, windowTitle()));
}

void MainWindow::setBusyCursor(bool busy)
{
    // Nested operations count; the hourglass goes when the outermost ends.
    if (busy) {
        if (m_busyCursorDepth++ == 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_busyCursorDepth > 0) {
        if (--m_busyCursorDepth == 0)
            QApplication::restoreOverrideCursor();
    }
}

void MainWindow::buildServiceMenu()
{
    m_traceDock = new trace::TraceDock(*m_prompts, this);
    m_traceDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, m_traceDock);
    // Floating beside the window by default; docked, the window grows to hold it, so the
    // pages keep their fixed size.
    m_traceDock->setFloating(true);
    m_traceDock->resize(900, 420);
    m_traceDock->hide();
    m_traceListener =
        m_dm.addTraceListener([dock = m_traceDock](const link::TraceEntry &e) { dock->append(e); });
    connect(m_traceDock, &QDockWidget::topLevelChanged, this, &MainWindow::fitToTraceDock);
    connect(m_traceDock, &QDockWidget::visibilityChanged, this, &MainWindow::fitToTraceDock);

    QMenu *menu = menuBar()->addMenu(tr("Сервис"));
    QAction *trace = m_traceDock->toggleViewAction();
    trace->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    trace->setObjectName(QStringLiteral("TraceAction"));
    menu->addAction(trace);
    QAction *doctor =
        menu->addAction(doctor::kDoctorButtonText, this, &MainWindow::showConnectionDoctor);
    doctor->setObjectName(QStringLiteral("DoctorAction"));

    // Without a controller the Work page says what the window waits for.
    m_connectCard = new doctor::ConnectCard(page(QStringLiteral("WorkTabSheet")));
    m_guide = new doctor::ConnectionGuide(m_dm, *m_statusBar, *m_connectCard, this);
    connect(m_connectCard, &doctor::ConnectCard::doctorRequested, this,
            &MainWindow::showConnectionDoctor);
    connect(m_connectCard, &doctor::ConnectCard::borrowRequested, m_guide,
            &doctor::ConnectionGuide::borrow);
    QAction *giveBack =
        menu->addAction(doctor::kGiveBackText, m_guide, &doctor::ConnectionGuide::giveBack);
    giveBack->setObjectName(QStringLiteral("GiveBackAction"));
    giveBack->setEnabled(false);
    connect(m_guide, &doctor::ConnectionGuide::loanChanged, giveBack, &QAction::setEnabled);
    fitToTraceDock();
}

void MainWindow::fitToTraceDock()
{
    // The pages keep their client area; the menu bar and a docked trace add to it.
    int height = kClientSize.height() + menuBar()->sizeHint().height();
    const bool docked = m_traceDock->isVisibleTo(this) && !m_traceDock->isFloating();
    if (docked) {
        m_traceDock->setFixedHeight(kDockedTraceHeight);
        height += kDockedTraceHeight +
                  style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
    } else {
        m_traceDock->setMinimumHeight(0);
        m_traceDock->setMaximumHeight(QWIDGETSIZE_MAX);
    }
    setFixedSize(kClientSize.width(), height);
}

void MainWindow::setSystemProbe(doctor::SystemProbe probe)
{
    m_guide->setProbe(std::move(probe));
}

void MainWindow::setLinkSimulated(bool simulated)
{
    m_guide->setSimulated(simulated);
}

void MainWindow::showConnectionDoctor()
{
    auto *window = new doctor::DoctorWindow(m_guide->probeWithFacts(), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void MainWindow::refreshCurrentLoop()
{
    const int n = m_setupFrame->currentLoop();
    if (n > 0)
        m_loopPage->showUprLoop(n, QString());
}

QWidget *MainWindow::page(const QString &objectName) const
{
    for (int i = 0; i < m_pages->count(); ++i) {
        if (m_pages->widget(i)->objectName() == objectName)
            return m_pages->widget(i);
    }
    return nullptr;
}

QTimer *MainWindow::timer(const QString &objectName) const
{
    return findChild<QTimer *>(objectName);
}

void MainWindow::setTabShown(const QString &pageName, bool shown)
{
    if (QWidget *w = page(pageName))
        m_pages->setTabVisible(m_pages->indexOf(w), shown);
}

bool MainWindow::isTabShown(const QString &pageName) const
{
    QWidget *w = page(pageName);
    return w && m_pages->isTabVisible(m_pages->indexOf(w));
}

void MainWindow::showServicePages()
{
    for (const char *name : {"FutabaTabSheet", "WatchDogTabSheet", "SwitchPWMTabSheet",
                             "AboutTabSheet", "GraphTabSheet"})
        setTabShown(QLatin1String(name), true);
}

void MainWindow::setConnected(bool connected)
{
    m_statusBar->setPanelText(0, connected ? tr("Подключен") : tr("Не подключен"));
    if (!connected)
        setWindowTitle(m_applicationTitle);
    m_statusBar->setPanelText(5, QString());
    for (Page *p : m_pageTable)
        p->onConnectionChanged(connected);
}

void MainWindow::setApplicationTitle(const QString &title)
{
    m_applicationTitle = title;
    setWindowTitle(title);
}

void MainWindow::setHintLine(const QString &hint)
{
    m_statusBar->setPanelText(5, hint);
}

bool MainWindow::event(QEvent *event)
{
    // Long hints of the controls under the mouse go to the hint line.
    if (event->type() == QEvent::StatusTip) {
        if (m_pointerMoved)
            setHintLine(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_pointerMoved && event->type() == QEvent::MouseMove && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this)
        m_pointerMoved = true;
    // Key preview: the window sees every key press before the focused control.
    // A press that propagates to parent widgets is the same event; count it once.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto *target = static_cast<QWidget *>(watched);
        const bool propagated = event == m_lastKeyEvent && m_lastKeyTarget &&
                                target != m_lastKeyTarget && target->isAncestorOf(m_lastKeyTarget);
        m_lastKeyEvent = event;
        m_lastKeyTarget = target;
        if (!propagated && target->window() == this)
            onKeyPress(static_cast<QKeyEvent *>(event));
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::onKeyPress(QKeyEvent *event)
{
    const auto mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                            Qt::AltModifier | Qt::MetaModifier);
    if (mods != Qt::AltModifier)
        return;
    const int key = event->key();
    QChar letter;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        letter = QChar(u'A' + (key - Qt::Key_A));
    else if (m_keycodesAreXkb)
        letter = qwertyLetterAt(event->nativeScanCode()); // a non-Latin layout
    if (letter.isNull())
        return;
    m_typedLetters.append(letter);
    if (m_typedLetters == kHiddenModeCode) {
        setTabShown(QStringLiteral("SetupTabSheet"), true);
    } else if (!kHiddenModeCode.startsWith(m_typedLetters)) {
        m_typedLetters.clear();
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The pages close while the link is still there, so that what they must leave
    // behind (the watchdog switching off a pulse that is on) still reaches the controller.
    if (!m_pagesClosed) {
        m_pagesClosed = true;
        for (Page *p : m_pageTable)
            p->onClosing();
    }
    if (m_dm.isBusy()) {
        // The running operation is cancelled (its waits return at once); what the pages
        // left in the priority lane still goes out; then the window closes. Bounded: an
        // operation that does not unwind is cut off after 2 s.
        m_closeWhenIdle = true;
        m_dm.beginClosing(kCloseBoundMs);
        event->ignore();
        return;
    }
    m_dm.shutdown();
    QMainWindow::closeEvent(event);
}

} // namespace vardex::ui
