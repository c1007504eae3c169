#include "chart/widgets/chart_view.h"

#include "chart/readout.h"

#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <qcustomplot.h>

namespace vardex::chart {

namespace {

QColor toColour(std::uint32_t rgb)
{
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

QCPScatterStyle::ScatterShape shapeOf(Marker m)
{
    switch (m) {
    case Marker::Rectangle:
        return QCPScatterStyle::ssSquare;
    case Marker::Circle:
        return QCPScatterStyle::ssCircle;
    case Marker::Star:
        return QCPScatterStyle::ssStar;
    case Marker::None:
        break;
    }
    return QCPScatterStyle::ssNone;
}

// Value labels in the model's own number format rather than the library's.
class ValueTicker : public QCPAxisTicker {
public:
    ValueAxis axis;

protected:
    QString getTickLabel(double tick, const QLocale &, QChar, int) override
    {
        return formatValue(tick, axis);
    }
};

// A line of width w drawn as w hairlines one pixel apart diagonally (so that steep and
// flat stretches both thicken): the raster engine draws a
// hairline on its fast path but strokes a wider pen with joins at every vertex, which
// for twelve densely sampled series costs most of a replot.
class HairlineGraph : public QCPGraph {
public:
    using QCPGraph::QCPGraph;
    int lineWidth = 1;

protected:
    // Markers only where the points stand apart: on a line with a point every few pixels
    // they add nothing the line does not show, and they cost a third of a replot.
    void drawScatterPlot(QCPPainter *painter, const QVector<QPointF> &scatters,
                         const QCPScatterStyle &style) const override
    {
        const int span = keyAxis() ? int(keyAxis()->axisRect()->width()) : 0;
        if (scatters.size() * 3 > span)
            return;
        QCPGraph::drawScatterPlot(painter, scatters, style);
    }

    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override
    {
        if (lines.size() < 2 || pen().style() == Qt::NoPen)
            return;
        QPen hair = pen();
        hair.setWidth(0);
        hair.setCosmetic(true);
        painter->setPen(hair);
        painter->setBrush(Qt::NoBrush);
        for (int i = 0; i < std::max(1, lineWidth); ++i) {
            painter->save();
            painter->translate(i, i);
            painter->drawPolyline(lines.constData(), int(lines.size()));
            painter->restore();
        }
    }
};

} // namespace

struct ChartView::Private {
    QCustomPlot *plot = nullptr;
    QCPTextElement *title = nullptr;
    QSharedPointer<QCPAxisTickerDateTime> timeTicker;
    QSharedPointer<ValueTicker> valueTicker;
    std::vector<HairlineGraph *> graphs;
    QCPItemStraightLine *cursor = nullptr;
    QLabel *readout = nullptr;
    bool dragging = false;
    int dragX = 0;
};

ChartView::ChartView(ChartModel *model, QWidget *parent)
    : QWidget(parent), d(std::make_unique<Private>()), m_model(model)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    d->plot = new QCustomPlot(this);
    d->plot->setObjectName(QStringLiteral("ChartPlot"));
    d->plot->setPlottingHint(QCP::phFastPolylines, true);
    d->plot->setNotAntialiasedElements(QCP::aePlottables | QCP::aeScatters);
    d->plot->setMouseTracking(true);
    d->plot->installEventFilter(this);
    layout->addWidget(d->plot);

    d->plot->plotLayout()->insertRow(0);
    d->title = new QCPTextElement(d->plot, QString(), QFont(font().family(), 11, QFont::Bold));
    d->plot->plotLayout()->addElement(0, 0, d->title);
    d->timeTicker = QSharedPointer<QCPAxisTickerDateTime>::create();
    d->timeTicker->setDateTimeSpec(Qt::UTC);
    d->plot->xAxis->setTicker(d->timeTicker);
    d->valueTicker = QSharedPointer<ValueTicker>::create();
    d->plot->yAxis->setTicker(d->valueTicker);
    d->plot->xAxis2->setVisible(false);
    d->plot->yAxis2->setVisible(false);
    d->plot->legend->setVisible(false);

    d->cursor = new QCPItemStraightLine(d->plot);
    d->cursor->setPen(QPen(QColor(120, 120, 120), 0, Qt::DashLine));
    d->cursor->setVisible(false);
    d->readout = new QLabel(d->plot);
    d->readout->setObjectName(QStringLiteral("ChartReadout"));
    d->readout->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(255,255,255,225); border: 1px solid #a0a0a0; padding: 3px; }"));
    d->readout->setAttribute(Qt::WA_TransparentForMouseEvents);
    d->readout->hide();

