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
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
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
// sequence of exchanges that belongs together is handed to one of the lanes below
// (runOperation, runBetweenSteps, runPriority, runTick; admission() is the table of
// which runs when), and receives the link's OperationContext
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
    // Display acknowledgements that came for a serial-line command whose own wait had
    // ended (or that never waited) and were therefore not taken as the answer of the
    // command sent after it.
    int lateAcknowledgements() const { return m_lateAcks; }

    // Set by every accepted report, the controller's notices included; cleared by a
    // send.
    bool replyReceived() const { return ex().replyReceived; }

    // The entry for every input report of the current device.
    void replyHandler(const Payload &payload);
    void setReplyTable(const ReplyTable *table) { m_table = table; }

    bool hasDevice() const { return !m_currentDevice.isEmpty(); }
    const HidDeviceInfo &currentDevice() const { return m_currentInfo; }
    bool isConnected() const { return m_connected; }

    // ---- operations: one exchange sequence at a time ----
    using Operation = std::function<void(OperationContext &)>;
    bool isBusy() const { return m_inOperation || m_frames.size() > 1; }

    // Where the link is, as the lanes below see it. Nested: an operation runs between
    // the steps of another (which has yielded). Leaving: the current controller goes
    // (unplugged, or replaced by a newer one) and only what it is owed still runs.
    // Closing: the window closes while an operation unwinds; Closed: it has unwound.
    enum class LinkState {
        Idle,
        Operation,
        Sequence,
        Pause,
        Nested,
        Leaving,
        Closing,
        Closed,
        ShutDown
    };
    // The four ways in: ordinary operations (runOperation), short actions
    // (runBetweenSteps), the priority lane (runPriority) and timer ticks (runTick).
    enum class Lane { Operation, BetweenSteps, Priority, Tick };
    // What a lane does with an operation in a state. Run: now, the link is free.
    // RunNested: now, between the running operation's steps. Queue: after the running
    // operation ends. Hold: at the running sequence's next step boundary, or when it
    // ends. Refuse: turned down, and operationRefused() says so. Drop: turned down
    // without a word (returns false / Skipped).
    enum class Admission { Run, RunNested, Queue, Hold, Refuse, Drop };
    static Admission admission(LinkState state, Lane lane);
    LinkState linkState() const;

    // Runs op now, or right after the running operation (in call order). While a long
    // sequence holds the link (one that gives it back at step boundaries: a display
    // test, a log read, a write of all loops) op is refused at once: it returns false
    // and operationRefused() is raised, so nothing the engineer asked for fires many
    // seconds later, when the sequence ends. Ordinary operations never run between
    // another one's steps, because two sequences would interleave their transfers.
    bool runOperation(Operation op) { return runOperation(QString(), std::move(op)); }
    // name: what the engineer is told when the queued op never reaches its controller
    // (it went, or a newer one took its place, before op ran).
    bool runOperation(const QString &name, Operation op);

    // A short user action (a clock or state read, a display line): runs now if the link
    // is free, else at the running sequence's next step boundary, or right after an
    // operation without steps. Ordinary queued operations (runOperation) never run
    // inside another one: two long sequences would interleave their transfers.
    void runBetweenSteps(Operation op) { runBetweenSteps(QString(), std::move(op)); }
    void runBetweenSteps(const QString &name, Operation op);

    // The priority lane (the watchdog's switch-on and switch-off): op runs now if the
    // link is free, else ahead of every ordinary queued operation, at the running
    // sequence's next step boundary (yieldLink(), pauseYielding()) or when it ends.
    // Priority operations run in call order; they still run while closing, and on a
    // controller that is leaving (before a newer one takes its place).
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
    bool cancelled() const;
    OpStatus cancelReason() const;

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
    // The current controller is being replaced by a newer one: what it is owed (a
    // switch-off) goes now, through runPriority(), and reaches it before the newer one is
    // taken. Raised before connectionChanged(false).
    void controllerLeaving(const vardex::link::HidDeviceInfo &leaving);
    // Queued operations that never reached their controller because it went (replaced: a
    // newer one took its place; otherwise it was unplugged), by name. They ran cancelled
    // (sending nothing, their pages unwinding as after a stop); this comes after the last.
    void operationsDropped(const QStringList &names, bool replaced);

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
    // Where each lane puts what it does not run now.
    struct Queued {
        Operation op;
        QString name;           // for operationsDropped()
        quint64 generation = 0; // the controller it was queued for (m_generation then)
    };
    void admit(Lane lane, Operation op, const QString &name = {}, const void *tickKey = nullptr,
               bool *ran = nullptr);
    void runNow(const Operation &op, bool priority);
    // atBoundary: only what may run inside the running sequence (no ordinary queued work).
    // orphaned: it was queued for a controller that has gone since; it runs cancelled.
    bool takeWaiting(Operation *next, bool *priority, bool *orphaned, bool atBoundary);
    // Runs what waits for the link at a step boundary of the running operation.
    void runWaiting();
    // Runs op in a frame of its own on top of the running operation's: the other
    // operation neither inherits its stop nor leaves it an answer that is not its own.
    void runNested(const Operation &op, bool priority, bool orphaned = false);
    // The current controller goes: the running operation is ended, queued work for it
    // runs cancelled (it sends nothing, and the page that queued it unwinds as after a
    // stop), what it is owed runs (replaced: on it, before it is
    // let go).
    void leaveCurrent(bool replaced);
    // An orphaned operation has run: once the last has, operationsDropped() names them.
    void orphanRan();
    void forgetQueued();
    void attach(const HidDeviceInfo &info);
    void takeAnswer(const Payload &payload);
    // True when a serial-line acknowledgement just come belongs to an earlier command.
    bool takeOwedAck();

    Transport &m_transport;
    DeviceImage m_image;
    // One request-reply exchange as an operation sees it. A nested operation has its own,
    // a copy of the one it interrupts, dropped when it ends.
    struct Exchange {
        // Requests are built at bytes 1..64 (byte 0 is the report ID); the reply
        // handler copies each reply payload to bytes 0..63.
        std::array<std::uint8_t, kOutputReportSize> reportBuffer{};
        bool replyReceived = false;
        Payload outstanding{}; // the last request sent through send()
        bool hasOutstanding = false;
        bool answered = false; // the request outstanding has its answer
        Payload answer{};      // that answer (or the error reply)
        bool lastWasError = false;
        std::uint64_t sendSerial = 0; // of outstanding, unique over every frame
    };
    // One running operation: the link's state that belongs to it alone.
    struct Frame {
        bool priority = false; // a priority operation (closing does not cancel it)
        bool yielding = false; // has given the link back at a step boundary
        bool linkOpen = false; // in pauseYielding(): what asks for the link runs at once
        bool cancelRequested = false;
        OpStatus cancelReason = OpStatus::Cancelled;
        Exchange ex;
    };
    // [0]: the link between operations and the outermost operation; above it, operations
    // run between its steps. A deque: references to a frame survive a push.
    std::deque<Frame> m_frames{Frame{}};
    Frame &top() { return m_frames.back(); }
    const Frame &top() const { return m_frames.back(); }
    Exchange &ex() { return m_frames.back().ex; }
    const Exchange &ex() const { return m_frames.back().ex; }
    bool m_inOperation = false; // frame 0 runs an operation
    // Serial-line acknowledgements carry nothing of their command and come in order:
    // each SerialSend left unanswered when the next request went out is owed one, and
    // the next acknowledgements are theirs (oldest first), not the new command's.
    std::uint64_t m_sendCounter = 0;
    std::uint64_t m_lastOwedSerial = 0; // a request goes into the list once only
    std::deque<qint64> m_owedAcks;      // when each owed one was sent (m_clock)
    int m_lateAcks = 0;
    const ReplyTable *m_table;

    QString m_currentDevice;
    HidDeviceInfo m_currentInfo;
    bool m_connected = false;

    QEventLoop *m_waitLoop = nullptr;
    QEventLoop *m_pauseLoop = nullptr;
    bool m_inWait = false;
    bool m_holdReplies = false;        // the running wait has its reply
    std::deque<Payload> m_heldReplies; // arrived after it, for the next wait
    std::deque<Queued> m_pending;      // ordinary operations, after the running one
    std::deque<Operation> m_priority;
    std::deque<Queued> m_between; // short actions for the next step boundary
    std::deque<std::pair<const void *, Operation>> m_ticks; // held over to the next step
    bool m_leaving = false;
    quint64 m_generation = 0; // counts controllers let go
    int m_orphans = 0;        // queued for a controller gone, not yet run
    struct Dropped {
        QStringList names;
        bool replaced = false;
    } m_dropped;
    std::optional<HidDeviceInfo> m_arrivedWhileLeaving;
    bool m_closing = false;
    bool m_shuttingDown = false;
    std::unique_ptr<Context> m_context;

    QElapsedTimer m_clock;
    TraceSink m_trace;
    std::vector<std::pair<int, TraceSink>> m_traceListeners;
    int m_nextTraceHandle = 1;
    AcceptSink m_acceptSink;
    DeviceFilter m_deviceFilter;
};

} // namespace vardex::link
