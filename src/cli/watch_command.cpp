#include "cli/watch_command.h"

#include "cli/invocation.h"
#include "cli/watch_loan.h"
#include "cli/watch_pair.h"
#include "cli/watch_pending.h"
#include "cli/watch_wait.h"
#include "link/data_module.h"
#include "service/watchdog_output.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTimer>

namespace vardex::cli {

namespace {

constexpr int kStopPollMs = 50;
// A switch-off owed at the stop gets this long to reach the controller.
constexpr int kStopBoundMs = 2000;

struct Limits {
    const char *name;
    int WatchOptions::*field;
    int min;
    int max;
};

// The page's own ranges.
const Limits kLimits[] = {
    {"--interval", &WatchOptions::intervalMs, 100, 10000},
    {"--timeout", &WatchOptions::timeoutMs, 100, 5000},
    {"--pulse", &WatchOptions::pulseMs, 100, 10000},
    {"--misses", &WatchOptions::misses, 1, 100},
    {"--hold-off", &WatchOptions::holdOffS, 0, 3600},
    {"--arm-after", &WatchOptions::armAfter, 0, 100},
    {"--max-pulses", &WatchOptions::maxPulses, 0, 100},
    {"--per", &WatchOptions::perMin, 1, 1440},
    {"--backoff", &WatchOptions::backoffMaxS, 0, 86400},
};

} // namespace

int watchOutputItem(const QString &name)
{
    return service::watchdogOutputOfWord(name);
}

bool isWatchOption(const QString &argument)
{
    const QString name = argument.section(QLatin1Char('='), 0, 0);
    if (name == QLatin1String("--output"))
        return true;
    for (const Limits &l : kLimits)
        if (name == QLatin1String(l.name))
            return true;
    return false;
}

std::optional<WatchOptions> parseWatchOptions(const QStringList &words, QString *error)
{
    WatchOptions o;
    bool outputGiven = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        QString name = words[i];
        QString value;
        if (name.startsWith(QLatin1String("--"))) {
            const qsizetype eq = name.indexOf(QLatin1Char('='));
            if (eq >= 0) {
                value = name.mid(eq + 1);
                name = name.left(eq);
            } else if (i + 1 < words.size()) {
                value = words[++i];
            } else {
                *error = QStringLiteral("watch: %1 без значения").arg(name);
                return std::nullopt;
            }
            if (name == QLatin1String("--output")) {
                if (outputGiven) {
                    *error = QStringLiteral("watch: у узла %1 два выхода: для второго "
                                            "назовите узел ещё раз")
                                 .arg(o.host);
                    return std::nullopt;
                }
                o.output = watchOutputItem(value);
                outputGiven = true;
                if (o.output < 0) {
                    *error = QStringLiteral("watch: выход «%1»: ожидается relay1..relay6, "
                                            "h1..h4 или l1..l4")
                                 .arg(value);
                    return std::nullopt;
                }
                continue;
            }
            const Limits *limits = nullptr;
            for (const Limits &l : kLimits)
                if (name == QLatin1String(l.name))
                    limits = &l;
            bool ok = false;
            const int number = value.toInt(&ok);
            if (!limits || !ok || number < limits->min || number > limits->max) {
                *error = limits ? QStringLiteral("watch: %1 %2: ожидается число %3..%4")
                                      .arg(name, value)
                                      .arg(limits->min)
                                      .arg(limits->max)
                                : QStringLiteral("watch: неизвестный параметр %1").arg(name);
                return std::nullopt;
            }
            o.*(limits->field) = number;
            continue;
        }
        if (o.host.isEmpty()) {
            o.host = name;
            continue;
        }
        if (o.moreHosts.size() + 1 >= service::kMaxWatchedHosts) {
            *error = QStringLiteral("watch: лишний аргумент «%1»: узлов не более %2")
                         .arg(name)
                         .arg(service::kMaxWatchedHosts);
            return std::nullopt;
        }
        o.moreHosts << name;
    }
    if (o.host.isEmpty()) {
        *error = QStringLiteral("watch: не указан узел");
        return std::nullopt;
    }
    if (o.backoffMaxS > 0 && o.holdOffS == 0) {
        // Twice nothing is nothing: a back-off without a pause would silently do nothing.
        *error = QStringLiteral("watch: --backoff удваивает паузу после срабатывания: "
                                "задайте и --hold-off");
        return std::nullopt;
    }
    if (!outputGiven) {
        // Never a default: the wrong output would power-cycle another machine.
        *error = QStringLiteral("watch: не указан выход (--output relay1 …)");
        return std::nullopt;
    }
    return o;
}

