#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace vardex::link {
class DataModule;
class OperationContext;
} // namespace vardex::link

// Waits on the event loop (the command line's and the watch's), and the watch's small
// words, shared by the watch and its pairs.
namespace vardex::cli {

// A sequence of the watch's own (identity, the outputs) waits this long for the link.
inline constexpr int kSequenceBoundMs = 5000;

// Runs the event loop until done() holds or ms pass.
bool spinUntil(const std::function<bool()> &done, int ms);

// One sequence of exchanges, waited for. A sequence that could not start in time is
// given up: when the link reaches it later it does nothing, so what it refers to may be
// gone by then.
bool runSequence(link::DataModule &dm, const std::function<void(link::OperationContext &)> &fn);

// "yyyy-MM-dd hh:mm:ss", the watch's line stamp.
QString watchStamp(const QDateTime &t);

// "S/N=…, node" for the log.
QString controllerText(const QString &serial, const QString &node);

} // namespace vardex::cli
