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

Watchdog::Watchdog(Echo &echo, WatchdogTimer &timer, WatchdogView &view, TaskSender sendTask,
                   Clock &clock)
    : m_echo(echo), m_timer(timer), m_view(view), m_sendTask(std::move(sendTask)), m_clock(clock),
      m_policy(clock)
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
    if (m_phase == Watching && m_offOwed && m_offOwedUnread) {
        // The switch-off could not read the outputs last time: it goes before the ping.
        controllerConnected();
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
    const bool unread = std::exchange(m_offOwedUnread, false);
    setOutput(index, false, [this, index, unread](const TaskDelivery &d) {
        if (d.sent) {
            note(unread ? QStringLiteral("выходы прочитаны — %1 выкл. отправлено")
                              .arg(watchdogOutputName(index))
                        : QStringLiteral("контроллер снова подключен — %1 выкл. отправлено")
                              .arg(watchdogOutputName(index)));
        } else {
            m_offOwed = true;
            m_offOwedUnread = d.notRead;
            m_owedOutput = index;
        }
    });
}

int Watchdog::heldOutput() const
{
    if (m_outputOn)
        return m_pulseOutput;
    return m_offOwed ? m_owedOutput : -1;
}

void Watchdog::dropPulse()
{
    if (m_pulse == Pulse::None)
        return;
    ++m_pulseGeneration;
    m_pulse = Pulse::None;
    const WatchdogInputs in = m_view.inputs();
    stopTimer();
    setPhase(Watching);
    m_timer.setInterval(in.pingIntervalMs);
    if (in.watching)
        startTimer();
}

void Watchdog::controllerGone()
{
    const int index = heldOutput();
    if (index < 0)
        return;
    dropPulse();
    m_outputOn = false;
    m_offOwed = true;
    m_owedOutput = index;
    note(QStringLiteral("контроллер отключен — %1 выкл. НЕ отправлено: будет отправлено, когда "
                        "этот контроллер подключится")
             .arg(watchdogOutputName(index)));
}

void Watchdog::controllerReplaced(bool released)
{
    const int index = heldOutput();
    dropPulse(); // watching goes on with the newer controller, from the next ping
    m_outputOn = false;
    m_offOwed = false;
    m_owedOutput = -1;
    if (index < 0)
        return;
    const QString name = watchdogOutputName(index);
    note(released ? QStringLiteral("контроллер заменён другим — %1 выкл. на прежнем контроллере "
                                   "(прочитано обратно)")
                        .arg(name)
                  : QStringLiteral("контроллер заменён другим — %1 прежнего контроллера может "
                                   "оставаться включённым: выключение не подтверждено")
                        .arg(name));
}