std::optional<std::vector<WatchOptions>> parseWatchPairs(const QStringList &words, QString *error)
{
    auto isOutput = [](const QString &word) {
        return word.section(QLatin1Char('='), 0, 0) == QLatin1String("--output");
    };
    qsizetype outputsLeft = 0;
    for (qsizetype i = 0; i < words.size(); ++i)
        if (isOutput(words[i])) {
            ++outputsLeft;
            i += words[i].contains(QLatin1Char('=')) ? 0 : 1;
        }
    std::vector<QStringList> groups(1);
    bool outputInGroup = false, hostInGroup = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        if (word.startsWith(QLatin1String("--"))) {
            groups.back() << word;
            if (isOutput(word)) {
                outputInGroup = true;
                --outputsLeft;
            }
            if (!word.contains(QLatin1Char('=')) && i + 1 < words.size())
                groups.back() << words[++i];
            continue;
        }
        // Without another --output to come, a host after the output is one more host
        // of the same pair (`watch gw --output relay1 router`).
        if (outputInGroup && hostInGroup && outputsLeft > 0) {
            groups.emplace_back();
            outputInGroup = false;
        }
        hostInGroup = true;
        groups.back() << word;
    }
    if (groups.size() > std::size_t(kMaxWatchPairs)) {
        *error = QStringLiteral("watch: пар «узел — выход» не более %1").arg(kMaxWatchPairs);
        return std::nullopt;
    }
    std::vector<WatchOptions> pairs;
    for (const QStringList &group : groups) {
        auto pair = parseWatchOptions(group, error);
        if (!pair) {
            if (groups.size() > 1)
                error->insert(error->indexOf(QLatin1Char(' ')) + 1,
                              QStringLiteral("пара %1: ").arg(pairs.size() + 1));
            return std::nullopt;
        }
        for (const WatchOptions &earlier : pairs)
            if (earlier.output == pair->output) {
                // Two watchdogs on one output would cut each other's pulses short.
                *error = QStringLiteral("watch: выход %1 назван дважды (узлы %2 и %3)")
                             .arg(watchOutputWord(pair->output), earlier.host, pair->host);
                return std::nullopt;
            }
        pairs.push_back(*pair);
    }
    return pairs;
}

namespace {

// One watch: the controller it started on and the pairs that watch on it. run() takes the
// steps in order; the controller, its loan and the stop are the watch's, everything about
// one host and output is its pair's.
class Watch final {
public:
    explicit Watch(WatchRun &run) : m_run(run), m_dm(run.dm), m_ctl(run.dm)
    {
        m_ctl.node = m_dm.currentDevice().id;
        m_ctl.away = [this] { return m_loan && m_loan->away(); };
    }
    ~Watch() { m_dm.setDeviceFilter(nullptr); }

    int run();

private:
    // ---- the steps, in order ----
    // Who the controller is; the pairs are made once its serial number is known, since
    // their records are named by it.
    void identify();
    void makePairs();
    // Switch-offs earlier runs owe go before anything else.
    void settleOwed();
    // Lending (cli/watch_loan.h): borrowers are heard while the watch runs.
    void offerLoans();
    // Runs the watchdogs until the stop signal or the controller goes away.
    void watchUntilStopOrGone();
    // Outputs the watchdogs hold on are switched off (or the log says they could not be).
    void closeWatchdogs();
    // A controller that went away with a switch-off owed may come back within seconds.
    void awaitReturn();
    void sayWhatIsLeft();

    // Back from a loan (back) or not back in time.
    void resumeAfterLoan(bool back);
    void gone();
    // Whether the link may take a device that arrives: not another controller while this
    // one is there.
    bool admits(const link::HidDeviceInfo &d);
    void figuresChanged() const;
    void note(const QString &what) const;
    bool stopped() const { return m_run.stop && m_run.stop->load(); }
    bool owes() const
    {
        return std::any_of(m_pairs.begin(), m_pairs.end(), [](const auto &p) { return p->owes(); });
    }

    WatchRun &m_run;
    link::DataModule &m_dm;
    WatchedController m_ctl;
    std::vector<std::shared_ptr<WatchPair>> m_pairs;
    QEventLoop m_loop;
    bool m_controllerGone = false;
    QSet<QString> m_ignored; // other controllers' nodes, logged once each
    std::unique_ptr<WatchLoan> m_loan;
};

int Watch::run()
{
    identify();
    makePairs();
    if (!m_controllerGone)
        settleOwed();
    offerLoans();
    watchUntilStopOrGone();
    closeWatchdogs();
    if (owes() && m_controllerGone)
        awaitReturn();
    sayWhatIsLeft();
    m_loan.reset();
    return m_controllerGone ? kExitNoController : kExitOk;
}

void Watch::note(const QString &what) const
{
    if (m_pairs.size() == 1) {
        m_pairs.front()->note(what);
        return;
    }
    const QString time = watchStamp(QDateTime::currentDateTime());
    if (m_run.lines) {
        m_run.lines({time, {}, {}, what, {}});
        return;
    }
    if (!m_run.json) {
        m_run.out(QStringLiteral("%1 — %2\n").arg(time, what));
        return;
    }
    const QJsonObject o{{QStringLiteral("time"), time}, {QStringLiteral("decision"), what}};
    m_run.out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) +
              QLatin1Char('\n'));
}

