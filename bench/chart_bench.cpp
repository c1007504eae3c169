// Which chart library can carry a whole event log: twelve line series of 16384
// date-time points with 2 x 2 markers, drawn offscreen into an image. Prints the time
// to the first complete paint and the time of one zoom step's replot for each
// library. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <qcustomplot.h>

#include "chart/widgets/chart_view.h"
#include "kit/widgets/prompts.h"
#include "log/widgets/log_graph_form.h"

#include <time.h>

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

// The machine the figures come from is often shared: the thread's own CPU time says
// what the drawing costs without the waits for a core.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
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

void report(const char *name, double firstPaint, const std::vector<double> &zooms)
{
    std::vector<double> sorted = zooms;
    std::sort(sorted.begin(), sorted.end());
    std::printf("%-18s first paint %8.1f ms   zoom step median %7.1f ms  worst %7.1f ms\n", name,
                firstPaint, sorted[sorted.size() / 2], sorted.back());
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
    double cpu = cpuMs();
    vardex::log::LogGraphForm form(sel, points, prompts);
    form.resize(kWindow);
    form.show();
    QCoreApplication::processEvents();
    QImage image = form.grab().toImage();
    const double first = ms(t);
    const double firstCpu = cpuMs() - cpu;

    std::vector<double> zooms, zoomsCpu;
    for (int i = 0; i < kZoomSteps; ++i) {
        t.restart();
        cpu = cpuMs();
        form.model().zoomPercent(i < kZoomSteps / 2 ? 110 : 90);
        QCoreApplication::processEvents();
        image = form.view()->grab().toImage();
        zooms.push_back(ms(t));
        zoomsCpu.push_back(cpuMs() - cpu);
    }
    report("LogGraphForm wall", first, zooms);
    report("LogGraphForm cpu", firstCpu, zoomsCpu);
}

void benchCustomPlot(const Data &d, bool antialiased, bool fastPolylines, bool twin,
                     const char *name)
{
    QElapsedTimer t;
    t.start();
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
        g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, 2));
    }
    plot.rescaleAxes();
    // The widget draws into its own buffer on replot and blits it on paint; grabbing
    // the widget is what a shown window costs.
    plot.show();
    plot.replot(QCustomPlot::rpImmediateRefresh);
    QImage image = plot.grab().toImage();
    const double first = ms(t);

    std::vector<double> zooms;
    for (int i = 0; i < kZoomSteps; ++i) {
        t.restart();
        plot.xAxis->scaleRange(i < kZoomSteps / 2 ? 1 / 1.1 : 1.1);
        plot.replot(QCustomPlot::rpImmediateRefresh);
        image = plot.grab().toImage();
        zooms.push_back(ms(t));
    }
    report(name, first, zooms);
}

#ifdef VARDEX_BENCH_QTCHARTS
void benchQtCharts(const Data &d)
{
    QElapsedTimer t;
    t.start();
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
        series->setPointsVisible(true);
        series->setMarkerSize(2);
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    x->setRange(QDateTime::fromSecsSinceEpoch(qint64(d.seconds.front())),
                QDateTime::fromSecsSinceEpoch(qint64(d.seconds.back())));
    y->setRange(lo, hi);
    QChartView view(chart);
    view.resize(kWindow);
    view.show();
    QImage image = view.grab().toImage();
    const double first = ms(t);

    std::vector<double> zooms;
    for (int i = 0; i < kZoomSteps; ++i) {
        t.restart();
        chart->zoom(i < kZoomSteps / 2 ? 1.1 : 1 / 1.1);
        image = view.grab().toImage();
        zooms.push_back(ms(t));
    }
    report("Qt Charts", first, zooms);
}
#endif

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const Data d = makeData();
    std::printf("%d series x %d points, markers 2 x 2, %dx%d image\n", kSeries, kPoints,
                kWindow.width(), kWindow.height());
    benchLogGraphForm(d);
    benchCustomPlot(d, true, false, false, "QCP smooth");
    benchCustomPlot(d, false, true, false, "QCP aliased+fast");
    benchCustomPlot(d, true, true, true, "QCP smooth twin");
    benchCustomPlot(d, false, true, true, "QCP aliased twin");
#ifdef VARDEX_BENCH_QTCHARTS
    benchQtCharts(d);
#else
    std::printf("Qt Charts    not built (qt6-charts-dev missing)\n");
#endif
    return 0;
}
