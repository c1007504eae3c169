#include "log/widgets/graph_wizard_dlg.h"

#include "log/graph_points.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vardex::log {

GraphWizardDlg::GraphWizardDlg(GraphSelection &selection, int recordCount,
                               std::optional<int> newestYear, const ChannelNames &names,
                               QWidget *parent)
    : QDialog(parent), m_sel(selection)
{
    setObjectName(QStringLiteral("GraphVizardDlg"));
    setWindowTitle(QStringLiteral("Помощник построения графика логирования"));
    build(names);
    show(recordCount, newestYear);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void GraphWizardDlg::build(const ChannelNames &names)
{
    auto *root = new QVBoxLayout(this);
    auto *graphs = new QGroupBox(this);
    auto *grid = new QGridLayout(graphs);
    grid->setHorizontalSpacing(12);
    grid->addWidget(new QLabel(QStringLiteral("Параметр"), graphs), 0, 1);
    for (int n = 1; n <= kGraphs; ++n) {
        const std::size_t i = std::size_t(n - 1);
        auto *box = new QCheckBox(QStringLiteral("График %1").arg(n), graphs);
        box->setObjectName(QStringLiteral("cbGraph%1").arg(n));
        box->setChecked(m_sel.enabled[i]);
        connect(box, &QCheckBox::clicked, this, [this, i](bool on) { m_sel.enabled[i] = on; });
        auto *list = new QComboBox(graphs);
        list->setObjectName(QStringLiteral("ParamBox%1").arg(n));
        for (int p = 0; p < kGraphParameters; ++p)
            list->addItem(parameterListText(p, names));
        if (n > 1)
            list->addItem(QString());
        list->setMaxVisibleItems(kGraphParameters + 1);
        list->setMinimumContentsLength(16);
        const int chosen = m_sel.parameter[i];
        list->setCurrentIndex(chosen >= 0 && chosen < list->count() ? chosen : -1);
        connect(list, &QComboBox::activated, this,
                [this, i](int index) { m_sel.parameter[i] = index; });
        grid->addWidget(box, n, 0);
        grid->addWidget(list, n, 1);
        m_graph[i] = box;
        m_param[i] = list;
    }
    root->addWidget(graphs);

    auto *range = new QGroupBox(this);
    auto *rangeGrid = new QGridLayout(range);
    rangeGrid->addWidget(new QLabel(QStringLiteral("Год"), range), 0, 0);
    rangeGrid->addWidget(new QLabel(QStringLiteral("Первая"), range), 0, 1);
    rangeGrid->addWidget(new QLabel(QStringLiteral("Последняя"), range), 0, 2);
    m_year = new QSpinBox(range);
    m_year->setObjectName(QStringLiteral("GraphYearEdit"));
    m_year->setRange(kMinGraphYear, kMaxGraphYear);
    m_first = new QSpinBox(range);
    m_first->setObjectName(QStringLiteral("FirstPointEdit"));
    m_first->setMinimum(1);
    m_last = new QSpinBox(range);
    m_last->setObjectName(QStringLiteral("LastPointEdit"));
    m_last->setMinimum(2);
    for (QSpinBox *edit : {m_year, m_first, m_last}) {
        edit->setMinimumWidth(90);
        edit->setAlignment(Qt::AlignRight);
    }
    rangeGrid->addWidget(m_year, 1, 0);
    rangeGrid->addWidget(m_first, 1, 1);
    rangeGrid->addWidget(m_last, 1, 2);
    root->addWidget(range);

    auto *buttons = new QDialogButtonBox(this);
    auto *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    auto *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    root->addWidget(buttons);
}

void GraphWizardDlg::show(int recordCount, std::optional<int> newestYear)
{
    // The newest record's year replaces the initial year once, at the first opening
    // that has records; later openings keep what the user chose.
    if (!m_sel.yearProposed && recordCount > 0) {
        m_sel.yearProposed = true;
        if (newestYear)
            m_sel.year = *newestYear;
    }
    m_year->setValue(m_sel.year);
    m_first->setMaximum(std::max(1, m_sel.last - 1));
    m_first->setValue(m_sel.first);
    m_last->setMinimum(m_sel.first);
    m_last->setMaximum(std::max(m_sel.last, 2));
    m_last->setValue(m_sel.last);
    if (m_sel.last == 1) {
        m_sel.last = recordCount;
        m_last->setMaximum(std::max(recordCount, 2));
        m_last->setValue(recordCount);
    }

    connect(m_year, &QSpinBox::valueChanged, this, [this](int v) { m_sel.year = v; });
    connect(m_first, &QSpinBox::valueChanged, this, [this](int v) {
        m_sel.first = v;
        // A range that ends before it starts would draw nothing without saying why.
        m_last->setMinimum(std::max(v, 1));
    });
    connect(m_last, &QSpinBox::valueChanged, this, [this](int v) { m_sel.last = v; });

    // A selection kept from a longer log is pulled into this one; the edits report the
    // clamped values into the selection.
    m_first->setMaximum(std::max(1, recordCount - 1));
    m_last->setMaximum(std::max(recordCount, 2));
    m_sel.first = m_first->value();
    m_sel.last = m_last->value();
}

} // namespace vardex::log
