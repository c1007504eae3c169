#include "service/watchdog.h"

#include "service/watchdog_output.h"

namespace vardex::service {

QString echoReplyText(const EchoResult &r, bool secondPrefix)
{
    const QString time =
        r.roundTripMs == 0 ? QStringLiteral("<1") : QStringLiteral("=%1").arg(r.roundTripMs);
    return (secondPrefix ? QStringLiteral("- ") : QStringLiteral("| ")) +
           QStringLiteral("%1 байт от %2: ТТЛ=%3 время%4 мс")
               .arg(r.bytes)
               .arg(r.address)
               .arg(r.ttl)
               .arg(time);
}

Watchdog::Watchdog(Echo &echo, WatchdogTimer &timer, WatchdogView &view, link::OutputTask &task,
                   std::function<void(const link::OutputTask &)> sendTask, Clock &clock)
    : m_echo(echo), m_timer(timer), m_view(view), m_task(task), m_sendTask(std::move(sendTask)),
      m_clock(clock)
{
    m_timer.setPhase(m_phase);
}

void Watchdog::manualPing()
{
    if (m_pingOut)
        return;
    startPing(true);
}

void Watchdog::timerTick()
{
    if (m_pingOut) {
        // Handled once the reply is in, unless the timer is restarted by then.
        m_tickDeferred = true;
        m_deferredTickGeneration = m_timerGeneration;
        return;
    }
    if (m_phase == Watching)
        startPing(false);
    else
        pulseEnd();
}

void Watchdog::watchingToggled(bool checked)
{
    if (m_pingOut) {
        m_deferredToggles.push_back(checked);
        return;
    }
    applyWatching(checked);
}

void Watchdog::close()
{
    stopTimer();
    m_tickDeferred = false;
    m_deferredToggles.clear();
    if (!m_outputOn)
        return;
    const WatchdogInputs in = m_view.inputs();
    setPhase(Watching);
    note(QStringLiteral("программа закрывается — импульс прерван, %1 выкл.")
             .arg(watchdogOutputName(in.output)));
    setOutput(in.output, false);
}

void Watchdog::startPing(bool manual)
{
    const WatchdogInputs in = m_view.inputs();
    if (manual)
        m_view.setManualPingEnabled(false);
    m_view.showReply(QString());
    m_pingOut = true;
    EchoRequest request;
    request.host = in.host;
    request.timeoutMs = in.pingTimeoutMs;
    m_echo.start(request, [this, manual](const EchoResult &r) { onEcho(r, manual); });
}

void Watchdog::onEcho(const EchoResult &r, bool manual)
{
    m_pingOut = false;
    if (r.facilityFailed()) {
        m_view.showFacilityError(r.failure);
        if (m_lastStatus != -2 || m_lastFailure != r.failure)
            note(QStringLiteral("ошибка эхо-запроса: %1").arg(r.failure));
        m_lastStatus = -2;
        m_lastFailure = r.failure;
    } else {
        m_view.showFacilityError(QString());
        replyHandler(r);
    }
    if (manual)
        m_view.setManualPingEnabled(true);
    else
        m_view.showStatusWord(QStringLiteral("End"));

    // What the operator did while the echo was out, then a tick that came meanwhile.
    const std::vector<bool> toggles = std::exchange(m_deferredToggles, {});
    for (bool checked : toggles)
        applyWatching(checked);
    if (std::exchange(m_tickDeferred, false) && m_deferredTickGeneration == m_timerGeneration &&
        m_timer.isActive() && !m_pingOut)
        timerTick();
}

void Watchdog::replyHandler(const EchoResult &r)
{
    m_view.showReply(echoReplyText(r, m_secondPrefix));
    m_secondPrefix = !m_secondPrefix;
    const WatchdogInputs in = m_view.inputs();
    const int status = static_cast<int>(r.status);
    const bool changed = status != m_lastStatus;
    m_lastStatus = status;
    switch (r.status) {
    case EchoStatus::Answered:
        m_view.showStatusWord(QStringLiteral("Echo"));
        if (changed)
            note(QStringLiteral("%1 отвечает (%2)").arg(in.host, r.address));
        return;
    case EchoStatus::Unreachable:
        m_view.showStatusWord(QStringLiteral("Addres"));
        if (changed)
            note(QStringLiteral("%1 недоступен (сообщение от %2)").arg(in.host, r.address));
        return;
    case EchoStatus::TtlExceeded:
        m_view.showStatusWord(QStringLiteral("TTL"));
        if (changed)
            note(
                QStringLiteral("TTL истёк на пути к %1 (сообщение от %2)").arg(in.host, r.address));
        return;
    case EchoStatus::Error:
    case EchoStatus::TimedOut:
        break;
    }
    m_view.showStatusWord(QStringLiteral("Timeout"));
    stopTimer();
    m_timer.setInterval(in.actuationMs);
    note(QStringLiteral("%1 не ответил за %2 мс — %3 вкл. на %4 мс")
             .arg(in.host)
             .arg(r.roundTripMs)
             .arg(watchdogOutputName(in.output))
             .arg(in.actuationMs));
    setOutput(in.output, true);
    setPhase(Actuating);
    startTimer();
}

void Watchdog::pulseEnd()
{
    const WatchdogInputs in = m_view.inputs();
    stopTimer();
    setPhase(Watching);
    note(QStringLiteral("конец импульса — %1 выкл.").arg(watchdogOutputName(in.output)));
    setOutput(in.output, false);
    m_timer.setInterval(in.pingIntervalMs);
    if (in.watching)
        startTimer();
}

void Watchdog::applyWatching(bool checked)
{
    const WatchdogInputs in = m_view.inputs();
    if (checked) {
        setPhase(Watching);
        startTimer();
        note(QStringLiteral("наблюдение за %1 включено, первый опрос через %2 мс")
                 .arg(in.host)
                 .arg(m_timer.interval()));
        return;
    }
    stopTimer();
    note(QStringLiteral("наблюдение выключено — %1 выкл.").arg(watchdogOutputName(in.output)));
    setOutput(in.output, false);
}

void Watchdog::setOutput(int index, bool on)
{
    // Text that selects no item changes no bit; the task goes out all the same.
    setWatchdogOutput(m_task, index, on);
    m_outputOn = on;
    if (m_sendTask)
        m_sendTask(m_task);
}

void Watchdog::setPhase(Phase p)
{
    m_phase = p;
    m_timer.setPhase(p);
}

void Watchdog::stopTimer()
{
    ++m_timerGeneration;
    m_timer.stop();
}

void Watchdog::startTimer()
{
    ++m_timerGeneration;
    m_timer.start();
}

void Watchdog::note(const QString &what)
{
    m_log.add(m_clock.now(), what);
    m_view.logChanged();
}

} // namespace vardex::service
