#pragma once

#include "link/trace_decoder.h"

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
class TraceModel;

// "Обмен": every report sent and received, decoded, as it happens. Reports are
// decoded at once (so a --trace file gets them in order) but reach the view in
// batches a few times a second, which keeps the window fluid during a full log read.
class TraceDock : public QDockWidget {
    Q_OBJECT
public:
    TraceDock(Prompts &prompts, QWidget *parent = nullptr);

    // The data module's trace hook ends here.
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
    void saveAs();

    TraceModel &model() const { return *m_model; }
    QSortFilterProxyModel &filterModel() const { return *m_filter; }

private:
    Prompts &m_prompts;
    link::trace::Decoder m_decoder;
    std::vector<link::trace::DecodedEntry> m_pending;
    std::function<void(const QString &)> m_lineSink;
    TraceModel *m_model;
    QSortFilterProxyModel *m_filter;
    QTableView *m_view;
    QLineEdit *m_filterEdit;
    QPushButton *m_pauseButton;
    QTimer *m_batchTimer;
    bool m_paused = false;
};

} // namespace vardex::ui
