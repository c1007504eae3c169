#pragma once

#include "link/device_image.h"
#include "link/operation.h"
#include "link/reply_table.h"
#include "link/report.h"
#include "link/transport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QEventLoop;

namespace vardex::link {

inline const QString kControllerProduct = QStringLiteral("Quellbox");

// True when reply answers request: the same Code and, where the reply carries it, the
// same page, Sub, loop and record kind, or memory address. Acknowledgements carry no
// data, and whether the controller echoes the page or loop in them is not known, so
// they match on Code alone: matching on more could make every write wait time out.
bool answers(const Payload &request, const Payload &reply);

// One report crossing the link, for the trace hook.
struct TraceEntry {
    enum class Direction { Sent, Received };
    qint64 nanoseconds = 0; // monotonic, since the data module was created
    Direction direction = Direction::Sent;
    Payload payload{};
};

// The link as pages see it: the current device, the one report buffer, the reply
// flag, the reply handler, and the rule that only one request-reply exchange runs at
// a time.
//
// Everything runs on the GUI thread. Exchanges happen only inside an operation: a
// sequence of exchanges that belongs together is handed to runOperation() (user
// actions: queued behind a running operation) or runIfIdle() (timer ticks: skipped
// while another operation holds the link), and receives the link's OperationContext
// there and nowhere else. That context sends, waits and pauses only while its
// operation holds the link, so the busy flag, stop and unplug reporting hold for every
// exchange, not by convention.
class DataModule : public QObject {
    Q_OBJECT
public:
    explicit DataModule(Transport &transport, QObject *parent = nullptr);
    ~DataModule() override;

    DeviceImage &image() { return m_image; }
    const DeviceImage &image() const { return m_image; }

    // The report buffer's payload byte at position pos (0..63): the last report the
    // reply handler took, notices included.
    std::uint8_t replyByte(std::size_t pos) const;
    // The last report accepted as an answer (or the error reply).
    Payload lastReply() const;

    // Set by every accepted report, the controller's notices included; cleared by a
    // send.
    bool replyReceived() const { return m_replyReceived; }

    // The entry for every input report of the current device.
    void replyHandler(const Payload &payload);
    void setReplyTable(const ReplyTable *table) { m_table = table; }

    bool hasDevice() const { return !m_currentDevice.isEmpty(); }
    const HidDeviceInfo &currentDevice() const { return m_currentInfo; }
    bool isConnected() const { return m_connected; }

    // ---- operations: one exchange sequence at a time ----
    using Operation = std::function<void(OperationContext &)>;
    bool isBusy() const { return m_busyDepth > 0; }
    // Runs op now, or right after the running operation (in call order). While a long
    // sequence holds the link (one that gives it back at step boundaries: a display
    // test, a log read, a write of all loops) op is refused at once: it returns false
    // and operationRefused() is raised, so nothing the engineer asked for fires many
    // seconds later, when the sequence ends. Ordinary operations never run between
    // another one's steps, because two sequences would interleave their transfers.
    bool runOperation(Operation op);
    // Runs op now if the link is free (or open in a yielding pause); returns false (op
    // dropped) otherwise.
    bool runIfIdle(Operation op);

    // A short user action (a clock or state read, a display line): runs now if the link
    // is free, else at the running sequence's next step boundary, or right after an
    // operation without steps. Ordinary queued operations (runOperation) never run
    // inside another one: two long sequences would interleave their transfers.
    void runBetweenSteps(Operation op);

    // The priority lane (the watchdog's switch-on and switch-off): op runs now if the
    // link is free, else ahead of every ordinary queued operation, at the running
    // sequence's next step boundary (yieldLink(), pauseYielding()) or when it ends.
    // Priority operations run in call order; they still run while closing.
    void runPriority(Operation op);

    // A timer tick. Ran: it ran now. Deferred: a sequence that yields holds the link; the
    // tick runs at its next step boundary (a later tick with the same key replaces it).
    // Skipped: another operation holds the link; the tick is dropped.
    enum class TickOutcome { Ran, Deferred, Skipped };
    TickOutcome runTick(const void *key, Operation op);

    // Closing with an operation running: it is cancelled (its waits return at once),
    // ordinary queued work is dropped, the priority lane still runs (a switch-off the
    // watchdog owes), and after boundMs at the latest everything is shut down.
    void beginClosing(int boundMs);
    bool isClosing() const { return m_closing; }
    // While closing: every wait returns at once, nothing more is sent, queued
    // operations are dropped. Detaches the current device without a notice.
    void shutdown();
    bool isShuttingDown() const { return m_shuttingDown; }
    // Asks the running operation to stop: its waits and pauses return at once and
    // nothing more is sent until it has unwound. Queued operations still run.
    void cancel();
    bool cancelled() const
    {
        return m_shuttingDown || m_cancelRequested || (m_closing && !m_inPriority);
    }
    OpStatus cancelReason() const { return m_shuttingDown ? OpStatus::Cancelled : m_cancelReason; }

    // Only devices the filter accepts are taken (the command line's --device);
    // without one, the first "Quellbox" device is.
    using DeviceFilter = std::function<bool(const HidDeviceInfo &)>;
    void setDeviceFilter(DeviceFilter filter) { m_deviceFilter = std::move(filter); }

