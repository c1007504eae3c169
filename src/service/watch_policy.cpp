#include "service/watch_policy.h"

#include <algorithm>

namespace vardex::service {

QString russianCount(int n, const char *one, const char *few, const char *many)
{
    const int tens = n % 100;
    const int units = n % 10;
    const char *word = many;
    if (tens < 11 || tens > 14) {
        if (units == 1)
            word = one;
        else if (units >= 2 && units <= 4)
            word = few;
    }
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(word));
}

namespace {

QString times(int n)
{
    return russianCount(n, "раз", "раза", "раз");
}

QString pulses(int n)
{
    return russianCount(n, "импульс", "импульса", "импульсов");
}

} // namespace

QString watchRuleName(WatchRule rule)
{
    switch (rule) {
    case WatchRule::None:
        return {};
    case WatchRule::Misses:
        return QStringLiteral("misses");
    case WatchRule::AllHosts:
        return QStringLiteral("all-hosts");
    case WatchRule::HoldOff:
        return QStringLiteral("hold-off");
    case WatchRule::Arming:
        return QStringLiteral("arming");
    case WatchRule::Cap:
        return QStringLiteral("cap");
    case WatchRule::StoodDown:
        return QStringLiteral("stood-down");
    case WatchRule::Rearm:
        return QStringLiteral("rearm");
    }
    return {};
}

void WatchPolicy::start()
{
    m_answers = 0;
    m_misses = 0;
    m_outagePulses = 0;
    m_stoodDown = false;
    m_answersSinceStandDown = 0;
    m_quietKey.clear();
    m_allHostsKey.clear();
}

WatchDecision WatchPolicy::round(const WatchRound &r)
{
    if (!r.answered.isEmpty())
        return answeredRound(r);
    if (!r.missed.isEmpty() && r.other.isEmpty())
        return missedRound(r);
    // Unreachable, TTL exceeded or no echo at all: nothing is known either way, so the
    // misses in a row neither grow nor start again.
    return {};
}

WatchDecision WatchPolicy::answeredRound(const WatchRound &r)
{
    m_misses = 0;
    m_outagePulses = 0; // the back-off starts from the plain hold-off again
    m_quietKey.clear();
    ++m_answers;
    WatchDecision d;
    QStringList said;
    if (m_stoodDown) {
        ++m_answersSinceStandDown;
        if (m_answersSinceStandDown >= std::max(1, armAfter())) {
            m_stoodDown = false;
            d.rule = WatchRule::Rearm;
            said << QStringLiteral("включён снова: узел ответил %1")
                        .arg(times(m_answersSinceStandDown));
        }
    } else if (armAfter() > 0 && m_answers == armAfter()) {
        d.rule = WatchRule::Arming;
        said << QStringLiteral("включён: узел ответил %1").arg(times(m_answers));
    }
    // A host that drops echoes while another answers: worth a line when it starts, not
    // every round.
    const QString key = r.missed.join(QLatin1Char(','));
    if (!r.missed.isEmpty() && key != m_allHostsKey) {
        if (d.rule == WatchRule::None)
            d.rule = WatchRule::AllHosts;
        said << QStringLiteral("молчит %1, отвечает %2 — не все узлы молчат, импульса не будет")
                    .arg(r.missed.join(QStringLiteral(", ")),
                         r.answered.join(QStringLiteral(", ")));
    }
    m_allHostsKey = key;
    d.text = said.join(QStringLiteral("; "));
    return d;
}

WatchDecision WatchPolicy::quiet(WatchRule rule, const QString &key, const QString &text)
{
    WatchDecision d;
    d.rule = rule;
    if (key != m_quietKey)
        d.text = text;
    m_quietKey = key;
    return d;
}

WatchDecision WatchPolicy::missedRound(const WatchRound &r)
{
    m_allHostsKey.clear();
    const qint64 now = m_clock.monotonicMs();
    if (m_stoodDown)
        return quiet(WatchRule::StoodDown, QStringLiteral("stood-down"),
                     QStringLiteral("не учтено: сторож остановлен, включится снова, когда "
                                    "узел ответит %1")
                         .arg(times(std::max(1, armAfter()))));
    if (m_answers < armAfter()) {
        const QString since = m_totalPulses > 0 ? QStringLiteral(" после импульса") : QString();
        return quiet(WatchRule::Arming, QStringLiteral("arming"),
                     m_answers == 0 ? QStringLiteral("не включён: узел ещё не отвечал%1").arg(since)
                                    : QStringLiteral("не включён: узел ответил %1 из %2%3")
                                          .arg(m_answers)
                                          .arg(armAfter())
                                          .arg(since));
    }
    if (m_holdOffUntilMs >= 0 && now < m_holdOffUntilMs)
        return quiet(
            WatchRule::HoldOff, QStringLiteral("hold-off %1").arg(m_holdOffUntilMs),
            QStringLiteral("не учтено: пауза ещё %1 с").arg((m_holdOffUntilMs - now + 999) / 1000));
    m_quietKey.clear();
    const bool several = r.missed.size() > 1;
    WatchDecision d;
    d.rule = several ? WatchRule::AllHosts : WatchRule::Misses;
    const QString count = QStringLiteral("пропуск %1 из %2 подряд");
    if (++m_misses < needed()) {
        d.rule = WatchRule::Misses;
        d.text = count.arg(m_misses).arg(needed());
        return d;
    }
    m_misses = 0;
    dropOldPulses(now);
    const int cap = std::max(0, m_settings.maxPulses);
    if (cap > 0 && static_cast<int>(m_pulses.size()) >= cap) {
        m_stoodDown = true;
        m_answersSinceStandDown = 0;
        m_quietKey = QStringLiteral("stood-down");
        d.rule = WatchRule::Cap;
        d.text = QStringLiteral("остановлен: %1 за %2 мин — импульсов больше не будет, пока "
                                "узел не ответит %3 или сторож не включат снова")
                     .arg(pulses(cap))
                     .arg(std::max(1, m_settings.perMin))
                     .arg(times(std::max(1, armAfter())));
        return d;
    }
    m_pulses.push_back(now);
    ++m_totalPulses;
    ++m_outagePulses;
    m_answersBeforePulse = m_answers;
    m_answers = 0; // armed again only by answers after this pulse
    d.pulse = true;
    d.text = (several ? QStringLiteral("все узлы молчат, ") : QString()) +
             count.arg(needed()).arg(needed());
    return d;
}

