#include "service/black_box.h"

#include "link/protocol.h"

namespace vardex::service {

namespace {

std::uint16_t u16(std::span<const std::uint8_t, kBlackBoxSize> b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t u32(std::span<const std::uint8_t, kBlackBoxSize> b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

Stamp stamp(std::span<const std::uint8_t, kBlackBoxSize> b, std::size_t at)
{
    Stamp s{};
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = b[at + i];
    return s;
}

} // namespace

BlackBox decodeBlackBox(std::span<const std::uint8_t, kBlackBoxSize> b)
{
    BlackBox box;
    box.programUpdates = u16(b, 0);
    box.programStamp = stamp(b, 2);
    box.configUpdates = u16(b, 8);
    box.configStamp = stamp(b, 10);
    box.loopUpdates = u16(b, 16);
    box.loopStamp = stamp(b, 18);
    box.powerOns = u32(b, 24);
    box.batteryOns = u32(b, 28);
    box.batteryOffs = u32(b, 32);
    box.lastBatteryTime = u32(b, 36);
    box.totalBatteryTime = u32(b, 40);
    box.batteryStamp = stamp(b, 44);
    return box;
}

QString countWithStamp(std::uint32_t count, const Stamp &s)
{
    return QStringLiteral("%1 %2-%3-%4 %5:%6:%7")
        .arg(count)
        .arg(s[0])
        .arg(s[1])
        .arg(s[2])
        .arg(s[3])
        .arg(s[4])
        .arg(s[5]);
}

BlackBoxTexts blackBoxTexts(const BlackBox &box)
{
    BlackBoxTexts t;
    t.progUpdate = countWithStamp(box.programUpdates, box.programStamp);
    t.configUpdate = countWithStamp(box.configUpdates, box.configStamp);
    t.uprUpdate = countWithStamp(box.loopUpdates, box.loopStamp);
    t.powerOn = QString::number(box.powerOns);
    t.batOn = countWithStamp(box.batteryOns, box.batteryStamp);
    t.batOff = QString::number(box.batteryOffs);
    t.batWorkLast = QString::number(box.lastBatteryTime / 2);
    t.batWorkSum = QString::number(box.totalBatteryTime / 2);
    return t;
}

namespace {

QJsonObject stampJson(std::uint32_t count, const Stamp &s)
{
    return {{QStringLiteral("count"), static_cast<double>(count)},
            {QStringLiteral("stamp"), QStringLiteral("%1-%2-%3 %4:%5:%6")
                                          .arg(s[0])
                                          .arg(s[1])
                                          .arg(s[2])
                                          .arg(s[3])
                                          .arg(s[4])
                                          .arg(s[5])}};
}

} // namespace

QJsonObject blackBoxJson(const BlackBox &box)
{
    return {{QStringLiteral("address"), kBlackBoxAddress},
            {QStringLiteral("programUpdates"), stampJson(box.programUpdates, box.programStamp)},
            {QStringLiteral("configUpdates"), stampJson(box.configUpdates, box.configStamp)},
            {QStringLiteral("loopUpdates"), stampJson(box.loopUpdates, box.loopStamp)},
            {QStringLiteral("powerOns"), static_cast<double>(box.powerOns)},
            {QStringLiteral("batteryOns"), stampJson(box.batteryOns, box.batteryStamp)},
            {QStringLiteral("batteryOffs"), static_cast<double>(box.batteryOffs)},
            // Shown halved, as the page does.
            {QStringLiteral("lastBatteryTime"), static_cast<double>(box.lastBatteryTime / 2)},
            {QStringLiteral("totalBatteryTime"), static_cast<double>(box.totalBatteryTime / 2)}};
}

BlackBoxRead readBlackBox(link::OperationContext &ctx)
{
    ctx.send(link::protocol::memoryRead(kBlackBoxAddress, static_cast<int>(kBlackBoxSize)));
    if (!ctx.waitReply(kBlackBoxTimeoutMs))
        return {
            link::OpResult::fail(ctx.cancelled() ? ctx.cancelReason() : link::OpStatus::NoReply),
            std::nullopt};
    // The error report's bytes are no black box; showing them would invent counters.
    if (ctx.lastReplyWasError())
        return {link::OpResult::fail(link::OpStatus::ErrorReply), std::nullopt};
    const link::Payload reply = ctx.lastReply();
    if (reply[link::pos::Code] != link::protocol::code::MemoryRead)
        return {link::OpResult::fail(link::OpStatus::Failed), std::nullopt};
    const auto block =
        std::span<const std::uint8_t>(reply).subspan<link::pos::Data, kBlackBoxSize>();
    return {link::OpResult::done(), decodeBlackBox(block)};
}

} // namespace vardex::service
