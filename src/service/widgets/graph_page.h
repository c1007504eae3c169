#pragma once

#include "kit/widgets/page.h"
#include "kit/widgets/page_context.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QPushButton;
class QTimer;

namespace vardex::chart {
class ChartModel;
class ChartView;
} // namespace vardex::chart

namespace vardex::service {

class GraphHash;

// "График ": the 5 V bench chart with its export, and the timed signed-command test.
class GraphPage : public QWidget, public ui::Page {
    Q_OBJECT
public:
    // showState: the Work page's display of the state just read.
    GraphPage(ui::PageContext context, std::function<void()> showState,
              QWidget *parent = nullptr);
    ~GraphPage() override;

    QTimer &timer() const { return *m_timer; }
    QCheckBox *pollBox() const { return m_poll; }
    GraphHash *hash() const { return m_hash; }
    chart::ChartModel &chartModel() const { return *m_model; }
    chart::ChartView *chartView() const { return m_view; }
    // The series of the chart, in export order.
    static constexpr int kUsb5Series = 0;
    static constexpr int kAverSeries = 1;
    // One chart tick; skipped while another operation holds the link.
    void tick();

    void onClosing() override;

private:
    ui::PageContext m_ctx;
    std::function<void()> m_showState;
    chart::ChartModel *m_model = nullptr;
    chart::ChartView *m_view = nullptr;
    QTimer *m_timer = nullptr;
    QCheckBox *m_poll = nullptr;
    QPushButton *m_export = nullptr;
    GraphHash *m_hash = nullptr;
};

} // namespace vardex::service
