#pragma once

#include "common/channel_names.h"
#include "log/graph_selection.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace vardex::log {

// The graph wizard. Every control writes the selection as soon as the user changes it,
// so a Cancel keeps the choices for the next opening.
class GraphWizardDlg : public QDialog {
    Q_OBJECT
public:
    // recordCount: records in the store (at least 1; an empty store never opens the
    // wizard). newestYear: year byte of the newest record, offered instead of the
    // initial year at the first opening with records.
    GraphWizardDlg(GraphSelection &selection, int recordCount, std::optional<int> newestYear,
                   const ChannelNames &names = defaultChannelNames(), QWidget *parent = nullptr);

private:
    void build(const ChannelNames &names);
    void show(int recordCount, std::optional<int> newestYear);

    GraphSelection &m_sel;
    QCheckBox *m_graph[kGraphs] = {};
    QComboBox *m_param[kGraphs] = {};
    QSpinBox *m_year = nullptr;
    QSpinBox *m_first = nullptr;
    QSpinBox *m_last = nullptr;
};

} // namespace vardex::log
