#pragma once

#include "log/graph_points.h"
#include "log/record_store.h"
#include "log/sensor_resolutions.h"

class QWidget;

namespace vardex::ui {
class Prompts;
}

namespace vardex::log {

class LogGraphForm;

inline const QString kNothingToDrawText =
    QStringLiteral("В журнале нет записей: строить график не из чего");

// The log page's "График" button: the wizard over the store's records (modal), then, on
// OK, the chart window, left open beside the page (it deletes itself when closed), so a
// configuration loaded meanwhile can redraw it. An empty store gets a message instead of
// the wizard. Returns the window, or nullptr when none was opened.
LogGraphForm *showLogGraphs(QWidget *parent, GraphSelection &selection, const RecordStore &store,
                            const SensorResolutions &resolutions, ui::Prompts &prompts,
                            const ChannelNames &names = defaultChannelNames());

// The points the chart window gets for the store (slots 1..count).
GraphPoints graphPointsOf(const GraphSelection &selection, const RecordStore &store,
                          const TemperatureResolutions &resolutions);

// The note a graph or an export carries for these resolutions ("" when they are known).
QString resolutionNote(const SensorResolutions &resolutions);

} // namespace vardex::log