void Watch::identify()
{
    runSequence(m_dm,
                [this](link::OperationContext &ctx) { m_ctl.serial = readControllerSerial(ctx); });
    // The watch stays with this controller: another one arriving while it is there is
    // not taken (the link would otherwise hand it this controller's pulses). The filter
    // goes with the watch (its destructor).
    m_dm.setDeviceFilter([this, only = m_run.device](const link::HidDeviceInfo &d) {
        return (only.isEmpty() || d.id == only) && admits(d);
    });
}

void Watch::makePairs()
{
    for (const WatchOptions &options : m_run.pairs)
        m_pairs.push_back(std::make_shared<WatchPair>(m_run, options, m_ctl, m_run.pairs.size() > 1,
                                                      [this] { figuresChanged(); }));
}

void Watch::figuresChanged() const
{
    if (!m_run.figuresChanged)
        return;
    std::vector<fleet::WatchFigures> figures;
    for (const auto &pair : m_pairs)
        figures.push_back(pair->figures());
    m_run.figuresChanged(figures);
}

bool Watch::admits(const link::HidDeviceInfo &d)
{
    if (!m_dm.isConnected() || d.id == m_dm.currentDevice().id)
        return true;
    if (!m_ignored.contains(d.id)) {
        m_ignored.insert(d.id);
        note(QStringLiteral("подключён ещё один контроллер (%1): не взят, наблюдение остаётся "
                            "с контроллером %2")
                 .arg(d.id, controllerText(m_ctl.serial, m_ctl.node)));
    }
    return false;
}

void Watch::settleOwed()
{
    for (const auto &pair : m_pairs)
        pair->settleOwed(true);
}

void Watch::offerLoans()
{
    if (!m_run.lending)
        return;
    WatchLoan::Hooks hooks;
    hooks.pulseLeftMs = [this] {
        int left = 0;
        for (const auto &pair : m_pairs)
            left = std::max(left, pair->pulseLeftMs());
        return left;
    };
    hooks.note = [this](const QString &line) { note(line); };
    hooks.resumed = [this](bool back) { resumeAfterLoan(back); };
    hooks.awayChanged = m_run.loanChanged;
    hooks.holder = m_run.loanHolder;
    m_loan = std::make_unique<WatchLoan>(m_dm, *m_run.lending, std::move(hooks));
}

void Watch::resumeAfterLoan(bool back)
{
    if (!back) {
        for (const auto &pair : m_pairs)
            pair->dropHeld();
        gone();
        return;
    }
    for (const auto &pair : m_pairs)
        pair->resumeAfterLoan();
}

void Watch::gone()
{
    if (m_controllerGone)
        return;
    m_controllerGone = true;
    m_ctl.lost = true;
    note(QStringLiteral("контроллер отключен, наблюдение прекращено"));
    m_loop.quit();
}

void Watch::watchUntilStopOrGone()
{
    for (const auto &pair : m_pairs)
        pair->start();
    figuresChanged();
    const QMetaObject::Connection lost = QObject::connect(
        &m_dm, &link::DataModule::connectionChanged, &m_loop, [this](bool connected) {
            if (!connected && !m_ctl.away())
                gone();
        });
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &m_loop, [this] {
        if (stopped())
            m_loop.quit();
        else if (m_run.rearm && m_run.rearm->exchange(false))
            for (const auto &pair : m_pairs)
                pair->rearm();
    });
    stopPoll.start(kStopPollMs);
    if (!m_controllerGone && !stopped())
        m_loop.exec();
    QObject::disconnect(lost);
}

void Watch::closeWatchdogs()
{
    for (const auto &pair : m_pairs)
        pair->close();
    spinUntil([this] { return !m_dm.isBusy(); }, kStopBoundMs);
}

void Watch::awaitReturn()
{
    // A controller that drops off the bus for a moment (a USB reset) is back within
    // seconds; the switch-off then goes out now, not after a restart of the watch.
    const bool back =
        spinUntil([this] { return m_dm.isConnected() || stopped(); }, m_run.returnGraceMs);
    if (!back || !m_dm.isConnected())
        return;
    m_ctl.node = m_dm.currentDevice().id;
    m_ctl.serial.clear();
    runSequence(m_dm,
                [this](link::OperationContext &ctx) { m_ctl.serial = readControllerSerial(ctx); });
    for (const auto &pair : m_pairs)
        pair->settleOwed(false);
}

void Watch::sayWhatIsLeft()
{
    for (const auto &pair : m_pairs)
        pair->sayWhatIsLeft(m_controllerGone);
}

} // namespace

int runWatch(WatchRun &run)
{
    if (!run.makeEcho) {
        run.err(QStringLiteral("vardex-cli: эхо-запрос ICMP недоступен\n"));
        return kExitNoController;
    }
    if (run.pairs.empty()) {
        run.err(QStringLiteral("vardex-cli: watch: не указан узел\n"));
        return kExitUsage;
    }
    int code = kExitOk;
    {
        Watch watch(run);
        code = watch.run();
    }
    // Any controller may be taken again (a later command in the same process).
    const QString only = run.device;
    run.dm.setDeviceFilter(
        [only](const link::HidDeviceInfo &d) { return only.isEmpty() || d.id == only; });
    return code;
}

} // namespace vardex::cli
