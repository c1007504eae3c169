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
    QCPTextElement *subtitle = nullptr;
    QSharedPointer<QCPAxisTickerDateTime> timeTicker;
    std::vector<HairlineGraph *> graphs;
    // Value axes by caption; the first two are the rect's own left and right axes.
    std::vector<std::pair<QString, QCPAxis *>> valueAxes;

    QCPAxis *axisFor(const QString &caption) const
    {
        for (const auto &[name, axis] : valueAxes) {
            if (name == caption)
                return axis;
        }
        return plot->yAxis;
    }
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

    // Title, then the span and note, then the plot, then the legend: all inside the
    // plot's own layout, so a saved PNG or PDF carries them as the screen shows them.
    QCPLayoutGrid *grid = d->plot->plotLayout();
    grid->insertRow(0);
    d->title = new QCPTextElement(d->plot, QString(), QFont(font().family(), 11, QFont::Bold));
    grid->addElement(0, 0, d->title);
    grid->insertRow(1);
    d->subtitle = new QCPTextElement(d->plot, QString(), QFont(font().family(), 9));
    grid->addElement(1, 0, d->subtitle);
    d->timeTicker = QSharedPointer<QCPAxisTickerDateTime>::create();
    d->timeTicker->setDateTimeSpec(Qt::UTC);
    // Turned labels leave room for more than the library's five: a week reads by the day.
    d->timeTicker->setTickCount(8);
    d->plot->xAxis->setTicker(d->timeTicker);
    d->plot->xAxis2->setVisible(false);
    d->plot->yAxis2->setVisible(false);
    QCPLegend *legend = d->plot->legend;
    d->plot->axisRect()->insetLayout()->take(legend);
    grid->addElement(3, 0, legend);
    grid->setRowStretchFactor(3, 0.001);
    legend->setFillOrder(QCPLegend::foColumnsFirst);
    legend->setWrap(6);
    legend->setBorderPen(Qt::NoPen);
    legend->setMargins(QMargins(6, 2, 6, 2));
    legend->setVisible(true);

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
    d->plot->xAxis->setTickLabelRotation(m_model->timeAxis().labelRotation);

    for (HairlineGraph *g : d->graphs)
        d->plot->removeGraph(g);
    d->graphs.clear();
    QCPAxisRect *rect = d->plot->axisRect();
    for (std::size_t i = 2; i < d->valueAxes.size(); ++i)
        rect->removeAxis(d->valueAxes[i].second);
    d->valueAxes.clear();
    d->plot->yAxis2->setVisible(false);
    const QStringList captions = m_model->valueAxes();
    for (int i = 0; i < captions.size(); ++i) {
        QCPAxis *axis = i == 0   ? d->plot->yAxis
                        : i == 1 ? d->plot->yAxis2
                                 : rect->addAxis(i % 2 == 0 ? QCPAxis::atLeft : QCPAxis::atRight);
        auto ticker = QSharedPointer<ValueTicker>::create();
        ticker->axis = m_model->valueAxis();
        axis->setTicker(ticker);
        axis->setLabel(captions[i]);
        axis->setTickLabels(true);
        d->valueAxes.emplace_back(captions[i], axis);
    }

    for (int i = 0; i < m_model->seriesCount(); ++i) {
        const SeriesStyle &style = m_model->series(i).style;
        auto *g = new HairlineGraph(d->plot->xAxis, d->axisFor(style.axis));
        g->setName(legendName(style));
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
    HairlineGraph *g = d->graphs.at(std::size_t(index));
    const bool visible = m_model->series(index).visible;
    g->setVisible(visible);
    if (visible)
        g->addToLegend();
    else
        g->removeFromLegend();
    // An axis is shown while a visible series is drawn against it.
    for (const auto &[caption, axis] : d->valueAxes) {
        bool used = d->valueAxes.size() == 1;
        for (int i = 0; i < m_model->seriesCount(); ++i)
            used = used || (m_model->series(i).visible && m_model->series(i).style.axis == caption);
        axis->setVisible(used);
    }
    updateSubtitle();
    replot();
}

void ChartView::applyRanges()
{
    const Range t = m_model->timeRange();
    d->plot->xAxis->setRange(t.lo, t.hi);
    d->timeTicker->setDateTimeFormat(timeLabelFormat(m_model->timeAxis(), t.size()));
    for (const auto &[caption, axis] : d->valueAxes) {
        const Range v = m_model->valueRange(caption);
        axis->setRange(v.lo, v.hi);
    }
    updateSubtitle();
    replot();
}

void ChartView::updateSubtitle()
{
    bool hasData = false;
    for (int i = 0; i < m_model->seriesCount() && !hasData; ++i)
        hasData = m_model->series(i).visible && !m_model->series(i).points.empty();
    QStringList parts;
    if (hasData) {
        const Range t = m_model->timeRange();
        parts << spanText(t.lo, t.hi);
    }
    if (!m_model->note().isEmpty())
        parts << m_model->note();
    d->subtitle->setText(parts.join(QStringLiteral("\n")));
    d->subtitle->setTextColor(m_model->note().isEmpty() ? Qt::black : QColor(170, 60, 0));
    d->subtitle->setVisible(!parts.isEmpty());
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

QString ChartView::plottedSubtitle() const
{
    return d->subtitle->visible() ? d->subtitle->text() : QString();
}

QStringList ChartView::plottedLegend() const
{
    QStringList names;
    for (HairlineGraph *g : d->graphs) {
        if (d->plot->legend->hasItemWithPlottable(g))
            names << g->name();
    }
    return names;
}

QStringList ChartView::plottedValueAxes() const
{
    QStringList captions;
    for (auto type : {QCPAxis::atLeft, QCPAxis::atRight}) {
        for (QCPAxis *axis : d->plot->axisRect()->axes(type)) {
            if (axis->visible())
                captions << axis->label();
        }
    }
    return captions;
}

Range ChartView::plottedValueRange(const QString &caption) const
{
    const QCPRange r = d->axisFor(caption)->range();
    return {r.lower, r.upper};
}

QString ChartView::plottedTimeFormat() const
{
    return d->timeTicker->dateTimeFormat();
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
