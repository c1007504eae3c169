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
    bool lastReplyWasError() const override { return m_dm.m_lastWasError; }
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
    return pos < kPayloadSize ? m_reportBuffer[pos] : 0;
}

Payload DataModule::lastReply() const
{
    return m_answer;
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
    // The new device is opened before the current one is let go: one that cannot be
    // opened (another program holds it, no permission) must not cost the working link.
    QString error;
    if (!m_transport.open(info.id, &error)) {
        emit linkError(QStringLiteral("Error: %1").arg(error));
        emit openFailed(info, error);
        return;
    }
    // A controller replacing another is a new connection: pages drop what they learned
    // from the first one exactly as on its removal, before anything is sent to the new
    // one (which could otherwise receive the first one's loops or settings).
    if (!m_currentDevice.isEmpty())
        emit connectionChanged(false);
    endRunningExchange();
    detachCurrent();
    m_currentDevice = info.id;
    m_currentInfo = info;
    m_connected = info.featureReportLength != 0;
    emit connectionChanged(m_connected);
}

void DataModule::onDeviceRemoved(const QString &id)
{
    if (id != m_currentDevice)
        return;
    // The notice comes first, so pages react while the device is still named.
    emit connectionChanged(false);
    endRunningExchange();
    detachCurrent();
}

