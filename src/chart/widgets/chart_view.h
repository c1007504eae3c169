#pragma once

#include "chart/chart_model.h"

#include <QColor>
#include <QWidget>

#include <memory>
#include <vector>

namespace vardex::chart {

// Draws a ChartModel. The chart library stays behind this class: pages hold a model and a
// view, tests read back what the library was handed. The view follows the model's signals
// and writes wheel zoom and drag on the time axis back into the model.
class ChartView : public QWidget {
    Q_OBJECT
public:
    explicit ChartView(ChartModel *model, QWidget *parent = nullptr);
    ~ChartView() override;

    ChartModel *model() const { return m_model; }

    // Read-back of what the library holds.
    std::vector<Point> plottedPoints(int series) const;
    bool plottedVisible(int series) const;
    QColor plottedColour(int series) const;
    Range plottedTimeRange() const;
    Range plottedValueRange() const;
    // The captions of the value axes shown, left ones first, then right ones.
    QStringList plottedValueAxes() const;
    Range plottedValueRange(const QString &axis) const;
    QString plottedTitle() const;
    // The line under the title: the time span shown and the model's note.
    QString plottedSubtitle() const;
    // The legend's entries in series order (hidden series have none).
    QStringList plottedLegend() const;
    int plottedTimeLabelRotation() const;
    QString plottedTimeFormat() const;
    // Mouse wheel and drag act on the time axis; on by default.
    void setMouseZoom(bool on) { m_mouseZoom = on; }

    // The read-out under the pointer, empty when the pointer is outside the plot.
    QString readoutText() const { return m_readout; }
    // Time (wall seconds) under a widget x coordinate.
    double timeAtX(int x) const;

    // PNG or PDF by the file name's suffix; false when the file cannot be written.
    bool saveImage(const QString &fileName);

signals:
    void readoutChanged(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void reloadSeries(int index);
    void appendLast(int index);
    void applyVisibility(int index);
    void applyRanges();
    void replot();
    void updateSubtitle();
    void updateReadout(int x, int y);

    struct Private;
    std::unique_ptr<Private> d;
    ChartModel *m_model;
    bool m_mouseZoom = true;
    QString m_readout;
};

} // namespace vardex::chart
