#pragma once

#include "common/clock.h"
#include "trace/trace_decoder.h"

#include <QDockWidget>

#include <functional>
#include <vector>

class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

namespace vardex::ui {
class Prompts;
}

namespace vardex::trace {

class TraceModel;

// "Обмен": every report sent and received, decoded, as it happens. Reports are
// decoded at once (so a --trace file gets them in order) but reach the view in
// batches a few times a second, which keeps the window fluid during a full log read.
// The view follows new lines unless the engineer scrolled up to read; scrolling back
// to the end follows again.
class TraceDock : public QDockWidget {
    Q_OBJECT
public:
    // clock: the time of day stamped on each line (tests pass a ManualClock).
    explicit TraceDock(ui::Prompts &prompts, QWidget *parent = nullptr,
                       const Clock &clock = Clock::system());

    // A trace listener of the data module ends here.
    void append(const link::TraceEntry &entry);
    // Every decoded line also goes here (the --trace file), paused or not.
    void setLineSink(std::function<void(const QString &)> sink) { m_lineSink = std::move(sink); }

    // Moves what arrived since the last batch into the view (the batch timer does this).
    void flush();
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    void clear();
    // The visible (filtered) rows as text lines.
    QString visibleText() const;
    // Every line the dock holds, unfiltered, as the --trace file has them.
    QString allText() const;
    // Saves allText() (what arrived while paused included).
    void saveAs();
    // The view shows the newest line and keeps doing so as lines arrive.
    bool isFollowing() const { return m_following; }

    TraceModel &model() const { return *m_model; }
    QSortFilterProxyModel &filterModel() const { return *m_filter; }
    QTableView &view() const { return *m_view; }

private:
    void onScrolled(int value);
    void onRangeChanged(int minimum, int maximum);

    ui::Prompts &m_prompts;
    const Clock &m_clock;
    Decoder m_decoder;
    std::vector<DecodedEntry> m_pending;
    std::function<void(const QString &)> m_lineSink;
    TraceModel *m_model;
    QSortFilterProxyModel *m_filter;
    QTableView *m_view;
    QLineEdit *m_filterEdit;
    QPushButton *m_pauseButton;
    QTimer *m_batchTimer;
    bool m_paused = false;
    bool m_following = true;
};

} // namespace vardex::trace
