#include "link/data_module.h"

#include "link/protocol.h"

#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>

namespace vardex::link {

bool answers(const Payload &request, const Payload &reply)
{
    namespace code = protocol::code;
    const std::uint8_t c = request[pos::Code];
    if (reply[pos::Code] != c)
        return false;
    switch (c) {
    case code::ConfigPage: // the page
    case code::State:      // Sub 0 the state, Sub 1 the upper flags
    case code::Hash:       // the signed command
    case code::Identity:   // the identity Sub (other Subs are notices)
        return reply[pos::Sub] == request[pos::Sub];
    case code::Loop: // loop number and record kind
        return reply[pos::Sub] == request[pos::Sub] && reply[pos::Arg1] == request[pos::Arg1];
    case code::MemoryRead: // the address
        return reply[pos::Sub] == request[pos::Sub] && reply[pos::Arg1] == request[pos::Arg1];
    default: // acknowledgements (WriteConfigPage, WriteLoop, ...) carry nothing of their
             // request that the controller is known to fill in
        return true;
    }
}

// The link as an operation sees it. There is one, handed to operations only; outside
// an operation (a reference kept beyond its operation) it sends nothing, every wait
// fails at once and it reports itself cancelled.
class DataModule::Context final : public OperationContext {
public:
    explicit Context(DataModule &dm) : m_dm(dm) {}

    DeviceImage &image() override { return m_dm.m_image; }
    bool hasDevice() const override { return m_dm.hasDevice(); }
    void send(const Payload &request) override
    {
        if (open())
            m_dm.send(request);
    }
    bool waitReply(int timeoutMs) override { return open() && m_dm.waitReply(timeoutMs); }
    bool waitNextReport(int timeoutMs) override { return open() && m_dm.waitNextReport(timeoutMs); }
    Payload lastReply() const override { return m_dm.lastReply(); }
    bool lastReplyWasError() const override { return m_dm.ex().lastWasError; }
    void pause(int ms) override
    {
        if (open())
            m_dm.pause(ms);
    }
    void yieldLink() override
    {
        if (open())
            m_dm.yieldLink();
    }
    void pauseYielding(int ms) override
    {
        if (open())
            m_dm.pauseYielding(ms);
    }
    bool cancelled() const override { return !open() || m_dm.cancelled(); }
    OpStatus cancelReason() const override { return m_dm.cancelReason(); }
    void showProgress(bool visible, int maximum) override { m_dm.showProgress(visible, maximum); }
    void setProgress(int position) override { m_dm.setProgress(position); }
    void setBusyCursor(bool busy) override { m_dm.setBusyCursor(busy); }

private:
    bool open() const { return m_dm.isBusy(); }

