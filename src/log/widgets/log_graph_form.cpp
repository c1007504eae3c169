#include "log/widgets/log_graph_form.h"

#include "chart/widgets/chart_view.h"
#include "common/clock.h"
#include "export/chart_table.h"
#include "kit/widgets/prompts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace vardex::log {

namespace {

struct GraphLook {
    std::uint32_t colour;
    chart::Marker marker;
};

constexpr GraphLook kLooks[kGraphs] = {
    {0x00C600, chart::Marker::Rectangle}, {0x00FF00, chart::Marker::Rectangle},
    {0xFF0080, chart::Marker::Rectangle}, {0xFF8000, chart::Marker::Circle},
    {0xFF8080, chart::Marker::Circle},    {0x800000, chart::Marker::Circle},
    {0x0000A0, chart::Marker::Star},      {0x0080C0, chart::Marker::Rectangle},
    {0x0080C0, chart::Marker::Rectangle}, {0x0000FF, chart::Marker::Rectangle},
    {0x8000FF, chart::Marker::Rectangle}, {0x0080C0, chart::Marker::Rectangle},
};

QColor toColour(std::uint32_t rgb)
{
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

} // namespace

chart::SeriesStyle graphSeriesStyle(int n)
{
    const GraphLook &look = kLooks[n - 1];
    chart::SeriesStyle style;
    style.colour = look.colour;
    style.width = 2;
    style.marker = look.marker;
    style.markerSize = 2;
    return style;
}

std::uint32_t graphCheckBoxColour(int n)
{
    return n == 9 ? 0x8080FF : kLooks[n - 1].colour;
}

LogGraphForm::LogGraphForm(const GraphSelection &sel, const GraphPoints &points,
                           ui::Prompts &prompts, const ChannelNames &names, QWidget *parent,
                           const QString &note)
    : QDialog(parent), m_prompts(prompts), m_selection(sel),
      m_export(std::make_unique<exporting::TableExport>(prompts, Clock::system()))
{
    setObjectName(QStringLiteral("LogGraphForm"));
    setWindowTitle(QStringLiteral("Графики логирования"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(1180, 760);

    m_model.setTitle(QStringLiteral("Графики регистрируемых параметров"));
    m_model.setNote(note);
    chart::TimeAxis time{QStringLiteral("dd hh:mm:ss"), 90};
    time.adaptive = true;
    m_model.setTimeAxis(time);
    chart::ValueAxis values;
    values.decimals = 1;
    values.grouping = true;
    m_model.setValueAxis(values);

    auto *root = new QHBoxLayout(this);
    m_view = new chart::ChartView(&m_model, this);
    m_view->setObjectName(QStringLiteral("Chart1"));
    root->addWidget(m_view, 1);

    auto *panel = new QVBoxLayout;
    auto addButton = [&](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        panel->addWidget(b);
        return b;
    };
    connect(addButton("ZoomUpBtn", QStringLiteral("Увеличить")), &QPushButton::clicked, this,
            [this] { m_model.zoomPercent(110); });
    connect(addButton("ZoomDownBtn", QStringLiteral("Уменьшить")), &QPushButton::clicked, this,
            [this] { m_model.zoomPercent(90); });
    connect(addButton("ResetBtn", QStringLiteral("Сброс")), &QPushButton::clicked, this,
            [this] { m_model.resetZoom(); });
    panel->addSpacing(12);

    for (int n = 1; n <= kGraphs; ++n) {
        const std::size_t i = std::size_t(n - 1);
        const int parameter = sel.parameter[i];
        // A graph without a quantity (the empty list entry) draws nothing and names nothing.
        const bool drawn = sel.enabled[i] && isGraphParameter(parameter);
        chart::SeriesStyle style = graphSeriesStyle(n);
        style.title = parameterCaption(parameter, names);
        const ParameterKind kind = parameterKind(parameter);
        style.unit = kind.unit;
        style.axis = drawn ? kind.axis : QString();
        const int index = m_model.addSeries(style, drawn);
        if (drawn)
            m_model.setPoints(index, points.series[i]);

        auto *box = new QCheckBox(drawn ? style.title : QString(), this);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(n));
        if (!sel.enabled[i])
            box->setText(style.title);
        QFont f = box->font();
        f.setBold(true);
        f.setPixelSize(15);
        box->setFont(f);
        QPalette pal = box->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive})
            pal.setColor(group, QPalette::WindowText, toColour(graphCheckBoxColour(n)));
        box->setPalette(pal);
        box->setChecked(drawn);
        box->setEnabled(drawn);
        connect(box, &QCheckBox::toggled, this,
                [this, index](bool on) { m_model.setVisible(index, on); });
        panel->addWidget(box);
    }
    panel->addStretch(1);
    connect(addButton("SaveImageBtn", QStringLiteral("Сохранить изображение")),
            &QPushButton::clicked, this, &LogGraphForm::saveImage);
    connect(addButton("GraphExcelBtn", QStringLiteral("Экспорт Excel")), &QPushButton::clicked,
            this, [this] { exportShown(exporting::ExportFormat::Xlsx, false); });
    connect(addButton("GraphCsvBtn", QStringLiteral("Экспорт CSV")), &QPushButton::clicked, this,
            [this] { exportShown(exporting::ExportFormat::Csv, false); });
    connect(addButton("GraphExportAsBtn", QStringLiteral("Сохранить как…")), &QPushButton::clicked,
            this, [this] { exportShown(exporting::ExportFormat::Xlsx, true); });
    root->addLayout(panel);
}

LogGraphForm::~LogGraphForm() = default;

void LogGraphForm::setPoints(const GraphPoints &points, const QString &note)
{
    m_model.setNote(note);
    for (int n = 0; n < kGraphs && n < m_model.seriesCount(); ++n) {
        const std::size_t i = std::size_t(n);
        if (m_selection.enabled[i] && isGraphParameter(m_selection.parameter[i]))
            m_model.setPoints(n, points.series[i]);
    }
}

void LogGraphForm::exportShown(exporting::ExportFormat format, bool saveAs)
{
    exporting::ExportRequest request;
    request.format = format;
    request.baseName = QStringLiteral("vardex-graph");
    request.subject = QStringLiteral("График");
    request.saveAs = saveAs;
    request.note = m_model.note();
    m_export->run(request, [this] { return exporting::buildShownChartTable(m_model); });
}

void LogGraphForm::saveImage()
{
    ui::FileDialogRequest request;
    request.title = QStringLiteral("Сохранить изображение");
    request.filter = QStringLiteral("Изображение PNG *.png|*.png|Документ PDF *.pdf|*.pdf");
    request.defaultSuffix = QStringLiteral("png");
    const QString file = m_prompts.saveFileName(request);
    if (file.isEmpty())
        return;
    if (!m_view->saveImage(file))
        m_prompts.message(QStringLiteral("Не удалось записать файл %1").arg(file),
                          ui::Prompts::Kind::Error);
}

} // namespace vardex::log