void DataModule::endRunningExchange()
{
    // Nothing can answer any more: the running operation's waits and pauses end now,
    // and it learns why, instead of running out every time-out and blaming the reply.
    if (isBusy()) {
        m_cancelRequested = true;
        m_cancelReason = OpStatus::Disconnected;
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
    std::copy(payload.begin(), payload.end(), m_reportBuffer.begin());
    if (isErrorReply(payload)) {
        // Taken as the reply before the message is shown: the message's modal loop
        // delivers further reports, and those belong to the caller's next wait. The
        // wait itself returns only once the message is closed.
        takeAnswer(payload);
        emit controllerErrorReply();
        return;
    }
    const ReplyEntry entry = (*m_table)[payload[pos::Code]];
    if (!entry || entry(payload, m_image) != ReplyOutcome::Accepted)
        return;
    if (m_hasOutstanding && !answers(m_outstanding, payload)) {
        // A notice the controller sends on its own raises the reply flag, but it is
        // not the answer to the request outstanding: that wait goes on, and its
        // caller never reads the notice's bytes as its answer. A reply to an earlier
        // request that came after its caller gave up is stored, nothing more.
        if (isControllerNotice(payload))
            m_replyReceived = true;
        return;
    }
    takeAnswer(payload);
}

void DataModule::takeAnswer(const Payload &payload)
{
    m_answer = payload;
    m_lastWasError = isErrorReply(payload);
    if (m_acceptSink)
        m_acceptSink(m_outstanding, payload);
    acceptReply();
}

void DataModule::acceptReply()
{
    m_replyReceived = true;
    m_answered = true;
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
    m_reportBuffer[0] = 0;
    std::copy(request.begin(), request.end(), m_reportBuffer.begin() + 1);
    m_outstanding = request;
    m_hasOutstanding = true;
    m_replyReceived = false;
    m_answered = false;
    sendReport();
}

void DataModule::sendReport()
{
    if (m_currentDevice.isEmpty() || cancelled())
        return;
    Payload sent{};
    std::copy_n(m_reportBuffer.begin() + 1, kPayloadSize, sent.begin());
    trace(TraceEntry::Direction::Sent, sent);
    QString text;
    quint32 code = 0;
    if (!m_transport.write(m_currentDevice, m_reportBuffer, &text, &code))
        emit linkError(QStringLiteral("Error: %1 (%2)").arg(text).arg(code, 0, 16));
}

bool DataModule::waitReply(int timeoutMs)
{
    const bool outerWait = std::exchange(m_inWait, true);
    const auto leave = qScopeGuard([&] { m_inWait = outerWait; });
    handleHeldReplies(true);
    m_transport.deliverPending();
    if (m_answered)
        return true;
    // Without a device nothing can answer; waiting out the time would only hold the link.
    if (cancelled() || timeoutMs <= 0 || m_currentDevice.isEmpty())
        return m_answered;

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QEventLoop *outer = std::exchange(m_waitLoop, &loop);
    timer.start(timeoutMs);
    loop.exec();
    m_waitLoop = outer;
    return m_answered;
}

bool DataModule::waitNextReport(int timeoutMs)
{
    m_replyReceived = false;
    m_answered = false;
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
    m_yielding = true;
    runWaiting();
}

void DataModule::pauseYielding(int ms)
{
    if (cancelled() || ms <= 0)
        return;
    QElapsedTimer elapsed;
    elapsed.start();
    m_yielding = true;
    runWaiting();
    // What asks for the link during the rest of the pause runs at once.
    const bool outer = std::exchange(m_linkOpen, true);
    pauseUntil(ms, elapsed);
    m_linkOpen = outer;
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
    m_cancelRequested = true;
    m_cancelReason = OpStatus::Cancelled;
    if (m_waitLoop)
        m_waitLoop->quit();
    if (m_pauseLoop)
        m_pauseLoop->quit();
}

// ---- operations ---------------------------------------------------------------------------

bool DataModule::runOperation(Operation op)
{
    if (m_shuttingDown || m_closing)
        return false;
    if (isBusy()) {
        if (m_yielding) {
            emit operationRefused();
            return false;
        }
        m_pending.push_back(std::move(op));
        return true;
    }
    runNow(op, false);
    return true;
}

void DataModule::runOrHold(Operation op, bool priority, std::deque<Operation> &held)
{
    if (!isBusy())
        runNow(op, priority);
    else if (linkOpenForOthers())
        runNested(op, priority);
    else
        held.push_back(std::move(op));
}

void DataModule::runBetweenSteps(Operation op)
{
    if (!m_shuttingDown && !m_closing)
        runOrHold(std::move(op), false, m_between);
}

bool DataModule::runIfIdle(Operation op)
{
    if (m_shuttingDown || m_closing)
        return false;
    if (isBusy()) {
        if (!linkOpenForOthers())
            return false;
        runNested(op, false);
        return true;
    }
    runNow(op, false);
    return true;
}

void DataModule::runPriority(Operation op)
{
    if (!m_shuttingDown)
        runOrHold(std::move(op), true, m_priority);
}

DataModule::TickOutcome DataModule::runTick(const void *key, Operation op)
{
    if (m_shuttingDown || m_closing)
        return TickOutcome::Skipped;
    if (!isBusy()) {
        runNow(op, false);
        return TickOutcome::Ran;
    }
    if (linkOpenForOthers()) {
        runNested(op, false);
        return TickOutcome::Ran;
    }
    if (!m_yielding)
        return TickOutcome::Skipped;
    // One tick per source waits: a later one replaces it, so ticks never pile up.
    const auto same = std::find_if(m_ticks.begin(), m_ticks.end(),
                                   [key](const auto &t) { return t.first == key; });
    if (same != m_ticks.end())
        same->second = std::move(op);
    else
        m_ticks.emplace_back(key, std::move(op));
    return TickOutcome::Deferred;
}

bool DataModule::takeWaiting(Operation *next, bool *priority, bool atBoundary)
{
    if (m_shuttingDown)
        return false;
    if (!m_priority.empty()) {
        *next = std::move(m_priority.front());
        m_priority.pop_front();
        *priority = true;
        return true;
    }
    *priority = false;
    if (m_closing)
        return false;
    // The engineer's actions before ticks, in order of their kinds.
    if (!m_between.empty()) {
        *next = std::move(m_between.front());
        m_between.pop_front();
        return true;
    }
    if (!atBoundary && !m_pending.empty()) {
        *next = std::move(m_pending.front());
        m_pending.pop_front();
        return true;
    }
    if (!m_ticks.empty()) {
        *next = std::move(m_ticks.front().second);
        m_ticks.pop_front();
        return true;
    }
    return false;
}

void DataModule::runNow(const Operation &op, bool priority)
{
    ++m_busyDepth;
    m_inPriority = priority;
    op(*m_context);
    // Work queued while op waited runs now, the priority lane first, before the link
    // is free for timers.
    Operation next;
    bool nextPriority = false;
    while (takeWaiting(&next, &nextPriority, false)) {
        m_cancelRequested = false; // a stop ends the operation it was meant for only
        m_cancelReason = OpStatus::Cancelled;
        m_inPriority = nextPriority;
        // Whether the link is held by a long sequence is the next operation's to say.
        if (!nextPriority)
            m_yielding = false;
        next(*m_context);
    }
    m_inPriority = false;
    m_pending.clear();
    m_priority.clear();
    m_between.clear();
    m_ticks.clear();
    --m_busyDepth;
    if (m_busyDepth == 0) {
        m_cancelRequested = false;
        m_cancelReason = OpStatus::Cancelled;
        m_yielding = false;
        // Nobody waits any more: what was held back is handled now.
        handleHeldReplies(false);
        emit becameIdle();
    }
}

void DataModule::runWaiting()
{
    Operation next;
    bool priority = false;
    while (takeWaiting(&next, &priority, true))
        runNested(next, priority);
}

void DataModule::runNested(const Operation &op, bool priority)
{
    // The running operation is between two steps: nothing of it is outstanding. What it
    // had (its stop request, its request and answer) is put back afterwards, so the other
    // operation neither inherits its stop nor leaves it an answer that is not its own.
    const bool cancel = m_cancelRequested;
    const OpStatus reason = m_cancelReason;
    const auto buffer = m_reportBuffer;
    const Payload outstanding = m_outstanding;
    const bool hadOutstanding = m_hasOutstanding;
    const bool received = m_replyReceived;
    const bool answered = m_answered;
    const Payload answer = m_answer;
    const bool lastWasError = m_lastWasError;
    const bool open = std::exchange(m_linkOpen, false);
    const bool outerPriority = std::exchange(m_inPriority, priority);
    m_cancelRequested = false;
    m_cancelReason = OpStatus::Cancelled;
    ++m_busyDepth;
    op(*m_context);
    --m_busyDepth;
    m_inPriority = outerPriority;
    m_linkOpen = open;
    m_reportBuffer = buffer;
    m_outstanding = outstanding;
    m_hasOutstanding = hadOutstanding;
    m_replyReceived = received;
    m_answered = answered;
    m_answer = answer;
    m_lastWasError = lastWasError;
    // A stop or an unplug during the other operation ends the running one too.
    if (!m_cancelRequested) {
        m_cancelRequested = cancel;
        m_cancelReason = reason;
    }
}

void DataModule::beginClosing(int boundMs)
{
    if (!isBusy() || m_shuttingDown)
        return;
    m_closing = true;
    m_pending.clear();
    m_between.clear();
    m_ticks.clear();
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
    m_pending.clear();
    m_priority.clear();
    m_between.clear();
    m_ticks.clear();
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
