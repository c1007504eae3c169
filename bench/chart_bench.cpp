// Which chart library can carry a whole event log: twelve line series of 16384
// date-time points, 1200 x 800, the same picture from every library. Our graph window
// asks for 2 x 2 markers but draws them only where points stand at least 3 pixels
// apart, so at this density it draws none; the peers are set up as a user would for
// the same picture: markers off. Each is shown, its events are processed (so what is
// grabbed is what the screen would show), then grabbed; one zoom step is a zoom, the
// events processed and a grab. Wall time and the GUI thread's CPU time for each, first
// paint and the median and worst of 10 zoom steps (CPU of the whole process). Qt Charts is run with
// its raster drawing and with OpenGL (where an OpenGL context can be had: under Xvfb with Mesa, not
// on the offscreen platform). scripts/bench.sh runs it under xvfb-run.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <qcustomplot.h>

#include "chart/widgets/chart_view.h"
#include "kit/widgets/prompts.h"
#include "log/widgets/log_graph_form.h"

#include "summary.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>

#ifdef VARDEX_BENCH_QTCHARTS
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// The machine the figures come from is often shared: CPU time says what the drawing
// costs without the waits for a core. The whole process's, so that the threads of
// Mesa's software renderer count for Qt Charts with OpenGL.
double threadCpuMs()
{
    return vardex::bench::processCpuMs();
}

constexpr int kSeries = 12;
constexpr int kPoints = 16384;
constexpr int kZoomSteps = 10;
const QSize kWindow(1200, 800);

struct Data {
    std::vector<double> seconds; // since the epoch, one record a minute
    std::vector<std::vector<double>> values;
};

Data makeData()
{
    Data d;
    const double start = QDateTime(QDate(2024, 3, 1), QTime(0, 0)).toSecsSinceEpoch();
    d.seconds.resize(kPoints);
    for (int i = 0; i < kPoints; ++i)
        d.seconds[i] = start + 60.0 * i;
    d.values.assign(kSeries, std::vector<double>(kPoints));
    unsigned noise = 12345;
    for (int s = 0; s < kSeries; ++s)
        for (int i = 0; i < kPoints; ++i) {
            noise = noise * 1103515245u + 12345u;
            d.values[s][i] = 10.0 * s + 5.0 * std::sin(i / 300.0 + s) + (noise >> 16) % 100 / 100.0;
        }
    return d;
}

// A 2-pixel line drawn as two hairlines one pixel apart: the raster engine strokes a
// hairline on its fast path, a wider pen through the general stroker with its joins.
class TwinHairlineGraph : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

protected:
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override
    {
        if (lines.size() < 2 || pen().style() == Qt::NoPen)
            return;
        QPen hair = pen();
        hair.setWidthF(1);
        hair.setCosmetic(true);
        painter->setPen(hair);
        painter->setBrush(Qt::NoBrush);
        painter->drawPolyline(lines.constData(), int(lines.size()));
        painter->translate(0, 1);
        painter->drawPolyline(lines.constData(), int(lines.size()));
        painter->translate(0, -1);
    }
};

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// One library's figures: first paint and zoom steps, wall and CPU.
struct Figures {
    double first = 0, firstCpu = 0;
    std::vector<double> zooms, zoomsCpu;
};

void report(const char *name, const Figures &f)
{
    const auto z = vardex::bench::spread(f.zooms);
    const auto zc = vardex::bench::spread(f.zoomsCpu);
    std::printf("%-24s first paint %7.1f ms wall %7.1f ms CPU   zoom step median %6.1f ms wall "
                "%6.1f ms CPU, worst %6.1f ms wall\n",
                name, f.first, f.firstCpu, z.median, zc.median, z.max);
    std::fflush(stdout);
}

void summarise(const std::string &name, const Figures &f, bool ours)
{
    using namespace vardex::bench;
    const Spread first{f.firstCpu, f.firstCpu, f.firstCpu};
    summary(name + ": first paint (CPU)", ours ? "<= 150 ms" : "(figure)", first, "ms",
            ours ? Judge::Median : Judge::None, 150);
    summary(name + ": zoom step (CPU)", ours ? "<= 30 ms (median)" : "(figure)", spread(f.zoomsCpu),
            "ms", ours ? Judge::Median : Judge::None, 30);
}

// Shows the widget, lets its events run and grabs it; then zooms and grabs again.
template <typename Zoom>
Figures measure(QWidget &widget, QWidget &grabbed, QElapsedTimer &t, double cpuStart, Zoom zoom)
{
    Figures f;
    widget.show();
    QCoreApplication::processEvents();
    QImage image = grabbed.grab().toImage();
    f.first = ms(t);
    f.firstCpu = threadCpuMs() - cpuStart;
    for (int i = 0; i < kZoomSteps; ++i) {
        t.restart();
        const double cpu = threadCpuMs();
        zoom(i < kZoomSteps / 2);
        QCoreApplication::processEvents();
        image = grabbed.grab().toImage();
        f.zooms.push_back(ms(t));
        f.zoomsCpu.push_back(threadCpuMs() - cpu);
    }
    return f;
}

