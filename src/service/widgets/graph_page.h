#pragma once

#include "kit/widgets/page.h"
#include "kit/widgets/page_context.h"

#include <QDateTime>
#include <QWidget>

#include <QString>

#include <functional>
#include <memory>

class QCheckBox;
class QPushButton;
class QTimer;
class QUrl;

namespace vardex::chart {
class ChartModel;
class ChartView;
} // namespace vardex::chart

namespace vardex::exporting {
class TableExport;
}

namespace vardex::service {

class GraphHash;

// "График ": the 5 V bench chart with its export, and the timed signed-command test.
class GraphPage : public QWidget, public ui::Page {
    Q_OBJECT
public:
    // showState: the Work page's display of the state just read.
    GraphPage(ui::PageContext context, std::function<void()> showState, QWidget *parent = nullptr);
    ~GraphPage() override;

    QTimer &timer() const { return *m_timer; }
    QCheckBox *pollBox() const { return m_poll; }
    GraphHash *hash() const { return m_hash; }
    chart::ChartModel &chartModel() const { return *m_model; }
    chart::ChartView *chartView() const { return m_view; }
    // The series of the chart, in export order.
    static constexpr int kUsb5Series = 0;
    static constexpr int kAverSeries = 1;
    // One chart tick. While a long sequence holds the link it runs at the sequence's
    // next step; behind a short one it is skipped. Either way the hint line says how old
    // the last point is, so a flat line never passes for a steady supply.
    void tick();

    void onClosing() override;

    // Where the export writes its workbook, and how it is opened (tests replace both).
    exporting::TableExport &tableExport() const { return *m_tableExport; }
    void setExportFolder(const QString &folder);
    void setUrlOpener(std::function<bool(const QUrl &)> opener);
    // Writes every point of the chart to a workbook and opens it; saveAs asks where.
    void exportExcel(bool saveAs = false);

private:
    ui::PageContext m_ctx;
    std::function<void()> m_showState;
    chart::ChartModel *m_model = nullptr;
    chart::ChartView *m_view = nullptr;
    QTimer *m_timer = nullptr;
    QCheckBox *m_poll = nullptr;
    QPushButton *m_export = nullptr;
    QPushButton *m_exportAs = nullptr;
    GraphHash *m_hash = nullptr;
    std::unique_ptr<exporting::TableExport> m_tableExport;
    QDateTime m_lastPoint; // when the last point was read (invalid: none yet)
    QString m_heldText;    // the last "not read when due" text put on the hint line
};

} // namespace vardex::service
