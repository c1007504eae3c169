#include "cli/runner.h"

#include "cli/commands.h"
#include "cli/exchange_watch.h"
#include "cli/invocation.h"
#include "cli/report.h"
#include "cli/watch_command.h"
#include "cli/watch_wait.h"
#include "link/data_module.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QTimer>

namespace vardex::cli {

namespace {

constexpr int kEnumerateMs = 300;
// How often a watch asks again for a controller another program holds.
constexpr int kHeldRetryMs = 1000;

void print(const Environment &env, const Invocation &inv, const Report &report)
{
    env.out(inv.json ? renderJson(report) : renderText(report));
}

QString noAccessText(const Environment &env, const QString &node, const QString &why)
{
    QString text = QStringLiteral("vardex-cli: нет доступа к контроллеру %1: %2\n").arg(node, why);
    if (env.accessAdvice)
        text += env.accessAdvice(node);
    return text;
}

// How the holder record names this program: "vardex-cli state", "vardex-cli watch".
QString programWords(Command command)
{
    static const QHash<Command, const char *> words = {{Command::List, "list"},
                                                       {Command::Describe, "describe"},
                                                       {Command::State, "state"},
                                                       {Command::ClockGet, "clock get"},
                                                       {Command::ClockSync, "clock sync"},
                                                       {Command::OutputsSet, "outputs set"},
                                                       {Command::ConfigRead, "config read"},
                                                       {Command::ConfigWrite, "config write"},
                                                       {Command::ConfigDiff, "config diff"},
                                                       {Command::LoopsRead, "loops read"},
                                                       {Command::LoopsWrite, "loops write"},
                                                       {Command::LoopsDiff, "loops diff"},
                                                       {Command::LogRead, "log read"},
                                                       {Command::Blackbox, "blackbox"},
                                                       {Command::Watch, "watch"},
                                                       {Command::Serve, "serve"}};
    return QStringLiteral("vardex-cli %1").arg(QLatin1String(words.value(command, "")));
}

int listControllers(link::Transport &transport, const Environment &env, const Invocation &inv)
{
    transport.start();
    spinUntil([] { return false; }, kEnumerateMs);
    Report report;
    QJsonArray controllers;
    int found = 0;
    for (const link::HidDeviceInfo &d : transport.devices()) {
        if (d.product != link::kControllerProduct)
            continue;
        if (!inv.device.isEmpty() && d.id != inv.device)
            continue;
        ++found;
        QString error;
        // A held controller is named with its holder; listing does not borrow it.
        const link::OwnerGate *gate = transport.ownerGate();
        const auto holder = gate ? gate->holder(d.ownerKey) : std::nullopt;
        if (holder)
            error = link::heldText(holder);
        const bool openable = !holder && transport.open(d.id, &error);
        if (openable)
            transport.close(d.id);
        controllers.append(QJsonObject{{QStringLiteral("node"), d.id},
                                       {QStringLiteral("product"), d.product},
                                       {QStringLiteral("openable"), openable},
                                       {QStringLiteral("error"), error}});
        report.addRow(d.id, openable
                                ? QStringLiteral("%1, открывается").arg(d.product)
                                : QStringLiteral("%1, не открывается: %2").arg(d.product, error));
    }
    report.json.insert(QStringLiteral("controllers"), controllers);
    if (found == 0)
        report.addRow(QStringLiteral("—"), QStringLiteral("контроллеров нет"));
    print(env, inv, report);
    return found ? kExitOk : kExitNoController;
}

// A watch started while a program that does not lend holds its controller (the
// engineer's window, a one-off command) waits for it instead of exiting: restarted every few
// seconds by its unit, it would fill the journal with the same refusal, and it takes over within a
// second of the release. Said once. false: stopped by a signal first.
bool awaitRelease(const Environment &env, link::Transport &transport, link::DataModule &dm,
                  const QString &node, const QString &heldText)
{
    env.err(
        QStringLiteral("vardex-cli: %1; наблюдение начнётся, когда его отпустят\n").arg(heldText));
    QTimer retry;
    QObject::connect(&retry, &QTimer::timeout, &dm, [&] {
        if (!dm.isConnected())
            transport.announce(node);
    });
    retry.start(kHeldRetryMs);
    const auto stopped = [&env] { return env.interrupted && env.interrupted->load(); };
    // Months, if need be: each round is bounded, the wait is not.
    while (!dm.isConnected() && !stopped())
        spinUntil([&] { return dm.isConnected() || stopped(); }, kHeldRetryMs);
    return dm.isConnected();
}

// Where borrowers ask a watch or the service for the controller; none without a lock.
std::unique_ptr<link::Lending> lendingFor(const Environment &env, link::Transport &transport,
                                          const link::DataModule &dm)
{
    if (!env.makeLending || !transport.ownerGate())
        return nullptr;
    return env.makeLending(transport.ownerKeyOf(dm.currentDevice().id));
}

} // namespace

int run(const QStringList &args, const Environment &env)
{
    const ParseResult parsed = parseArguments(args);
    if (!parsed.invocation) {
        env.err(QStringLiteral("vardex-cli: %1\n\n%2").arg(parsed.error, usageText()));
        return kExitUsage;
    }
    const Invocation &inv = *parsed.invocation;
    if (inv.command == Command::Help) {
        env.out(usageText());
        return kExitOk;
    }
    const std::shared_ptr<link::Transport> transport = env.makeTransport(inv.demo);
    if (!transport) {
        env.err(QStringLiteral("vardex-cli: доступ к устройствам HID недоступен\n"));
        return kExitNoController;
    }
    // The watch and the service own the controller for months and lend it; one-off
    // commands borrow it from them.
    const bool lends = inv.command == Command::Watch || inv.command == Command::Serve;
    if (env.makeOwnerGate)
        transport->setOwnerGate(env.makeOwnerGate(programWords(inv.command), lends, !lends));
    if (inv.command == Command::List)
        return listControllers(*transport, env, inv);

    int exitCode = kExitOk;
    {
        link::DataModule dm(*transport);
        ExchangeWatch watch;
        dm.setTraceSink([&watch](const link::TraceEntry &e) { watch.onTrace(e); });
        if (!inv.device.isEmpty())
            dm.setDeviceFilter(
                [node = inv.device](const link::HidDeviceInfo &d) { return d.id == node; });
        QString openError;
        QObject::connect(&dm, &link::DataModule::openFailed, &dm,
                         [&openError](const link::HidDeviceInfo &, const QString &text) {
                             if (openError.isEmpty())
                                 openError = text;
                         });
        // Another program owns the controller: nothing was sent, and its holder is named.
        std::optional<link::OwnerRecord> holder;
        QString heldNode;
        QObject::connect(transport.get(), &link::Transport::heldElsewhere, &dm,
                         [&](const link::HidDeviceInfo &d, const link::OwnerRecord &h) {
                             if (!holder)
                                 holder = h;
                             heldNode = d.id;
                         });

        QElapsedTimer elapsed;
        if (env.stderrIsTerminal) {
            QObject::connect(&dm, &link::DataModule::progressVisibilityChanged, &dm,
                             [&](bool visible, int maximum) {
                                 Q_UNUSED(maximum);
                                 if (visible)
                                     elapsed.start();
                                 else
                                     env.err(QStringLiteral("\n"));
                             });
            int maximum = 0;
            QObject::connect(&dm, &link::DataModule::progressVisibilityChanged, &dm,
                             [&maximum](bool, int m) { maximum = m; });
            QObject::connect(&dm, &link::DataModule::progressChanged, &dm, [&](int position) {
                env.err(QLatin1Char('\r') + progressLine(position, maximum, elapsed.elapsed()));
            });
        }

        transport->start();
        spinUntil([&] { return dm.isConnected() || !openError.isEmpty(); }, env.connectTimeoutMs);
        // A holder that lends is a watch or the service: a second watch is refused.
        if (!dm.isConnected() && holder && !holder->lends && inv.command == Command::Watch &&
            !awaitRelease(env, *transport, dm, heldNode, openError)) {
            dm.shutdown();
            return kExitOk; // stopped while it waited: it never switched anything
        }
        if (!dm.isConnected()) {
            QString node = inv.device;
            for (const auto &d : transport->devices())
                if (d.product == link::kControllerProduct && node.isEmpty())
                    node = d.id;
            if (holder)
                env.err(QStringLiteral("vardex-cli: %1\n").arg(openError));
            else if (!openError.isEmpty())
                env.err(noAccessText(env, node, openError));
            else if (!inv.device.isEmpty())
                env.err(QStringLiteral("vardex-cli: контроллер %1 не найден\n").arg(inv.device));
            else
                env.err(QStringLiteral("vardex-cli: контроллер не найден (USB-устройство "
                                       "«Quellbox»)\n"));
            dm.shutdown();
            return kExitNoController;
        }

        QTimer interruptPoll;
        if (env.interrupted) {
            QObject::connect(&interruptPoll, &QTimer::timeout, &dm, [&] {
                if (env.interrupted->load())
                    dm.cancel();
            });
            interruptPoll.start(50);
        }

        if (inv.command == Command::Watch) {
            // Not one operation: the watchdog's writes take the link's priority lane.
            // The watch stops on the signal itself; cancelling its operations would cut
            // the switch-off it owes and its read-back short.
            interruptPoll.stop();
            WatchRun w{dm,      inv.watch,       inv.json,          env.makeEcho,          env.out,
                       env.err, env.interrupted, env.watchStateDir, env.watchReturnGraceMs};
            w.rearm = env.watchRearm;
            w.device = inv.device;
            const std::unique_ptr<link::Lending> lending = lendingFor(env, *transport, dm);
            w.lending = lending.get();
            exitCode = runWatch(w);
            if (exitCode != kExitOk)
                env.err(QStringLiteral("vardex-cli: контроллер отключен\n"));
            dm.shutdown();
            return exitCode;
        }
        if (inv.command == Command::Serve) {
            // Stops on the signal itself, after the poll in hand.
            interruptPoll.stop();
            ServeRun s{
                dm,      inv.serve,       inv.json,     env.serve,         env.out,
                env.err, env.interrupted, env.makeEcho, env.watchStateDir, env.watchReturnGraceMs};
            s.watchRearm = env.watchRearm;
            s.device = inv.device;
            const std::unique_ptr<link::Lending> lending = lendingFor(env, *transport, dm);
            s.lending = lending.get();
            exitCode = runServe(s);
            if (exitCode == kExitNoController)
                env.err(QStringLiteral("vardex-cli: контроллер отключен\n"));
            dm.shutdown();
            return exitCode;
        }
        Report report;
        QString error;
        dm.runOperation([&](link::OperationContext &ctx) {
            CommandRun command{dm, ctx, inv, watch, {}, {}, env.writeXlsx};
            exitCode = execute(command);
            report = std::move(command.report);
            error = std::move(command.error);
        });
        interruptPoll.stop();
        // An interrupted read still reports what it kept; a comparison that found
        // differences (exit 1 without an error) reports them.
        if (exitCode == kExitOk || exitCode == kExitInterrupted || error.isEmpty())
            print(env, inv, report);
        if (exitCode != kExitOk && !error.isEmpty())
            env.err(QStringLiteral("vardex-cli: %1\n").arg(error));
        dm.shutdown();
    }
    return exitCode;
}

Captured runCaptured(const QStringList &args, Environment env)
{
    Captured c;
    env.out = [&c](const QString &t) { c.out += t; };
    env.err = [&c](const QString &t) { c.err += t; };
    c.exitCode = run(args, env);
    return c;
}

} // namespace vardex::cli
