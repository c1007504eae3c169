#include "service/watchdog.h"

#include "service/watchdog_output.h"

#include <algorithm>

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
                   TaskSender sendTask, Clock &clock)
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

void Watchdog::controllerConnected()
{
    if (!m_offOwed)
        return;
    m_offOwed = false;
    const int index = m_owedOutput;
    setOutput(index, false, [this, index](const TaskDelivery &d) {
        if (d.sent) {
            note(QStringLiteral("контроллер снова подключен — %1 выкл. отправлено")
                     .arg(watchdogOutputName(index)));
        } else {
            m_offOwed = true;
            m_owedOutput = index;
        }
    });
}

void Watchdog::close()
{
    stopTimer();
    m_tickDeferred = false;
    m_deferredToggles.clear();
    if (!m_outputOn && !m_offOwed)
        return;
    const WatchdogInputs in = m_view.inputs();
    setPhase(Watching);
    ++m_pulseGeneration;
    m_pulse = Pulse::None;
    switchOff(m_offOwed && !m_outputOn ? m_owedOutput : in.output,
              QStringLiteral("программа закрывается — импульс прерван"));
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
        // No echo went out: nothing is known of the host, so nothing is switched and the
        // misses in a row neither grow nor start again.
        m_view.showFacilityError(r.failure);
        if (m_lastStatus != -2 || m_lastFailure != r.failure)
            note(QStringLiteral("ошибка эхо-запроса, ничего не переключено: %1").arg(r.failure));
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
        m_misses = 0;
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
    missed(in, r);
}

void Watchdog::missed(const WatchdogInputs &in, const EchoResult &r)
{
    if (m_pulse != Pulse::None) {
        // The outage this miss belongs to already has its pulse: one pulse per outage.
        note(QStringLiteral("%1 не ответил — импульс уже назначен, второго не будет").arg(in.host));
        return;
    }
    const qint64 now = m_clock.monotonicMs();
    if (m_holdOffUntilMs >= 0 && now < m_holdOffUntilMs) {
        note(QStringLiteral("%1 не ответил — не учтено: пауза после срабатывания ещё %2 с")
                 .arg(in.host)
                 .arg((m_holdOffUntilMs - now + 999) / 1000));
        return;
    }
    const int needed = std::max(1, in.missesInRow);
    if (++m_misses < needed) {
        note(QStringLiteral("%1 не ответил за %2 мс — пропуск %3 из %4 подряд")
                 .arg(in.host)
                 .arg(r.roundTripMs)
                 .arg(m_misses)
                 .arg(needed));
        return;
    }
    m_misses = 0;
    stopTimer();
    m_timer.setInterval(in.actuationMs);
    note(QStringLiteral("%1 не ответил за %2 мс — %3 вкл. на %4 мс")
             .arg(in.host)
             .arg(r.roundTripMs)
             .arg(watchdogOutputName(in.output))
             .arg(in.actuationMs));
    m_pulse = Pulse::Starting;
    m_pulseOutput = in.output;
    const int generation = ++m_pulseGeneration;
    setPhase(Actuating);
    // The pulse is timed from the write, so that it keeps its length at the controller.
    setOutput(in.output, true,
              [this, generation](const TaskDelivery &d) { switchedOn(d, generation); });
}

void Watchdog::switchedOn(const TaskDelivery &d, int generation)
{
    if (generation != m_pulseGeneration || m_pulse != Pulse::Starting)
        return; // given up meanwhile (unchecked, checked again, closing)
    const WatchdogInputs in = m_view.inputs();
    if (!d.sent) {
        // Nothing reached the controller: the bit goes back, or the next task written
        // (a manual output, the next pulse's end) would switch it on unasked.
        setWatchdogOutput(m_task, m_pulseOutput, false);
        m_outputOn = false;
        m_pulse = Pulse::None;
        note(QStringLiteral("%1 вкл. не отправлено: контроллер не подключен — импульса не было")
                 .arg(watchdogOutputName(m_pulseOutput)));
        setPhase(Watching);
        m_timer.setInterval(in.pingIntervalMs);
        if (in.watching)
            startTimer();
        return;
    }
    if (d.delayMs > 0)
        note(QStringLiteral("импульс задержан на %1 мс: канал связи был занят").arg(d.delayMs));
    m_pulse = Pulse::On;
    startTimer();
}

void Watchdog::pulseEnd()
{
    const WatchdogInputs in = m_view.inputs();
    stopTimer();
    setPhase(Watching);
    ++m_pulseGeneration;
    m_pulse = Pulse::Ending;
    m_holdOffUntilMs = in.holdOffS > 0 ? m_clock.monotonicMs() + qint64{in.holdOffS} * 1000 : -1;
    m_timer.setInterval(in.pingIntervalMs);
    if (in.watching)
        startTimer();
    switchOff(in.output, QStringLiteral("конец импульса"));
}

void Watchdog::applyWatching(bool checked)
{
    const WatchdogInputs in = m_view.inputs();
    // A pulse under way is given up either way: checking turns its end into a ping (the
    // output stays on until a later pulse ends or watching goes off), unchecking ends it.
    if (m_pulse == Pulse::Starting || m_pulse == Pulse::On) {
        ++m_pulseGeneration;
        m_pulse = Pulse::None;
    }
    if (checked) {
        setPhase(Watching);
        startTimer();
        note(QStringLiteral("наблюдение за %1 включено, первый опрос через %2 мс; пропусков "
                            "подряд до срабатывания: %3, пауза после срабатывания: %4 с")
                 .arg(in.host)
                 .arg(m_timer.interval())
                 .arg(std::max(1, in.missesInRow))
                 .arg(std::max(0, in.holdOffS)));
        return;
    }
    stopTimer();
    m_misses = 0;
    switchOff(in.output, QStringLiteral("наблюдение выключено"));
}

void Watchdog::switchOff(int index, const QString &why)
{
    setOutput(index, false, [this, index, why](const TaskDelivery &d) {
        if (m_pulse == Pulse::Ending)
            m_pulse = Pulse::None;
        const QString name = watchdogOutputName(index);
        if (!d.sent) {
            m_offOwed = true;
            m_owedOutput = index;
            note(QStringLiteral("%1 — %2 выкл. НЕ отправлено: контроллер не подключен; "
                                "будет отправлено, когда он подключится")
                     .arg(why, name));
            return;
        }
        m_offOwed = false;
        if (d.delayMs > 0)
            note(QStringLiteral("%1 — %2 выкл. (задержано на %3 мс: канал связи был занят)")
                     .arg(why, name)
                     .arg(d.delayMs));
        else
            note(QStringLiteral("%1 — %2 выкл.").arg(why, name));
    });
}

void Watchdog::setOutput(int index, bool on, std::function<void(const TaskDelivery &)> then)
{
    // Text that selects no item changes no bit; the task goes out all the same.
    setWatchdogOutput(m_task, index, on);
    m_outputOn = on;
    if (m_sendTask)
        m_sendTask(m_task, [then = std::move(then)](const TaskDelivery &d) {
            if (then)
                then(d);
        });
    else if (then)
        then(TaskDelivery{false, 0});
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
