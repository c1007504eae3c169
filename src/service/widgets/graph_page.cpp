#include "service/widgets/graph_page.h"

#include "chart/chart_model.h"
#include "chart/widgets/chart_view.h"
#include "export/widgets/table_export.h"
#include "kit/widgets/prompts.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "service/supply_export.h"
#include "service/supply_test.h"
#include "service/widgets/graph_hash.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

namespace vardex::service {

GraphPage::GraphPage(ui::PageContext context, std::function<void()> showState, QWidget *parent)
    : QWidget(parent), m_ctx(context), m_showState(std::move(showState)),
      m_tableExport(std::make_unique<exporting::TableExport>(context.prompts, context.clock))
{
    setObjectName(QStringLiteral("GraphPage"));
    m_tableExport->setNotice(
        [this](const QString &text) { m_ctx.statusBar.setPanelText(5, text); });
    m_poll = new QCheckBox(tr("Опрос"), this);
    m_poll->setObjectName(QStringLiteral("Test5VoltCheckBox"));
    m_export = new QPushButton(tr("Экспорт Excel"), this);
    m_export->setObjectName(QStringLiteral("ExportEcxelBtn"));
    m_export->setStatusTip(tr("Экспорт лога в EXCEL"));
    m_exportAs = new QPushButton(tr("Сохранить как…"), this);
    m_exportAs->setObjectName(QStringLiteral("ExportAsBtn"));
    m_exportAs->setStatusTip(tr("Экспорт графика в выбранный файл (xlsx или CSV)"));
    m_hash = new GraphHash(m_ctx, this);

    m_model = new chart::ChartModel(this);
    m_model->setTitle(QStringLiteral("TChart"));
    m_model->setTimeAxis({QStringLiteral("hh:mm:ss"), 90});
    chart::ValueAxis volts;
    volts.decimals = 2;
    volts.fixed = true;
    volts.min = 3.0;
    volts.max = 7.0;
    volts.step = 0.05;
    m_model->setValueAxis(volts);
    m_model->addSeries({QStringLiteral("USBPower"), 0xFF0000, 2});
    m_model->addSeries({QStringLiteral("Aver"), 0x008000, 2});
    m_view = new chart::ChartView(m_model, this);
    m_view->setObjectName(QStringLiteral("TestChart"));
    m_view->setMinimumHeight(300);

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_poll);
    controls->addStretch(1);
    controls->addWidget(m_export);
    controls->addWidget(m_exportAs);

    auto *column = new QVBoxLayout(this);
    column->addWidget(m_view, 1);
    column->addLayout(controls);
    column->addWidget(m_hash);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Test5VoltTimer"));
    m_timer->setInterval(kSupplyTestIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &GraphPage::tick);
    connect(m_export, &QPushButton::clicked, this, [this] { exportExcel(false); });
    connect(m_exportAs, &QPushButton::clicked, this, [this] { exportExcel(true); });
    connect(m_poll, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_timer->start();
        else
            m_timer->stop();
    });
}

GraphPage::~GraphPage() = default;

void GraphPage::tick()
{
    using Outcome = link::DataModule::TickOutcome;
    const Outcome outcome = m_ctx.dm.runTick(this, [this](link::OperationContext &ctx) {
        const auto reading = readSupplyPoint(ctx);
        if (!reading)
            return;
        if (m_showState)
            m_showState();
        const QDateTime now = m_ctx.clock.now();
        const double x = chart::wallSeconds(now);
        m_model->appendPoint(kUsb5Series, {x, reading->usb5});
        m_model->appendPoint(kAverSeries, {x, reading->aver});
        m_lastPoint = now;
        m_ctx.statusBar.withdrawPanelText(5, std::exchange(m_heldText, QString()));
    });
    if (outcome == Outcome::Ran)
        return;
    m_heldText = outcome == Outcome::Deferred
                     ? tr("Канал связи занят: точка графика 5 В будет снята между шагами")
                     : tr("Точка графика 5 В пропущена: канал связи занят");
    if (m_lastPoint.isValid())
        m_heldText += tr(" — последняя точка от %1 (%2 с назад)")
                          .arg(m_lastPoint.toString(QStringLiteral("hh:mm:ss")))
                          .arg(m_lastPoint.secsTo(m_ctx.clock.now()));
    m_ctx.statusBar.setPanelText(5, m_heldText);
}

void GraphPage::setExportFolder(const QString &folder)
{
    m_tableExport->setFolder(folder);
}

void GraphPage::setUrlOpener(std::function<bool(const QUrl &)> opener)
{
    m_tableExport->setUrlOpener(std::move(opener));
}

void GraphPage::exportExcel(bool saveAs)
{
    if (m_model->series(kUsb5Series).points.empty()) {
        m_ctx.prompts.message(tr("Нечего экспортировать: на графике нет точек."),
                              ui::Prompts::Kind::Information);
        return;
    }
    exporting::ExportRequest request;
    request.baseName = QStringLiteral("vardex-chart");
    request.subject = tr("График");
    request.saveAs = saveAs;
    m_tableExport->run(request, [this] { return supplyChartTable(*m_model); });
}

void GraphPage::onClosing()
{
    m_timer->stop();
}

} // namespace vardex::service
