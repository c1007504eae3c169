#pragma once

// The program's main window over the demo's simulated controller, shown, for benches
// that measure what the engineer feels: repaints, CPU and the link's queue.
#include "kit/widgets/prompts.h"
#include "link/data_module.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QPaintEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace vardex::bench {

// Message boxes would stop a bench: they are printed and answered "yes".
class PrintedPrompts final : public ui::Prompts {
public:
    void message(const QString &text, Kind) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    Answer question(const QString &text, bool, Answer) override
    {
        std::fprintf(stderr, "question (answered yes): %s\n", qPrintable(text));
        return Answer::Yes;
    }
    QString openFileName(const ui::FileDialogRequest &) override { return {}; }
    QString saveFileName(const ui::FileDialogRequest &) override { return {}; }
};

// Runs the event loop until done() or the time-out; true when done() came. Looks every
// 5 ms, sleeping in between (a loop of processEvents() would spin and burn the CPU the
// benches measure).
inline bool spinUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Lets the event loop run for ms (timers fire, the window repaints).
inline void spinFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Counts paint events per widget while it is installed, and the paints of one widget
// (the page in view) that cover at least half of it: whole-page repaints.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(const QWidget *page = nullptr) : m_page(page)
    {
        qApp->installEventFilter(this);
    }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    void watch(const QWidget *page) { m_page = page; }
    void clear()
    {
        counts.clear();
        wholePage = 0;
        pagePaints = 0;
    }
    void print(int top = 8) const
    {
        QList<QPair<int, const QObject *>> v;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            v.append({it.value(), it.key()});
        std::sort(v.begin(), v.end(), [](auto &a, auto &b) { return a.first > b.first; });
        for (int i = 0; i < std::min<int>(top, static_cast<int>(v.size())); ++i) {
            const auto *w = static_cast<const QWidget *>(v[i].second);
            std::printf("      %5d paints  %s \"%s\" %dx%d\n", v[i].first,
                        w->metaObject()->className(), qPrintable(w->objectName()), w->width(),
                        w->height());
        }
    }
    QHash<const QObject *, int> counts;
    int wholePage = 0;
    int pagePaints = 0;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (m_traceChanges && o->isWidgetType()) {
            switch (e->type()) {
            case QEvent::Resize:
            case QEvent::Move:
            case QEvent::LayoutRequest:
            case QEvent::PaletteChange:
            case QEvent::FontChange:
            case QEvent::StyleChange:
            case QEvent::Show:
            case QEvent::Hide:
            case QEvent::CursorChange:
            case QEvent::EnabledChange:
                std::printf("        event %d on %s \"%s\"\n", int(e->type()),
                            o->metaObject()->className(), qPrintable(o->objectName()));
                break;
            case QEvent::Paint:
                if (o == m_page)
                    std::printf("        paint of the page: %d rects, bounding %dx%d\n",
                                int(static_cast<QPaintEvent *>(e)->region().rectCount()),
                                static_cast<QPaintEvent *>(e)->rect().width(),
                                static_cast<QPaintEvent *>(e)->rect().height());
                break;
            default:
                break;
            }
        }
        if (e->type() != QEvent::Paint)
            return false;
        ++counts[o];
        if (o == m_page) {
            ++pagePaints;
            long long area = 0;
            for (const QRect &r : static_cast<QPaintEvent *>(e)->region())
                area += 1LL * r.width() * r.height();
            if (2 * area >= 1LL * m_page->width() * m_page->height())
                ++wholePage;
        }
        return false;
    }

private:
    const QWidget *m_page = nullptr;
    const bool m_traceChanges = qEnvironmentVariableIsSet("VARDEX_BENCH_TRACE_EVENTS");
};

struct DemoWindow {
    explicit DemoWindow(int latencyMs = 2)
    {
        sim::SimDeviceOptions options;
        options.id = QStringLiteral("sim:demo");
        options.latencyMs = latencyMs;
        options.firmware = sim::demoController(QDate::currentDate());
        id = transport.addDevice(std::move(options));
        window.show();
        transport.plug(id);
        transport.start();
        connected = spinUntil([this] { return dm.isConnected(); }, 5000);
    }

    // The description, as the engineer's first click: enables the Work page's buttons.
    bool describe()
    {
        auto *b = window.findChild<QPushButton *>(QStringLiteral("QueryDeviceBtn"));
        if (!b || !b->isEnabled())
            return false;
        b->click();
        return spinUntil([this] { return !dm.isBusy(); }, 20000);
    }

    void showPage(const char *name)
    {
        window.pageControl().setCurrentWidget(window.page(QLatin1String(name)));
        spinFor(100);
    }

    sim::SimTransport transport;
    link::DataModule dm{transport};
    PrintedPrompts prompts;
    ui::MainWindow window{dm, &prompts};
    QString id;
    bool connected = false;
};

} // namespace vardex::bench