    using TraceSink = std::function<void(const TraceEntry &)>;
    // The one replaceable sink (tests, the command line's watch); listeners added
    // below are told as well, so setting it never cuts another listener off.
    void setTraceSink(TraceSink sink) { m_trace = std::move(sink); }
    // Every report, in order, to each listener (the window's "Обмен" dock and the
    // --trace file). The handle removes it again.
    int addTraceListener(TraceSink sink);
    void removeTraceListener(int handle);
    // Told of every report taken as the answer to the request outstanding (for checks
    // that no wait is ended by a report that does not answer it).
    using AcceptSink = std::function<void(const Payload &request, const Payload &reply)>;
    void setAcceptSink(AcceptSink sink) { m_acceptSink = std::move(sink); }

    Transport &transport() { return m_transport; }

    // The hourglass, for work that holds no link (an export); nested calls count.
    void setBusyCursor(bool busy);

signals:
    // Raised when a "Quellbox" device is taken (true when it declares a feature
    // report) or when the current one goes away (false).
    void connectionChanged(bool connected);
    // "Error: <system text> (<hex code>)" for the status bar.
    void linkError(const QString &text);
    // A "Quellbox" device is present but could not be opened (the connection doctor
    // says why); linkError carries the same failure as text.
    void openFailed(const vardex::link::HidDeviceInfo &info, const QString &error);
    // The controller sent its error reply; the handler waits until this returns.
    void controllerErrorReply();
    void progressVisibilityChanged(bool visible, int maximum);
    void progressChanged(int position);
    // The hourglass should be shown (nested: counted by the window).
    void busyCursorChanged(bool busy);
    // The last running operation has finished and nothing is queued.
    void becameIdle();
    // runOperation() turned an action down because a long sequence holds the link.
    void operationRefused();

private:
    class Context;
    friend class Context;

    // The link services behind the operation context (see OperationContext).
    void send(const Payload &request);
    bool waitReply(int timeoutMs);
    bool waitNextReport(int timeoutMs);
    void pause(int ms);
    void yieldLink();
    void pauseYielding(int ms);
    void pauseUntil(int ms, const QElapsedTimer &elapsed);
    void showProgress(bool visible, int maximum);
    void setProgress(int position);

    // Writes the report buffer as it is to the current device.
    void sendReport();
    void onDeviceArrived(const HidDeviceInfo &info);
    void onDeviceRemoved(const QString &id);
    void onReport(const QString &id, const Payload &payload);
    void onReadError(const QString &id, const QString &text, quint32 code);
    void detachCurrent();
    void endRunningExchange();
    void handleHeldReplies(bool stopAtReply);
    void acceptReply();
    void trace(TraceEntry::Direction dir, const Payload &payload);
    void runNow(const Operation &op, bool priority);
    // atBoundary: only what may run inside the running sequence (no ordinary queued work).
    bool takeWaiting(Operation *next, bool *priority, bool atBoundary);
    // Runs what waits for the link at a step boundary of the running operation, keeping
    // that operation's own state (stop request, outstanding request, last reply).
    void runWaiting();
    void runNested(const Operation &op, bool priority);
    // Runs op now, between the running operation's steps if its link is open, else holds
    // it in held for the next step boundary.
    void runOrHold(Operation op, bool priority, std::deque<Operation> &held);
    bool linkOpenForOthers() const { return m_linkOpen && !m_shuttingDown; }
    void takeAnswer(const Payload &payload);

    Transport &m_transport;
    DeviceImage m_image;
    // Requests are built at bytes 1..64 (byte 0 is the report ID); the reply
    // handler copies each reply payload to bytes 0..63.
    std::array<std::uint8_t, kOutputReportSize> m_reportBuffer{};
    bool m_replyReceived = false;
    Payload m_outstanding{}; // the last request sent through send()
    bool m_hasOutstanding = false;
    const ReplyTable *m_table;

    QString m_currentDevice;
    HidDeviceInfo m_currentInfo;
    bool m_connected = false;

    QEventLoop *m_waitLoop = nullptr;
    QEventLoop *m_pauseLoop = nullptr;
    bool m_inWait = false;
    bool m_holdReplies = false;        // the running wait has its reply
    std::deque<Payload> m_heldReplies; // arrived after it, for the next wait
    int m_busyDepth = 0;
    std::deque<Operation> m_pending;
    std::deque<Operation> m_priority;
    std::deque<Operation> m_between; // short actions for the next step boundary
    std::deque<std::pair<const void *, Operation>> m_ticks; // held over to the next step
    bool m_linkOpen = false;   // the running sequence is in pauseYielding()
    bool m_inPriority = false; // a priority operation runs (closing does not cancel it)
    bool m_yielding = false;   // the running operation has yielded: ticks wait for it
    bool m_closing = false;
    bool m_shuttingDown = false;
    bool m_cancelRequested = false;
    OpStatus m_cancelReason = OpStatus::Cancelled;
    bool m_lastWasError = false;
    bool m_answered = false; // the request outstanding has its answer
    Payload m_answer{};      // that answer (or the error reply)
    std::unique_ptr<Context> m_context;

    QElapsedTimer m_clock;
    TraceSink m_trace;
    std::vector<std::pair<int, TraceSink>> m_traceListeners;
    int m_nextTraceHandle = 1;
    AcceptSink m_acceptSink;
    DeviceFilter m_deviceFilter;
};

} // namespace vardex::link
