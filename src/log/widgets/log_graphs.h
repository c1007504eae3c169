#pragma once

#include "log/graph_points.h"
#include "log/record_store.h"

class QWidget;

namespace vardex::ui {
class Prompts;
}

namespace vardex::log {

inline const QString kNothingToDrawText =
    QStringLiteral("В журнале нет записей: строить график не из чего");

// The log page's "График" button: the wizard over the store's records, then, on OK, the
// chart window, both modal. An empty store gets a message instead of the wizard.
void showLogGraphs(QWidget *parent, GraphSelection &selection, const RecordStore &store,
                   const TemperatureResolutions &resolutions, ui::Prompts &prompts,
                   const ChannelNames &names = defaultChannelNames());

// The points the chart window gets for the store (slots 1..count).
GraphPoints graphPointsOf(const GraphSelection &selection, const RecordStore &store,
                          const TemperatureResolutions &resolutions);

} // namespace vardex::log