void WatchPolicy::pulseNotGiven()
{
    if (m_pulses.empty())
        return;
    m_pulses.pop_back();
    --m_totalPulses;
    --m_outagePulses;
    m_answers = m_answersBeforePulse;
}

void WatchPolicy::pulseEnded()
{
    const int holdS = holdOffAfterPulse(m_outagePulses);
    m_holdOffUntilMs = holdS > 0 ? m_clock.monotonicMs() + qint64{holdS} * 1000 : -1;
}

WatchDecision WatchPolicy::rearm()
{
    m_stoodDown = false;
    m_answersSinceStandDown = 0;
    m_pulses.clear();
    m_outagePulses = 0;
    m_misses = 0;
    m_answers = std::max(m_answers, armAfter());
    m_quietKey.clear();
    WatchDecision d;
    d.rule = WatchRule::Rearm;
    d.text = QStringLiteral("включён снова вручную: счёт импульсов сброшен");
    return d;
}

int WatchPolicy::holdOffAfterPulse(int pulseNumber) const
{
    const int base = std::max(0, m_settings.holdOffS);
    if (m_settings.backoffMaxS <= 0 || base == 0)
        return base;
    const qint64 ceiling = std::max(base, m_settings.backoffMaxS);
    qint64 hold = base;
    for (int i = 1; i < pulseNumber && hold < ceiling; ++i)
        hold = std::min(hold * 2, ceiling);
    return static_cast<int>(hold);
}

void WatchPolicy::dropOldPulses(qint64 now)
{
    const qint64 window = qint64{std::max(1, m_settings.perMin)} * 60 * 1000;
    while (!m_pulses.empty() && now - m_pulses.front() >= window)
        m_pulses.pop_front();
}

WatchPolicyState WatchPolicy::state() const
{
    const qint64 now = m_clock.monotonicMs();
    WatchPolicyState s;
    s.answers = m_answers;
    s.armAfter = armAfter();
    s.armed = m_answers >= s.armAfter;
    s.misses = m_misses;
    s.missesInRow = needed();
    s.holdOffLeftMs = m_holdOffUntilMs >= 0 ? std::max<qint64>(0, m_holdOffUntilMs - now) : 0;
    s.holdOffS = holdOffAfterPulse(m_outagePulses + 1);
    s.outagePulses = m_outagePulses;
    const qint64 window = qint64{std::max(1, m_settings.perMin)} * 60 * 1000;
    s.pulsesInWindow = static_cast<int>(std::count_if(m_pulses.begin(), m_pulses.end(),
                                                      [&](qint64 t) { return now - t < window; }));
    s.maxPulses = std::max(0, m_settings.maxPulses);
    s.perMin = std::max(1, m_settings.perMin);
    s.stoodDown = m_stoodDown;
    s.answersSinceStandDown = m_answersSinceStandDown;
    s.totalPulses = m_totalPulses;
    return s;
}

QString WatchPolicy::stateText() const
{
    const WatchPolicyState s = state();
    QString text;
    if (s.stoodDown)
        text = QStringLiteral("Остановлен: %1 за %2 мин; ответов до включения: %3 из %4")
                   .arg(pulses(s.maxPulses))
                   .arg(s.perMin)
                   .arg(s.answersSinceStandDown)
                   .arg(std::max(1, s.armAfter));
    else if (!s.armed)
        text = s.answers == 0 ? QStringLiteral("Не включён: узел ещё не отвечал")
                              : QStringLiteral("Не включён: узел ответил %1 из %2")
                                    .arg(s.answers)
                                    .arg(s.armAfter);
    else if (s.holdOffLeftMs > 0)
        text = QStringLiteral("Пауза после срабатывания: ещё %1 с")
                   .arg((s.holdOffLeftMs + 999) / 1000);
    else if (s.misses > 0)
        text = QStringLiteral("Пропуск %1 из %2 подряд").arg(s.misses).arg(s.missesInRow);
    else
        text = QStringLiteral("Включён");
    if (!s.stoodDown && s.maxPulses > 0)
        text += QStringLiteral("; импульсов за %1 мин: %2 из %3")
                    .arg(s.perMin)
                    .arg(s.pulsesInWindow)
                    .arg(s.maxPulses);
    if (s.outagePulses > 0 && m_settings.backoffMaxS > 0 && s.holdOffS > 0)
        text += QStringLiteral("; следующая пауза %1 с").arg(s.holdOffS);
    return text;
}

} // namespace vardex::service