// The program's own window: the log graph form with twelve full series, shown, painted
// and zoomed with its buttons' step.
void benchLogGraphForm(const Data &d)
{
    vardex::log::GraphSelection sel;
    vardex::log::GraphPoints points;
    for (int s = 0; s < kSeries; ++s) {
        sel.enabled[std::size_t(s)] = true;
        for (int i = 0; i < kPoints; ++i)
            points.series[std::size_t(s)].push_back({d.seconds[i], d.values[s][i]});
    }
    vardex::ui::WidgetPrompts prompts;
    QElapsedTimer t;
    t.start();
    const double cpu = threadCpuMs();
    vardex::log::LogGraphForm form(sel, points, prompts);
    form.resize(kWindow);
    const Figures f =
        measure(form, form, t, cpu, [&form](bool in) { form.model().zoomPercent(in ? 110 : 90); });
    report("our graph window", f);
    summarise("chart, our graph window", f, true);
}

void benchCustomPlot(const Data &d, bool antialiased, bool fastPolylines, bool twin,
                     const char *name)
{
    QElapsedTimer t;
    t.start();
    const double cpu = threadCpuMs();
    QCustomPlot plot;
    plot.resize(kWindow);
    if (!antialiased)
        plot.setNotAntialiasedElements(QCP::aePlottables | QCP::aeScatters);
    // Without this hint a line is stroked segment by segment.
    plot.setPlottingHint(QCP::phFastPolylines, fastPolylines);
    plot.plotLayout()->insertRow(0);
    plot.plotLayout()->addElement(0, 0, new QCPTextElement(&plot, QStringLiteral("bench")));
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("dd hh:mm:ss"));
    plot.xAxis->setTicker(ticker);
    plot.xAxis->setTickLabelRotation(90);
    for (int s = 0; s < kSeries; ++s) {
        QCPGraph *g = twin ? new TwinHairlineGraph(plot.xAxis, plot.yAxis) : plot.addGraph();
        QVector<double> keys(d.seconds.begin(), d.seconds.end());
        QVector<double> values(d.values[s].begin(), d.values[s].end());
        g->setData(keys, values, true);
        g->setPen(QPen(QColor::fromHsv(s * 30, 255, 200), 2));
        // A point every few hundredths of a pixel: markers would only thicken the line.
        g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    }
    plot.rescaleAxes();
    const Figures f = measure(plot, plot, t, cpu, [&plot](bool in) {
        plot.xAxis->scaleRange(in ? 1 / 1.1 : 1.1);
        plot.replot(QCustomPlot::rpQueuedReplot);
    });
    report(name, f);
    summarise(std::string("chart, ") + name, f, false);
}

#ifdef VARDEX_BENCH_QTCHARTS
// Whether an OpenGL context can be made current here (Qt Charts' OpenGL series need one).
QString openGlUnavailable()
{
    QOpenGLContext context;
    if (!context.create())
        return QStringLiteral("no OpenGL context on the %1 platform")
            .arg(QGuiApplication::platformName());
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!context.makeCurrent(&surface))
        return QStringLiteral("an OpenGL context cannot be made current on the %1 platform")
            .arg(QGuiApplication::platformName());
    context.doneCurrent();
    return {};
}

void benchQtCharts(const Data &d, bool openGl)
{
    QElapsedTimer t;
    t.start();
    const double cpu = threadCpuMs();
    auto *chart = new QChart;
    chart->setTitle(QStringLiteral("bench"));
    chart->legend()->hide();
    auto *x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("dd hh:mm:ss"));
    x->setLabelsAngle(90);
    auto *y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double lo = 1e300, hi = -1e300;
    for (int s = 0; s < kSeries; ++s) {
        auto *series = new QLineSeries;
        QList<QPointF> pts;
        pts.reserve(kPoints);
        for (int i = 0; i < kPoints; ++i) {
            pts.append(QPointF(d.seconds[i] * 1000.0, d.values[s][i]));
            lo = std::min(lo, d.values[s][i]);
            hi = std::max(hi, d.values[s][i]);
        }
        series->replace(pts);
        series->setPen(QPen(QColor::fromHsv(s * 30, 255, 200), 2));
        series->setPointsVisible(false);
        series->setUseOpenGL(openGl);
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    x->setRange(QDateTime::fromSecsSinceEpoch(qint64(d.seconds.front())),
                QDateTime::fromSecsSinceEpoch(qint64(d.seconds.back())));
    y->setRange(lo, hi);
    QChartView view(chart);
    view.resize(kWindow);
    const Figures f =
        measure(view, view, t, cpu, [chart](bool in) { chart->zoom(in ? 1.1 : 1 / 1.1); });
    const char *name = openGl ? "Qt Charts, OpenGL" : "Qt Charts, raster";
    report(name, f);
    summarise(std::string("chart, ") + name, f, false);
}
#endif

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const Data d = makeData();
    std::printf("%d series x %d points, no markers drawn at this density, %dx%d, platform %s\n",
                kSeries, kPoints, kWindow.width(), kWindow.height(),
                qPrintable(QGuiApplication::platformName()));
    benchLogGraphForm(d);
    benchCustomPlot(d, true, false, false, "QCustomPlot smooth");
    benchCustomPlot(d, false, true, false, "QCustomPlot aliased+fast");
    benchCustomPlot(d, false, true, true, "QCustomPlot aliased twin");
#ifdef VARDEX_BENCH_QTCHARTS
    benchQtCharts(d, false);
    const QString noGl = openGlUnavailable();
    if (noGl.isEmpty()) {
        benchQtCharts(d, true);
    } else {
        std::printf("Qt Charts, OpenGL        not run: %s\n", qPrintable(noGl));
        vardex::bench::summaryNotMeasured("chart, Qt Charts, OpenGL", noGl.toStdString());
    }
#else
    std::printf("Qt Charts                not built (qt6-charts-dev missing)\n");
#endif
    return 0;
}
