#pragma once

#include "cli/runner.h"
#include "export/xlsx_file.h"
#include "sim/demo_controller.h"
#include "support/no_devices.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace vardex::test {

// The command line against the demo's simulated controller, in-process. The
// transport is made up front so a test can script faults before the command runs.
struct CliRig {
    std::shared_ptr<sim::SimTransport> sim = sim::makeDemoTransport(1);
    bool noController = false;
    int connectTimeoutMs = 1500;
    std::atomic<bool> interrupted{false}; // Ctrl-C, as the program's signal handler sets it
    std::atomic<bool> rearm{false};       // SIGUSR1 for `watch`
    // The echo of `watch` (a scripted one; the program's pings real hosts).
    std::function<std::unique_ptr<service::Echo>()> makeEcho;
    // Where `watch` records a switch-off it owes (none: it says it could not), and how
    // long it awaits a controller that went away mid-pulse.
    QString watchStateDir;
    int watchReturnGraceMs = 300;
    // The owner lock of the controller (none: opened unguarded).
    std::function<std::shared_ptr<link::OwnerGate>(const QString &, bool, bool)> makeOwnerGate;

    // A controller of the test's own in place of the demo's.
    void useFirmware(sim::Firmware firmware)
    {
        sim = std::make_shared<sim::SimTransport>();
        sim::SimDeviceOptions options;
        options.id = sim::kDemoDeviceId;
        options.latencyMs = 0;
        options.firmware = std::move(firmware);
        sim->plug(sim->addDevice(std::move(options)));
    }

    cli::Captured run(const QStringList &args)
    {
        cli::Environment env;
        env.makeTransport = [this](bool) -> std::shared_ptr<link::Transport> {
            if (noController)
                return std::make_shared<NoDevices>();
            return sim;
        };
        env.connectTimeoutMs = connectTimeoutMs;
        env.interrupted = &interrupted;
        env.watchRearm = &rearm;
        env.writeXlsx = [](const QString &path, const exporting::Table &table) {
            return exporting::writeXlsxFile(path, table);
        };
        env.accessAdvice = [](const QString &) { return QStringLiteral("совет\n"); };
        env.makeEcho = makeEcho;
        env.watchStateDir = watchStateDir;
        env.watchReturnGraceMs = watchReturnGraceMs;
        env.makeOwnerGate = makeOwnerGate;
        return cli::runCaptured(args, env);
    }

    static QJsonObject json(const cli::Captured &c)
    {
        QJsonParseError error;
        const auto doc = QJsonDocument::fromJson(c.out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << c.out.toStdString();
        return doc.object();
    }
};

} // namespace vardex::test