void Watchdog::close()
{
    m_closed = true;
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

QStringList watchedHosts(const WatchdogInputs &in)
{
    QStringList hosts;
    for (const QString &h : QStringList{in.host} + in.moreHosts) {
        const QString t = h.trimmed();
        if (!t.isEmpty() && !hosts.contains(t) && hosts.size() < kMaxWatchedHosts)
            hosts << t;
    }
    return hosts;
}

WatchPolicySettings policySettings(const WatchdogInputs &in)
{
    WatchPolicySettings s;
    s.missesInRow = in.missesInRow;
    s.holdOffS = in.holdOffS;
    s.armAfter = in.armAfter;
    s.maxPulses = in.maxPulses;
    s.perMin = in.perMin;
    s.backoffMaxS = in.backoffMaxS;
    return s;
}

void Watchdog::startPing(bool manual)
{
    if (m_closed)
        return;
    const WatchdogInputs in = m_view.inputs();
    if (manual)
        m_view.setManualPingEnabled(false);
    m_roundHosts = watchedHosts(in);
    if (m_roundHosts.isEmpty())
        m_roundHosts << in.host; // the echo says what is wrong with it
    m_roundNext = 0;
    m_roundManual = manual;
    m_round = WatchRound{};
    m_roundMissMs = 0;
    m_roundFailure.clear();
    m_pingOut = true;
    pingNext();
}

void Watchdog::pingNext()
{
    const WatchdogInputs in = m_view.inputs();
    m_view.showReply(QString());
    EchoRequest request;
    request.host = m_roundHosts[m_roundNext];
    request.timeoutMs = in.pingTimeoutMs;
    m_echo.start(request, [this](const EchoResult &r) { onEcho(r); });
}

void Watchdog::onEcho(const EchoResult &r)
{
    if (m_closed) {
        // An echo that comes back after the close decides nothing: a pulse started now
        // would have nobody left to end it.
        m_pingOut = false;
        return;
    }
    const QString host = m_roundHosts.value(m_roundNext);
    if (r.facilityFailed()) {
        // No echo went out: nothing is known of the host, so nothing is switched and the
        // misses in a row neither grow nor start again.
        if (m_lastStatus.value(host, -1) != -2 || m_lastFailure.value(host) != r.failure)
            note(QStringLiteral("ошибка эхо-запроса, ничего не переключено: %1").arg(r.failure));
        m_lastStatus[host] = -2;
        m_lastFailure[host] = r.failure;
        m_round.other << host;
        if (m_roundFailure.isEmpty())
            m_roundFailure = r.failure;
    } else {
        replyHandler(host, r);
    }
    if (++m_roundNext < m_roundHosts.size()) {
        pingNext(); // the round goes on: still one ping out at a time
        return;
    }
    m_pingOut = false;
    m_view.showFacilityError(m_roundFailure);
    roundDone();
    if (m_roundManual)
        m_view.setManualPingEnabled(true);
    else
        m_view.showStatusWord(QStringLiteral("End"));
    m_view.policyChanged();

    // What the operator did while the echo was out, then a tick that came meanwhile.
    const std::vector<bool> toggles = std::exchange(m_deferredToggles, {});
    for (bool checked : toggles)
        applyWatching(checked);
    if (std::exchange(m_tickDeferred, false) && m_deferredTickGeneration == m_timerGeneration &&
        m_timer.isActive() && !m_pingOut)
        timerTick();
}

void Watchdog::replyHandler(const QString &host, const EchoResult &r)
{
    m_view.showReply(echoReplyText(r, m_secondPrefix));
    m_secondPrefix = !m_secondPrefix;
    const int status = static_cast<int>(r.status);
    const bool changed = status != m_lastStatus.value(host, -1);
    m_lastStatus[host] = status;
    switch (r.status) {
    case EchoStatus::Answered:
        m_view.showStatusWord(QStringLiteral("Echo"));
        m_round.answered << host;
        if (changed)
            note(QStringLiteral("%1 отвечает (%2)").arg(host, r.address));
        return;
    case EchoStatus::Unreachable:
        m_view.showStatusWord(QStringLiteral("Addres"));
        m_round.other << host;
        if (changed)
            note(QStringLiteral("%1 недоступен (сообщение от %2)").arg(host, r.address));
        return;
    case EchoStatus::TtlExceeded:
        m_view.showStatusWord(QStringLiteral("TTL"));
        m_round.other << host;
        if (changed)
            note(QStringLiteral("TTL истёк на пути к %1 (сообщение от %2)").arg(host, r.address));
        return;
    case EchoStatus::Error:
    case EchoStatus::TimedOut:
        break;
    }
    m_view.showStatusWord(QStringLiteral("Timeout"));
    m_round.missed << host;
    m_roundMissMs = r.roundTripMs;
}

void Watchdog::roundDone()
{
    const WatchdogInputs in = m_view.inputs();
    m_policy.setSettings(policySettings(in));
    const bool allMissed =
        m_round.answered.isEmpty() && m_round.other.isEmpty() && !m_round.missed.isEmpty();
    const QString who =
        m_round.missed.size() == 1
            ? QStringLiteral("%1 не ответил за %2 мс")
                  .arg(m_round.missed.front())
                  .arg(m_roundMissMs)
            : QStringLiteral("%1 не ответили").arg(m_round.missed.join(QStringLiteral(", ")));
    if (allMissed && m_pulse != Pulse::None) {
        // The outage this miss belongs to already has its pulse: one pulse per outage.
        note(QStringLiteral("%1 — импульс уже назначен, второго не будет").arg(who));
        return;
    }
    const WatchDecision d = m_policy.round(m_round);
    if (d.pulse) {
        pulse(in, QStringLiteral("%1 — %2").arg(who, d.text));
        return;
    }
    if (!d.text.isEmpty())
        note(allMissed ? QStringLiteral("%1 — %2").arg(who, d.text) : d.text, d.rule);
}

void Watchdog::pulse(const WatchdogInputs &in, const QString &why)
{
    stopTimer();
    m_timer.setInterval(in.actuationMs);
    note(QStringLiteral("%1: %2 вкл. на %3 мс")
             .arg(why, watchdogOutputName(in.output))
             .arg(in.actuationMs),
         m_round.missed.size() > 1 ? WatchRule::AllHosts : WatchRule::Misses);
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
        m_outputOn = false;
        m_pulse = Pulse::None;
        m_policy.pulseNotGiven();
        note(d.notRead ? QStringLiteral("%1 вкл. не отправлено: выходы контроллера не прочитаны "
                                        "— импульса не было")
                             .arg(watchdogOutputName(m_pulseOutput))
                       : QStringLiteral("%1 вкл. не отправлено: контроллер не подключен — "
                                        "импульса не было")
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
    m_policy.setSettings(policySettings(in));
    m_policy.pulseEnded();
    m_view.policyChanged();
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
    // A watch that starts (or stops) starts its counts from nothing.
    m_policy.setSettings(policySettings(in));
    m_policy.start();
    m_view.policyChanged();
    if (checked) {
        setPhase(Watching);
        startTimer();
        const QStringList hosts = watchedHosts(in);
        QString rules;
        if (in.armAfter > 0)
            rules += QStringLiteral(", ответов до включения: %1").arg(in.armAfter);
        if (in.maxPulses > 0)
            rules += QStringLiteral(", не более %1 за %2 мин")
                         .arg(russianCount(in.maxPulses, "импульса", "импульсов", "импульсов"))
                         .arg(std::max(1, in.perMin));
        if (in.backoffMaxS > 0 && in.holdOffS > 0)
            rules += QStringLiteral(", пауза удваивается до %1 с").arg(in.backoffMaxS);
        note(QStringLiteral("наблюдение за %1 включено, первый опрос через %2 мс; пропусков "
                            "подряд до срабатывания: %3, пауза после срабатывания: %4 с%5")
                 .arg(hosts.size() > 1 ? hosts.join(QStringLiteral(", ")) : in.host)
                 .arg(m_timer.interval())
                 .arg(std::max(1, in.missesInRow))
                 .arg(std::max(0, in.holdOffS))
                 .arg(rules));
        return;
    }
    stopTimer();
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
            m_offOwedUnread = d.notRead;
            m_owedOutput = index;
            note(d.notRead ? QStringLiteral("%1 — %2 выкл. НЕ отправлено: выходы контроллера не "
                                            "прочитаны; будет повторено при следующем опросе")
                                 .arg(why, name)
                           : QStringLiteral("%1 — %2 выкл. НЕ отправлено: контроллер не "
                                            "подключен; будет отправлено, когда он подключится")
                                 .arg(why, name));
            return;
        }
        m_offOwed = false;
        m_offOwedUnread = false;
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
    m_outputOn = on;
    if (m_sendTask)
        m_sendTask(index, on, [then = std::move(then)](const TaskDelivery &d) {
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

void Watchdog::rearm()
{
    m_policy.setSettings(policySettings(m_view.inputs()));
    const WatchDecision d = m_policy.rearm();
    note(d.text, d.rule);
    m_view.policyChanged();
}

void Watchdog::note(const QString &what, WatchRule rule)
{
    m_log.add(m_clock.now(), what, watchRuleName(rule));
    m_view.logChanged();
}

} // namespace vardex::service