    DataModule &m_dm;
};

DataModule::DataModule(Transport &transport, QObject *parent)
    : QObject(parent), m_transport(transport), m_table(&replyTable()),
      m_context(std::make_unique<Context>(*this))
{
    m_clock.start();
    connect(&m_transport, &Transport::deviceArrived, this, &DataModule::onDeviceArrived);
    connect(&m_transport, &Transport::deviceRemoved, this, &DataModule::onDeviceRemoved);
    connect(&m_transport, &Transport::reportReceived, this, &DataModule::onReport);
    connect(&m_transport, &Transport::readError, this, &DataModule::onReadError);
}

DataModule::~DataModule()
{
    m_shuttingDown = true;
    detachCurrent();
}

std::uint8_t DataModule::replyByte(std::size_t pos) const
{
    return pos < kPayloadSize ? ex().reportBuffer[pos] : 0;
}

Payload DataModule::lastReply() const
{
    return ex().answer;
}

// ---- device arrival and removal -------------------------------------------------------------

void DataModule::onDeviceArrived(const HidDeviceInfo &info)
{
    if (m_shuttingDown || info.product != kControllerProduct)
        return;
    if (m_deviceFilter && !m_deviceFilter(info))
        return;
    if (info.id == m_currentDevice)
        return;
    if (m_leaving) {
        // The controller going is still being settled (a switch-off and its read-back):
        // this one is taken once that is done.
        m_arrivedWhileLeaving = info;
        return;
    }
    // The new device is opened before the current one is let go: one that cannot be
    // opened (another program holds it, no permission) must not cost the working link.
    QString error;
    if (!m_transport.open(info.id, &error)) {
        emit linkError(QStringLiteral("Error: %1").arg(error));
        emit openFailed(info, error);
        return;
    }
    // A controller replacing another is a new connection: what the first is owed goes to
    // it first, then pages drop what they learned from it exactly as on its removal,
    // before anything is sent to the new one (which could otherwise receive the first
    // one's loops, settings or switch-off).
    if (!m_currentDevice.isEmpty())
        leaveCurrent(true);
    else
        endRunningExchange();
    attach(info);
}

void DataModule::attach(const HidDeviceInfo &info)
{
    m_currentDevice = info.id;
    m_currentInfo = info;
    m_connected = info.featureReportLength != 0;
    emit connectionChanged(m_connected);
}

void DataModule::onDeviceRemoved(const QString &id)
{
    if (id != m_currentDevice)
        return;
    if (m_leaving) {
        // Gone while being settled: the settling's waits end now; leaveCurrent() lets it go.
        endRunningExchange();
        return;
    }
    leaveCurrent(false);
}

void DataModule::leaveCurrent(bool replaced)
{
    m_leaving = true;
    endRunningExchange();
    // Work queued for this controller never reaches another one: it runs cancelled, so
    // the page that queued it unwinds as after a stop, and then the engineer is told.
    for (auto *queue : {&m_between, &m_pending}) {
        for (const Queued &q : *queue) {
            if (q.generation != m_generation)
                continue;
            ++m_orphans;
            if (!q.name.isEmpty())
                m_dropped.names << q.name;
            m_dropped.replaced = replaced;
        }
    }
    ++m_generation;
    m_ticks.clear();
    const HidDeviceInfo leaving = m_currentInfo;
    if (replaced) {
        // The priority lane (a watchdog switch-on or switch-off) was meant for this
        // controller: it goes to it now, then whatever else it is owed.
        while (!m_priority.empty()) {
            const Operation op = std::move(m_priority.front());
            m_priority.pop_front();
            runNested(op, true);
        }
        emit controllerLeaving(leaving);
    }
    // The notice comes first, so pages react while the device is still named.
    emit connectionChanged(false);
    detachCurrent();
    // Unplugged: the priority lane learns now that it has no controller, not later from
    // one that took its place.
    while (!m_priority.empty()) {
        const Operation op = std::move(m_priority.front());
        m_priority.pop_front();
        runNested(op, true);
    }
    m_leaving = false;
    if (m_arrivedWhileLeaving) {
        const HidDeviceInfo next = *std::exchange(m_arrivedWhileLeaving, std::nullopt);
        // Replaced: the newer one under way is taken, this one was never opened.
        if (!replaced)
            QTimer::singleShot(0, this, [this, next] { onDeviceArrived(next); });
    }
}

void DataModule::orphanRan()
{
    if (m_orphans == 0 || --m_orphans > 0)
        return;
    const Dropped dropped = std::exchange(m_dropped, {});
    if (!dropped.names.isEmpty())
        emit operationsDropped(dropped.names, dropped.replaced);
}

void DataModule::forgetQueued()
{
    m_pending.clear();
    m_priority.clear();
    m_between.clear();
    m_ticks.clear();
    m_orphans = 0;
    m_dropped = {};
}

void DataModule::endRunningExchange()
{
    // Nothing can answer any more: the running operations' waits and pauses end now,
    // and they learn why, instead of running out every time-out and blaming the reply.
    if (isBusy()) {
        for (Frame &f : m_frames) {
            f.cancelRequested = true;
            f.cancelReason = OpStatus::Disconnected;
        }
    }
    if (m_waitLoop)
        m_waitLoop->quit();
    if (m_pauseLoop)
        m_pauseLoop->quit();
}

void DataModule::detachCurrent()
{
    if (m_currentDevice.isEmpty())
        return;
    // Replies that arrived before the device went are still the controller's answers:
    // they reach the image. An error reply is not shown for a device being let go.
    m_holdReplies = false;
    while (!m_heldReplies.empty()) {
        const Payload held = m_heldReplies.front();
        m_heldReplies.pop_front();
        if (!isErrorReply(held))
            replyHandler(held);
    }
    m_holdReplies = false;
    m_owedAcks.clear(); // a new controller owes nothing
    const QString id = m_currentDevice;
    m_currentDevice.clear();
    m_currentInfo = {};
    m_connected = false;
    m_transport.close(id);
}

// ---- reports ----------------------------------------------------------------------------------

void DataModule::onReport(const QString &id, const Payload &payload)
{
    // Reports of a replaced device, or ones still queued from before it was
    // detached, are not the current device's replies.
    if (id != m_currentDevice)
        return;
    trace(TraceEntry::Direction::Received, payload);
    // Once a wait has its reply, the reports behind it belong to the caller's next
    // wait (a log record comes as two reports, often in one batch).
    if (m_holdReplies) {
        m_heldReplies.push_back(payload);
        return;
    }
    replyHandler(payload);
}

void DataModule::handleHeldReplies(bool stopAtReply)
{
    m_holdReplies = false;
    while (!m_heldReplies.empty()) {
        const Payload next = m_heldReplies.front();
        m_heldReplies.pop_front();
        replyHandler(next);
        if (stopAtReply && m_holdReplies)
            return;
    }
}

void DataModule::onReadError(const QString &id, const QString &text, quint32 code)
{
    if (id != m_currentDevice)
        return;
    emit linkError(QStringLiteral("Error: %1 (%2)").arg(text).arg(code, 0, 16));
}

void DataModule::replyHandler(const Payload &payload)
{
    std::copy(payload.begin(), payload.end(), ex().reportBuffer.begin());
    if (isErrorReply(payload)) {
        // Taken as the reply before the message is shown: the message's modal loop
        // delivers further reports, and those belong to the caller's next wait. The
        // wait itself returns only once the message is closed.
        takeAnswer(payload);
        emit controllerErrorReply();
        return;
    }
    if (payload[pos::Code] == protocol::code::SerialSend && takeOwedAck())
        return; // an earlier command's, late: dropped, counted
    const ReplyEntry entry = (*m_table)[payload[pos::Code]];
    if (!entry || entry(payload, m_image) != ReplyOutcome::Accepted)
        return;
    if (ex().hasOutstanding && !answers(ex().outstanding, payload)) {
        // A notice the controller sends on its own raises the reply flag, but it is
        // not the answer to the request outstanding: that wait goes on, and its
        // caller never reads the notice's bytes as its answer. A reply to an earlier
        // request that came after its caller gave up is stored, nothing more.
        if (isControllerNotice(payload))
            ex().replyReceived = true;
        return;
    }
    takeAnswer(payload);
}

bool DataModule::takeOwedAck()
{
    // One that has not come within the longest display wait is not coming.
    constexpr qint64 kOwedAckMs = 3000;
    const qint64 now = m_clock.elapsed();
    while (!m_owedAcks.empty() && now - m_owedAcks.front() > kOwedAckMs)
        m_owedAcks.pop_front();
    if (m_owedAcks.empty())
        return false;
    m_owedAcks.pop_front();
    ++m_lateAcks;
    return true;
}

void DataModule::takeAnswer(const Payload &payload)
{
    ex().answer = payload;
    ex().lastWasError = isErrorReply(payload);
    if (m_acceptSink)
        m_acceptSink(ex().outstanding, payload);
    acceptReply();
}

void DataModule::acceptReply()
{
    ex().replyReceived = true;
    ex().answered = true;
    if (m_inWait)
        m_holdReplies = true;
    if (m_waitLoop)
        m_waitLoop->quit();
}

// ---- sending and waiting ------------------------------------------------------------------

void DataModule::send(const Payload &request)
{
    // A reply that arrived after its caller gave up must not end the next wait.
    handleHeldReplies(false);
    m_transport.deliverPending();
    Exchange &e = ex();
    if (e.hasOutstanding && !e.answered && e.sendSerial > m_lastOwedSerial &&
        e.outstanding[pos::Code] == protocol::code::SerialSend) {
        m_owedAcks.push_back(m_clock.elapsed());
        m_lastOwedSerial = e.sendSerial;
    }
    e.reportBuffer[0] = 0;
    std::copy(request.begin(), request.end(), e.reportBuffer.begin() + 1);
    e.outstanding = request;
    e.hasOutstanding = true;
    e.sendSerial = ++m_sendCounter;
    noteRequest(m_image, request);
    e.replyReceived = false;
    e.answered = false;
    sendReport();
}

void DataModule::sendReport()
{
    if (m_currentDevice.isEmpty() || cancelled())
        return;
    Payload sent{};
    std::copy_n(ex().reportBuffer.begin() + 1, kPayloadSize, sent.begin());
    trace(TraceEntry::Direction::Sent, sent);
    QString text;
    quint32 code = 0;
    if (!m_transport.write(m_currentDevice, ex().reportBuffer, &text, &code))
        emit linkError(QStringLiteral("Error: %1 (%2)").arg(text).arg(code, 0, 16));
}

bool DataModule::waitReply(int timeoutMs)
{
    const bool outerWait = std::exchange(m_inWait, true);
    const auto leave = qScopeGuard([&] { m_inWait = outerWait; });
    handleHeldReplies(true);
    m_transport.deliverPending();
    if (ex().answered)
        return true;
    // Without a device nothing can answer; waiting out the time would only hold the link.
    if (cancelled() || timeoutMs <= 0 || m_currentDevice.isEmpty())
        return false;

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QEventLoop *outer = std::exchange(m_waitLoop, &loop);
    timer.start(timeoutMs);
    loop.exec();
    m_waitLoop = outer;
    return ex().answered;
}

bool DataModule::waitNextReport(int timeoutMs)
{
    ex().replyReceived = false;
    ex().answered = false;
    return waitReply(timeoutMs);
}

void DataModule::pause(int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    pauseUntil(ms, elapsed);
}

void DataModule::pauseUntil(int ms, const QElapsedTimer &elapsed)
{
    if (cancelled() || ms <= 0)
        return;
    // A pause lasts at least ms: timers may fire a little early (coarse timers by up
    // to 5 %), so the monotonic clock decides, and what is left is waited again.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Not a wait: a reply arriving now must not cut the pause short.
    QEventLoop *outer = std::exchange(m_pauseLoop, &loop);
    for (qint64 left = ms - elapsed.elapsed(); left > 0 && !cancelled();
         left = ms - elapsed.elapsed()) {
        timer.start(static_cast<int>(left));
        loop.exec();
    }
    m_pauseLoop = outer;
}

void DataModule::yieldLink()
{
    if (!isBusy() || m_shuttingDown)
        return;
    top().yielding = true;
    runWaiting();
}

void DataModule::pauseYielding(int ms)
{
    if (cancelled() || ms <= 0)
        return;
    QElapsedTimer elapsed;
    elapsed.start();
    top().yielding = true;
    runWaiting();
    // What asks for the link during the rest of the pause runs at once.
    top().linkOpen = true;
    pauseUntil(ms, elapsed);
    top().linkOpen = false;
}

void DataModule::showProgress(bool visible, int maximum)
{
    emit progressVisibilityChanged(visible, maximum);
}

void DataModule::setProgress(int position)
{
    emit progressChanged(position);
}

void DataModule::setBusyCursor(bool busy)
{
    emit busyCursorChanged(busy);
}

void DataModule::cancel()
{
    if (!isBusy())
        return;
    top().cancelRequested = true;
    top().cancelReason = OpStatus::Cancelled;
    if (m_waitLoop)
        m_waitLoop->quit();
    if (m_pauseLoop)
        m_pauseLoop->quit();
}

// ---- operations ---------------------------------------------------------------------------

namespace {

using LinkState = DataModule::LinkState;
using Admission = DataModule::Admission;
constexpr int kLanes = 4;

struct LaneRow {
    LinkState state;
    // Operation, BetweenSteps, Priority, Tick
    std::array<Admission, kLanes> lanes;
};

// Which lane may run in which state. Two sequences never interleave their transfers:
// nothing runs inside an operation without steps; between a sequence's steps only short
// actions, the priority lane and ticks run, never another ordinary operation. Ordinary
// work is refused while a sequence holds the link, so nothing fires minutes after the
// click. While a controller leaves or the window closes only the priority lane (what a
// controller is owed) still runs.
// clang-format off
constexpr LaneRow kLaneTable[] = {
    //                     Operation          BetweenSteps          Priority              Tick
    {LinkState::Idle,     {Admission::Run,    Admission::Run,       Admission::Run,       Admission::Run}},
    {LinkState::Operation,{Admission::Queue,  Admission::Hold,      Admission::Hold,      Admission::Drop}},
    {LinkState::Sequence, {Admission::Refuse, Admission::Hold,      Admission::Hold,      Admission::Hold}},
    {LinkState::Pause,    {Admission::Refuse, Admission::RunNested, Admission::RunNested, Admission::RunNested}},
    {LinkState::Nested,   {Admission::Refuse, Admission::Hold,      Admission::Hold,      Admission::Hold}},
    {LinkState::Leaving,  {Admission::Drop,   Admission::Drop,      Admission::RunNested, Admission::Drop}},
    {LinkState::Closing,  {Admission::Drop,   Admission::Drop,      Admission::Hold,      Admission::Drop}},
    {LinkState::Closed,   {Admission::Drop,   Admission::Drop,      Admission::Run,       Admission::Drop}},
    {LinkState::ShutDown, {Admission::Drop,   Admission::Drop,      Admission::Drop,      Admission::Drop}},
};
// clang-format on

} // namespace

DataModule::Admission DataModule::admission(LinkState state, Lane lane)
{
    for (const LaneRow &row : kLaneTable) {
        if (row.state == state)
            return row.lanes[static_cast<std::size_t>(lane)];
    }
    return Admission::Drop;
}

DataModule::LinkState DataModule::linkState() const
{
    if (m_shuttingDown)
        return LinkState::ShutDown;
    if (m_leaving)
        return LinkState::Leaving;
    if (m_closing)
        return isBusy() ? LinkState::Closing : LinkState::Closed;
    if (!isBusy())
        return LinkState::Idle;
    if (top().linkOpen)
        return LinkState::Pause;
    if (m_frames.size() > 1)
        return LinkState::Nested;
    return top().yielding ? LinkState::Sequence : LinkState::Operation;
}

bool DataModule::cancelled() const
{
    return m_shuttingDown || top().cancelRequested || (m_closing && !top().priority);
}

OpStatus DataModule::cancelReason() const
{
    return m_shuttingDown ? OpStatus::Cancelled : top().cancelReason;
}

void DataModule::admit(Lane lane, Operation op, const QString &name, const void *tickKey, bool *ran)
{
    const Admission a = admission(linkState(), lane);
    if (ran)
        *ran = a == Admission::Run || a == Admission::RunNested;
    const bool priority = lane == Lane::Priority;
    switch (a) {
    case Admission::Run:
        runNow(op, priority);
        return;
    case Admission::RunNested:
        runNested(op, priority);
        return;
    case Admission::Queue:
        m_pending.push_back({std::move(op), name, m_generation});
        return;
    case Admission::Hold:
        if (lane == Lane::Priority) {
            m_priority.push_back(std::move(op));
        } else if (lane == Lane::BetweenSteps) {
            m_between.push_back({std::move(op), name, m_generation});
        } else {
            // One tick per source waits: a later one replaces it, so ticks never pile up.
            const auto same = std::find_if(m_ticks.begin(), m_ticks.end(),
                                           [tickKey](const auto &t) { return t.first == tickKey; });
            if (same != m_ticks.end())
                same->second = std::move(op);
            else
                m_ticks.emplace_back(tickKey, std::move(op));
        }
        return;
    case Admission::Refuse:
        emit operationRefused();
        return;
    case Admission::Drop:
        return;
    }
}

bool DataModule::runOperation(const QString &name, Operation op)
{
    const Admission a = admission(linkState(), Lane::Operation);
    admit(Lane::Operation, std::move(op), name);
    return a != Admission::Refuse && a != Admission::Drop;
}

void DataModule::runBetweenSteps(const QString &name, Operation op)
{
    admit(Lane::BetweenSteps, std::move(op), name);
}

void DataModule::runPriority(Operation op)
{
    admit(Lane::Priority, std::move(op));
}

DataModule::TickOutcome DataModule::runTick(const void *key, Operation op)
{
    const Admission a = admission(linkState(), Lane::Tick);
    admit(Lane::Tick, std::move(op), {}, key);
    if (a == Admission::Hold)
        return TickOutcome::Deferred;
    return a == Admission::Drop ? TickOutcome::Skipped : TickOutcome::Ran;
}

bool DataModule::takeWaiting(Operation *next, bool *priority, bool *orphaned, bool atBoundary)
{
    if (m_shuttingDown)
        return false;
    *orphaned = false;
    if (!m_priority.empty()) {
        *next = std::move(m_priority.front());
        m_priority.pop_front();
        *priority = true;
        return true;
    }
    *priority = false;
    if (m_closing || m_leaving)
        return false;
    const auto take = [&](std::deque<Queued> &queue) {
        *next = std::move(queue.front().op);
        *orphaned = queue.front().generation != m_generation;
        queue.pop_front();
        return true;
    };
    // The engineer's actions before ticks, in order of their kinds.
    if (!m_between.empty())
        return take(m_between);
    if (!atBoundary && !m_pending.empty())
        return take(m_pending);
    if (!m_ticks.empty()) {
        *next = std::move(m_ticks.front().second);
        m_ticks.pop_front();
        return true;
    }
    return false;
}

void DataModule::runNow(const Operation &op, bool priority)
{
    m_inOperation = true;
    Frame &frame = m_frames.front();
    frame.priority = priority;
    op(*m_context);
    // Work queued while op waited runs now, the priority lane first, before the link
    // is free for timers.
    Operation next;
    bool nextPriority = false;
    bool orphaned = false;
    while (takeWaiting(&next, &nextPriority, &orphaned, false)) {
        // A stop ends the operation it was meant for only; what was queued for a
        // controller that has gone learns it is gone.
        frame.cancelRequested = orphaned;
        frame.cancelReason = OpStatus::Cancelled;
        frame.priority = nextPriority;
        // Whether the link is held by a long sequence is the next operation's to say.
        if (!nextPriority)
            frame.yielding = false;
        next(*m_context);
        if (orphaned)
            orphanRan();
    }
    forgetQueued();
    frame.priority = false;
    frame.cancelRequested = false;
    frame.cancelReason = OpStatus::Cancelled;
    frame.yielding = false;
    m_inOperation = false;
    // Nobody waits any more: what was held back is handled now.
    handleHeldReplies(false);
    emit becameIdle();
}

void DataModule::runWaiting()
{
    Operation next;
    bool priority = false;
    bool orphaned = false;
    while (takeWaiting(&next, &priority, &orphaned, true)) {
        runNested(next, priority, orphaned);
        if (orphaned)
            orphanRan();
    }
}

void DataModule::runNested(const Operation &op, bool priority, bool orphaned)
{
    // The running operation is between two steps (or is being ended): nothing of it is
    // outstanding. The other operation starts from its exchange, and what it leaves
    // there goes with its frame.
    Frame frame;
    frame.priority = priority;
    frame.cancelRequested = orphaned;
    frame.ex = ex();
    m_frames.push_back(std::move(frame));
    op(*m_context);
    const bool stopped = top().cancelRequested;
    const OpStatus reason = top().cancelReason;
    m_frames.pop_back();
    // A stop or an unplug during the other operation ends the running one too (an unplug
    // has ended every frame already; an orphaned one was cancelled from the start).
    if (stopped && !orphaned && !top().cancelRequested) {
        top().cancelRequested = true;
        top().cancelReason = reason;
    }
}

void DataModule::beginClosing(int boundMs)
{
    if (!isBusy() || m_shuttingDown)
        return;
    m_closing = true;
    // The priority lane stays: a switch-off the watchdog owes still goes out.
    std::deque<Operation> priority = std::move(m_priority);
    forgetQueued();
    m_priority = std::move(priority);
    if (m_waitLoop)
        m_waitLoop->quit();
    if (m_pauseLoop)
        m_pauseLoop->quit();
    // An operation that does not unwind (a message box left open) must not keep the
    // program from closing.
    QTimer::singleShot(boundMs, this, [this] {
        if (isBusy())
            shutdown();
    });
}

void DataModule::shutdown()
{
    m_shuttingDown = true;
    forgetQueued();
    if (m_waitLoop)
        m_waitLoop->quit();
    if (m_pauseLoop)
        m_pauseLoop->quit();
    detachCurrent();
}

int DataModule::addTraceListener(TraceSink sink)
{
    m_traceListeners.emplace_back(m_nextTraceHandle, std::move(sink));
    return m_nextTraceHandle++;
}

void DataModule::removeTraceListener(int handle)
{
    std::erase_if(m_traceListeners, [handle](const auto &l) { return l.first == handle; });
}

void DataModule::trace(TraceEntry::Direction dir, const Payload &payload)
{
    if (!m_trace && m_traceListeners.empty())
        return;
    const TraceEntry entry{m_clock.nsecsElapsed(), dir, payload};
    if (m_trace)
        m_trace(entry);
    // A listener may remove itself (or another) while told: walk a copy.
    const auto listeners = m_traceListeners;
    for (const auto &listener : listeners)
        listener.second(entry);
}

} // namespace vardex::link
