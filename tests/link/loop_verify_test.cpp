#include "link/config_transfer.h"
#include "link/data_module.h"
#include "link/loop_verify.h"
#include "link/protocol.h"
#include "link/stored_loop.h"
#include "support/in_operation.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <optional>
#include <vector>

using namespace vardex::link;
namespace proto = vardex::link::protocol;

namespace {

// A controller that answers each written request through `respond`, handing the reply
// over like a reader thread would (queued, delivered on the GUI thread).
class ScriptedTransport : public Transport {
public:
    std::function<std::optional<Payload>(const Payload &)> respond;
    std::vector<Payload> requests;

    void start() override {}
    QList<HidDeviceInfo> devices() const override { return {m_info}; }
    bool openDevice(const QString &, QString *) override { return true; }
    void closeDevice(const QString &) override {}
    bool write(const QString &id, const std::array<std::uint8_t, kOutputReportSize> &report,
               QString *, quint32 *) override
    {
        Payload request{};
        std::copy_n(report.begin() + 1, kPayloadSize, request.begin());
        requests.push_back(request);
        if (respond) {
            if (const auto reply = respond(request))
                queueReport(id, *reply);
        }
        return true;
    }
    void plug() { emit deviceArrived(m_info); }

private:
    HidDeviceInfo m_info{QStringLiteral("scripted"), kControllerProduct, 65, 65, 1, {}};
};

// Controller memory answering MemoryRead requests.
struct Memory {
    std::array<std::uint8_t, 8192> bytes{};

    std::optional<Payload> operator()(const Payload &request) const
    {
        if (request[pos::Code] != proto::code::MemoryRead)
            return std::nullopt;
        Payload reply = request;
        const std::size_t address = request[pos::Sub] | (request[pos::Arg1] << 8);
        const std::size_t count = std::min<std::size_t>(request[pos::Len], bytes.size() - address);
        std::copy_n(bytes.begin() + address, count, reply.begin() + pos::Data);
        return reply;
    }
};

UprLoopConfig someLoop()
{
    UprLoopConfig l;
    l.contactUse = 0x03;
    l.analogUse = 0x21;
    l.hostControl = 2;
    l.analogLevelLo = {100, -100, 0, 0, 7, 8};
    l.temperLevelHi = {-160, 0, 0, 0, 0, 320};
    l.contactMode = {1, 0, 1, 0, 0, 0, 0, 0};
    l.temperMode = {0, 0, 0, 0, 0, 1};
    return l;
}

class LinkTest : public ::testing::Test {
protected:
    LinkTest() : link(transport) { transport.plug(); }

    void store(int n, const UprLoopConfig &l)
    {
        const auto block = loopcodec::encodeStoredLoop(l);
        std::copy(block.begin(), block.end(),
                  memory.bytes.begin() + loopcodec::storedLoopAddress(n));
    }

    ScriptedTransport transport;
    DataModule link;
    Memory memory;
};

int address(const Payload &p)
{
    return p[pos::Sub] | (p[pos::Arg1] << 8);
}

} // namespace

TEST_F(LinkTest, VerifyLoopReadsTheStoredRecordOfLoopN)
{
    link.image().loop(1) = someLoop();
    link.image().loop(26) = someLoop();
    store(1, someLoop());
    store(26, someLoop());
    transport.respond = memory;
    EXPECT_TRUE(vardex::test::asOperation(link, verifyLoop, 1));
    EXPECT_TRUE(vardex::test::asOperation(link, verifyLoop, 26));
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[0][pos::Code], 32);
    EXPECT_EQ(address(transport.requests[0]), 4096);
    EXPECT_EQ(transport.requests[0][pos::Len], 56);
    EXPECT_EQ(address(transport.requests[1]), 5696);
}

TEST_F(LinkTest, VerifyLoopFailsOnHostControlAlone)
{
    link.image().loop(3) = someLoop();
    UprLoopConfig stored = someLoop();
    stored.hostControl = 1;
    store(3, stored);
    transport.respond = memory;
    EXPECT_FALSE(vardex::test::asOperation(link, verifyLoop, 3));
}

TEST_F(LinkTest, VerifyLoopWithoutReplyFailsInsteadOfComparingTheRequest)
{
    // After a lost reply the buffer still holds our request: ID 0, then 32, 0, 0x10, 0,
    // 0, 56 and zeros. Decoded as a stored record that is contact mask 56 and nothing
    // else, so this loop would "verify" against its own request.
    link.image().loop(1).contactUse = 56;
    EXPECT_FALSE(vardex::test::asOperation(link, verifyLoop, 1));
    EXPECT_EQ(transport.requests.size(), 1u);
}

TEST_F(LinkTest, VerifyLoopFailsOnTheControllerErrorReply)
{
    transport.respond = [](const Payload &) {
        Payload p{0xFF, 'E', 'R', 'R'};
        return std::optional<Payload>(p);
    };
    EXPECT_FALSE(vardex::test::asOperation(link, verifyLoop, 1));
}

TEST_F(LinkTest, VerifyLoopRefusesLoopNumbersOutOfRange)
{
    transport.respond = memory;
    EXPECT_FALSE(vardex::test::asOperation(link, verifyLoop, 0));
    EXPECT_FALSE(vardex::test::asOperation(link, verifyLoop, 27));
    EXPECT_TRUE(transport.requests.empty());
}

TEST_F(LinkTest, ReadConfigurationAwaitsThreePagesAndLeavesTheFourthToTheCaller)
{
    transport.respond = [](const Payload &request) -> std::optional<Payload> {
        Payload reply = request;
        if (request[pos::Sub] == 0)
            reply[6] = 24;
        if (request[pos::Sub] == 3)
            reply[6] = 0x34; // AnalogAlarmLow 1 = 0x1234
        reply[7] = 0x12;
        return reply;
    };
    QStringList messages;
    EXPECT_TRUE(vardex::test::asOperation(link, readConfiguration,
                                          [&](const QString &m) { messages << m; }));
    ASSERT_EQ(transport.requests.size(), 4u);
    for (int page = 0; page < 4; ++page) {
        EXPECT_EQ(transport.requests[page][pos::Code], 1);
        EXPECT_EQ(transport.requests[page][pos::Sub], page);
    }
    EXPECT_EQ(link.image().config.firmwareVersion, 24);
    EXPECT_TRUE(
        vardex::test::inOperation(link, [](OperationContext &ctx) { return ctx.waitReply(200); }));
    EXPECT_EQ(link.image().config.analogAlarmLow[0], 0x1234);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LinkTest, ReadConfigurationStopsAtTheFirstMissingPage)
{
    transport.respond = [](const Payload &request) -> std::optional<Payload> {
        if (request[pos::Sub] == 1)
            return std::nullopt;
        return request;
    };
    QStringList messages;
    EXPECT_FALSE(vardex::test::asOperation(link, readConfiguration,
                                           [&](const QString &m) { messages << m; }));
    EXPECT_EQ(messages, QStringList{QStringLiteral("Нет ответа контроллера")});
    EXPECT_EQ(transport.requests.size(), 2u);
}