    connect(m_model, &ChartModel::layoutChanged, this, &ChartView::rebuild);
    connect(m_model, &ChartModel::seriesChanged, this, &ChartView::reloadSeries);
    connect(m_model, &ChartModel::pointAppended, this, &ChartView::appendLast);
    connect(m_model, &ChartModel::visibilityChanged, this, &ChartView::applyVisibility);
    connect(m_model, &ChartModel::rangeChanged, this, &ChartView::applyRanges);
    rebuild();
}

ChartView::~ChartView() = default;

void ChartView::rebuild()
{
    d->title->setText(m_model->title());
    d->title->setVisible(!m_model->title().isEmpty());
    d->timeTicker->setDateTimeFormat(m_model->timeAxis().format);
    d->plot->xAxis->setTickLabelRotation(m_model->timeAxis().labelRotation);
    d->valueTicker->axis = m_model->valueAxis();

    for (HairlineGraph *g : d->graphs)
        d->plot->removeGraph(g);
    d->graphs.clear();
    for (int i = 0; i < m_model->seriesCount(); ++i) {
        const SeriesStyle &style = m_model->series(i).style;
        auto *g = new HairlineGraph(d->plot->xAxis, d->plot->yAxis);
        g->setName(style.title);
        g->lineWidth = style.width;
        g->setPen(QPen(toColour(style.colour), style.width));
        if (style.marker != Marker::None)
            g->setScatterStyle(QCPScatterStyle(shapeOf(style.marker), toColour(style.colour),
                                               toColour(style.colour), style.markerSize));
        d->graphs.push_back(g);
        reloadSeries(i);
        applyVisibility(i);
    }
    applyRanges();
}

void ChartView::reloadSeries(int index)
{
    const auto &points = m_model->series(index).points;
    QVector<double> keys;
    QVector<double> values;
    keys.reserve(qsizetype(points.size()));
    values.reserve(qsizetype(points.size()));
    for (const Point &p : points) {
        keys.append(p.time);
        values.append(p.value);
    }
    d->graphs.at(std::size_t(index))->setData(keys, values, true);
    replot();
}

void ChartView::appendLast(int index)
{
    const Point &p = m_model->series(index).points.back();
    d->graphs.at(std::size_t(index))->addData(p.time, p.value);
    replot();
}

void ChartView::applyVisibility(int index)
{
    d->graphs.at(std::size_t(index))->setVisible(m_model->series(index).visible);
    replot();
}

void ChartView::applyRanges()
{
    const Range t = m_model->timeRange();
    const Range v = m_model->valueRange();
    d->plot->xAxis->setRange(t.lo, t.hi);
    d->plot->yAxis->setRange(v.lo, v.hi);
    replot();
}

void ChartView::replot()
{
    d->plot->replot(QCustomPlot::rpQueuedReplot);
}

std::vector<Point> ChartView::plottedPoints(int series) const
{
    std::vector<Point> out;
    const auto data = d->graphs.at(std::size_t(series))->data();
    out.reserve(std::size_t(data->size()));
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        out.push_back({it->key, it->value});
    return out;
}

bool ChartView::plottedVisible(int series) const
{
    return d->graphs.at(std::size_t(series))->visible();
}

QColor ChartView::plottedColour(int series) const
{
    return d->graphs.at(std::size_t(series))->pen().color();
}

Range ChartView::plottedTimeRange() const
{
    return {d->plot->xAxis->range().lower, d->plot->xAxis->range().upper};
}

Range ChartView::plottedValueRange() const
{
    return {d->plot->yAxis->range().lower, d->plot->yAxis->range().upper};
}

QString ChartView::plottedTitle() const
{
    return d->title->visible() ? d->title->text() : QString();
}

int ChartView::plottedTimeLabelRotation() const
{
    return int(d->plot->xAxis->tickLabelRotation());
}

double ChartView::timeAtX(int x) const
{
    return d->plot->xAxis->pixelToCoord(x);
}

bool ChartView::saveImage(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return d->plot->savePdf(fileName);
    return d->plot->savePng(fileName);
}

void ChartView::updateReadout(int x, int y)
{
    const QRect area = d->plot->axisRect()->rect();
    if (!area.contains(x, y) || m_model->seriesCount() == 0) {
        if (!m_readout.isEmpty()) {
            m_readout.clear();
            d->readout->hide();
            d->cursor->setVisible(false);
            replot();
            emit readoutChanged(m_readout);
        }
        return;
    }
    const double time = timeAtX(x);
    m_readout = chart::readoutText(readoutAt(*m_model, time), m_model->valueAxis());
    d->readout->setText(m_readout);
    d->readout->adjustSize();
    // Keep the box inside the plot, on the side away from the pointer.
    const int left =
        x + 16 + d->readout->width() < area.right() ? x + 16 : x - 16 - d->readout->width();
    d->readout->move(std::max(area.left(), left), area.top() + 4);
    d->readout->show();
    d->cursor->point1->setCoords(time, 0);
    d->cursor->point2->setCoords(time, 1);
    d->cursor->setVisible(true);
    replot();
    emit readoutChanged(m_readout);
}

bool ChartView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != d->plot)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Wheel: {
        if (!m_mouseZoom)
            break;
        auto *e = static_cast<QWheelEvent *>(event);
        // In notches; a touchpad sends fractions of one, which must add up, not vanish.
        const double steps = e->angleDelta().y() / 120.0;
        if (steps == 0)
            return true;
        // One notch is the buttons' step: forward narrows to 1/1.1, back widens.
        m_model->zoomTimeAt(std::pow(1.1, -steps), timeAtX(int(e->position().x())));
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (m_mouseZoom && e->button() == Qt::LeftButton &&
            d->plot->axisRect()->rect().contains(e->position().toPoint())) {
            d->dragging = true;
            d->dragX = int(e->position().x());
            return true;
        }
        break;
    }
    case QEvent::MouseMove: {
        auto *e = static_cast<QMouseEvent *>(event);
        const int x = int(e->position().x());
        if (d->dragging) {
            m_model->panTime(timeAtX(d->dragX) - timeAtX(x));
            d->dragX = x;
        }
        updateReadout(x, int(e->position().y()));
        return d->dragging;
    }
    case QEvent::MouseButtonRelease:
        if (d->dragging) {
            d->dragging = false;
            return true;
        }
        break;
    case QEvent::Leave:
        updateReadout(-1, -1);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vardex::chart
