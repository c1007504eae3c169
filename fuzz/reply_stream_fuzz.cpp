// Arbitrary bytes as a script of what happens around the data module: requests sent,
// reports arriving (answers, stale replies, notices, error replies, garbage), waits
// and second-report waits, the device going away and coming back. Properties: no
// crash, and no wait is ended by a report that does not answer the request
// outstanding (checked against the protocol's own description of what replies carry,
// not against the data module's rule).
#include "link/data_module.h"
#include "link/protocol.h"
#include "link/reply_table.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

using namespace vardex::link;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// A device that takes every write and delivers what the script makes it deliver.
class ScriptTransport final : public Transport {
public:
    void start() override {}
    QList<HidDeviceInfo> devices() const override { return {}; }
    bool openDevice(const QString &, QString *) override { return true; }
    void closeDevice(const QString &id) override { discardPending(id); }
    bool write(const QString &, const std::array<std::uint8_t, kOutputReportSize> &, QString *,
               quint32 *) override
    {
        return true;
    }
    void arrive(const QString &id) { emit deviceArrived({id, kControllerProduct, 65, 65, 65, {}}); }
    void leave(const QString &id) { emit deviceRemoved(id); }
    void report(const QString &id, const Payload &p) { queueReport(id, p); }
};

struct Script {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t at = 0;
    bool more() const { return at < size; }
    std::uint8_t next() { return at < size ? data[at++] : 0; }
};

// What a request's answer must carry: its Code, and where the reply carries them its
// page / Sub / loop and record kind / address.
bool carriesWhatItAnswers(const Payload &rq, const Payload &reply)
{
    if (reply[pos::Code] != rq[pos::Code])
        return false;
    switch (rq[pos::Code]) {
    case protocol::code::ConfigPage:
    case protocol::code::State:
    case protocol::code::Hash:
    case protocol::code::Identity:
        return reply[pos::Sub] == rq[pos::Sub];
    case protocol::code::Loop:
    case protocol::code::MemoryRead:
        return reply[pos::Sub] == rq[pos::Sub] && reply[pos::Arg1] == rq[pos::Arg1];
    default: // acknowledgements, WriteConfigPage and WriteLoop among them, carry nothing
        return true;
    }
}

const std::uint8_t kCodes[] = {1, 2, 3, 4, 6, 7, 9, 11, 12, 13, 15, 32, 33, 34};

Payload request(Script &s)
{
    Payload p{};
    p[pos::Code] = kCodes[s.next() % std::size(kCodes)];
    p[pos::Sub] = s.next() % 5;
    p[pos::Arg1] = s.next() % 3;
    return p;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Before the data module: letting the device go on destruction still hands held
    // replies to the handler, and the check below sees them.
    Payload outstanding{};
    bool sentAny = false;
    bool acceptedSinceReset = false;

    ScriptTransport transport;
    DataModule dm(transport);
    const QString id = QStringLiteral("dev");
    transport.arrive(id);
    dm.setAcceptSink([&](const Payload &rq, const Payload &reply) {
        acceptedSinceReset = true;
        // Before the first request any reply the table takes ends a wait (there is
        // nothing to answer); after it, only what answers the request last sent.
        if (!sentAny)
            return;
        check(rq == outstanding);
        // A notice raises the reply flag but is nobody's answer.
        check(isErrorReply(reply) || carriesWhatItAnswers(rq, reply));
    });

    Script s{data, size};
    while (s.more()) {
        const int step = s.next() % 8;
        if (step == 7) { // the device goes away, or comes back (between operations)
            if (dm.hasDevice())
                transport.leave(id);
            else
                transport.arrive(id);
            continue;
        }
        // Every step is an operation of its own, as the program's exchanges are.
        dm.runOperation([&](OperationContext &ctx) {
            switch (step) {
            case 0: { // a request; reports already in hand belong to the one before
                const Payload next = request(s);
                ctx.send(next);
                outstanding = next;
                sentAny = true;
                acceptedSinceReset = false;
                break;
            }
            case 1: { // a report of any bytes
                Payload p{};
                for (std::size_t i = 0; i < 8; ++i)
                    p[i] = s.next();
                transport.report(id, p);
                break;
            }
            case 2: { // a report that looks like a reply: a known Code with a chosen Sub/Arg1
                Payload p = request(s);
                p[pos::Len] = s.next();
                transport.report(id, p);
                break;
            }
            case 3: // the answer to the outstanding request
                transport.report(id, outstanding);
                break;
            case 4:
                if (ctx.waitReply(0))
                    check(acceptedSinceReset);
                break;
            case 5:
                acceptedSinceReset = false;
                if (ctx.waitNextReport(0))
                    check(acceptedSinceReset);
                break;
            case 6: // the error reply
                transport.report(id, Payload{0xFF, 'E', 'R', 'R'});
                break;
            }
        });
    }
    return 0;
}
