#include "cli/exchange_watch.h"
#include "cli/invocation.h"
#include "cli/report.h"
#include "link/protocol.h"

#include <gtest/gtest.h>

using namespace vardex;
namespace p = vardex::link::protocol;

TEST(CliOutputs, NamedItemsChangeTheirBitsAndTheRestKeepsTheControllers)
{
    link::OutputTask now;
    now.relaysTask = 0x30;
    now.switchesTask = 0x81;
    now.ttlOutputsTask = 0x01;
    now.fanTask = {10, 20, 30, 40};
    QString error;
    const auto families =
        cli::parseOutputs({"relay=1,3", "switch=h2,L1", "ttl=8", "fan4=0", "fan1=60"}, &error);
    ASSERT_TRUE(families) << error.toStdString();
    const link::OutputTask t = families->applyTo(now);
    EXPECT_EQ(t.relaysTask, 0x05);
    EXPECT_EQ(t.switchesTask, 0x12);
    EXPECT_EQ(t.ttlOutputsTask, 0x80);
    EXPECT_EQ(t.fanTask, (std::array<std::uint8_t, 4>{60, 20, 30, 0}));
    const auto single = cli::parseOutputs({"relay5=off", "switch-h1=off", "ttl2=on"}, &error);
    ASSERT_TRUE(single) << error.toStdString();
    const link::OutputTask u = single->applyTo(now);
    EXPECT_EQ(u.relaysTask, 0x20);
    EXPECT_EQ(u.switchesTask, 0x80);
    EXPECT_EQ(u.ttlOutputsTask, 0x03);
    EXPECT_EQ(u.fanTask, now.fanTask);
    const auto off = cli::parseOutputs({"all-off"}, &error);
    ASSERT_TRUE(off);
    EXPECT_EQ(off->applyTo(now).relaysTask | off->applyTo(now).fanTask[3], 0);
    for (const QStringList &bad :
         {QStringList{}, QStringList{"relay="}, QStringList{"relay=0"}, QStringList{"relay=1,,2"},
          QStringList{"switch=h5"}, QStringList{"switch=x1"}, QStringList{"fan1=101"},
          QStringList{"fan1=-1"}, QStringList{"relay=1", "relay=2"}, QStringList{"lamp=1"},
          QStringList{"relay"}, QStringList{"relay7=on"}, QStringList{"relay1=maybe"},
          QStringList{"all-off", "fan1=10"}, QStringList{"relay=1", "relay3=on"}})
        EXPECT_FALSE(cli::parseOutputs(bad, &error)) << bad.join(' ').toStdString();
}

TEST(CliArguments, OptionsAnywhereAndFileSuffixes)
{
    const auto r =
        cli::parseArguments({"log", "--json", "read", "out.XLSX", "--device", "/dev/hidraw3"});
    ASSERT_TRUE(r.invocation) << r.error.toStdString();
    EXPECT_EQ(r.invocation->command, cli::Command::LogRead);
    EXPECT_TRUE(r.invocation->json);
    EXPECT_EQ(r.invocation->device, "/dev/hidraw3");
    EXPECT_FALSE(cli::parseArguments({"log", "write", "a.log"}).invocation);
    EXPECT_FALSE(cli::parseArguments({"loops", "read", "loops"}).invocation);
    EXPECT_FALSE(cli::parseArguments({"--demo", "--device", "x", "state"}).invocation);
    EXPECT_FALSE(cli::parseArguments({"state", "now"}).invocation);
    EXPECT_EQ(cli::parseArguments({"--help"}).invocation->command, cli::Command::Help);
}

TEST(CliProgress, BarRateAndTimeLeft)
{
    EXPECT_EQ(cli::progressLine(50, 200, 10'000, 8), "[##......]  50/200  5 зап./с  осталось 0:30");
    EXPECT_EQ(cli::progressLine(0, 200, 0, 4), "[....]   0/200  0 зап./с  осталось -:--");
    // Out-of-range positions are drawn at the ends, never past them.
    EXPECT_TRUE(cli::progressLine(500, 200, 1000, 4).startsWith("[####] 200/200"));
}

TEST(CliExchangeWatch, NamesTheFirstUnansweredOrRefusedRequest)
{
    using Dir = link::TraceEntry::Direction;
    cli::ExchangeWatch watch;
    link::Payload reply{};
    reply[0] = p::code::State;
    watch.onTrace({0, Dir::Sent, p::writeOutputTask(0, 0, 0, {0, 0, 0, 0})}); // not awaited
    watch.onTrace({0, Dir::Sent, p::readState(0)});
    watch.onTrace({0, Dir::Received, reply});
    watch.onTrace({0, Dir::Sent, p::readLoop(7, p::LoopRecord::Main)});
    watch.onTrace({0, Dir::Received, reply}); // another code: no answer to the loop
    watch.onTrace({0, Dir::Sent, p::readLoop(8, p::LoopRecord::Main)});
    watch.finish();
    EXPECT_EQ(watch.unanswered(), "ReadLoop 7 main");
    EXPECT_TRUE(watch.refused().isEmpty());
    EXPECT_EQ(watch.failureText(), "контроллер не ответил на ReadLoop 7 main");

    cli::ExchangeWatch refused;
    link::Payload err{};
    err[0] = 0xFF;
    err[1] = 'E';
    err[2] = 'R';
    err[3] = 'R';
    refused.onTrace({0, Dir::Sent, p::readClock()});
    refused.onTrace({0, Dir::Received, err});
    refused.finish();
    EXPECT_TRUE(refused.unanswered().isEmpty());
    EXPECT_EQ(refused.failureText(), "контроллер отказал (ERR) на ReadClock");
}
