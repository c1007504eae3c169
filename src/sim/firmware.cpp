#include "sim/firmware.h"

#include "link/bytes.h"

#include <QCryptographicHash>

#include <algorithm>

namespace vardex::sim {

using namespace vardex::bytes;
namespace pos = link::pos;

namespace {

constexpr std::size_t kData = link::kDataOffset;
constexpr std::size_t kDataSize = link::kDataSize; // 58
constexpr std::size_t kSerialKeep = 4096;

// A reply echoes Code and Sub (and the arguments, which the program ignores).
Payload replyTo(const Payload &rq, std::uint8_t len = 0)
{
    Payload p{};
    p[pos::Code] = rq[pos::Code];
    p[pos::Sub] = rq[pos::Sub];
    p[pos::Arg1] = rq[pos::Arg1];
    p[pos::Arg2] = rq[pos::Arg2];
    p[pos::Len] = len;
    return p;
}

std::span<std::uint8_t> dataOf(Payload &p)
{
    return std::span<std::uint8_t>(p).subspan(kData);
}

std::span<const std::uint8_t> dataOf(const Payload &p)
{
    return std::span<const std::uint8_t>(p).subspan(kData);
}

std::array<std::uint8_t, 20> sha1(std::span<const std::uint8_t> message)
{
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char *>(message.data()),
                                                static_cast<qsizetype>(message.size())),
                                 QCryptographicHash::Sha1);
    std::array<std::uint8_t, 20> out{};
    std::copy_n(reinterpret_cast<const std::uint8_t *>(digest.constData()), out.size(),
                out.begin());
    return out;
}

} // namespace

Firmware::Firmware() : m_clock(QDate(2012, 1, 1), QTime(0, 0), Qt::UTC)
{
    m_log.storePointers(m_memory);
    updateMeasurements();
    updateOutputs();
    updateFlags();
}

Payload Firmware::errorReply()
{
    Payload p{};
    p[0] = 0xFF;
    p[1] = 'E';
    p[2] = 'R';
    p[3] = 'R';
    return p;
}

std::vector<Payload> Firmware::handle(const Payload &rq)
{
    switch (rq[pos::Code]) {
    case 1:
        return readConfigPage(rq);
    case 2:
        return readState(rq);
    case 3:
        return writeOutputTask(rq);
    case 4:
        return readClock(rq);
    case 5:
        writeClock(rq);
        return {};
    case 6:
        return readLoop(rq);
    case 7:
        return writeLoop(rq);
    case 9:
        return writeConfigPage(rq);
    case 11:
        return readLogRecord(rq);
    case 12:
        return serialSend(rq);
    case 13:
        return serialRead(rq);
    case 15:
        return signedCommand(rq);
    case 32:
        return memoryRead(rq);
    case 33:
        return memoryWrite(rq);
    case 34:
        return identity(rq);
    default:
        return {errorReply()};
    }
}

// ---- configuration ----------------------------------------------------------------------

std::vector<Payload> Firmware::readConfigPage(const Payload &rq)
{
    const int page = rq[pos::Sub];
    if (page >= ConfigPages::kPages)
        return {errorReply()};
    const auto bytes = m_config.page(page);
    Payload p = replyTo(rq, static_cast<std::uint8_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), dataOf(p).begin());
    return {p};
}

std::vector<Payload> Firmware::writeConfigPage(const Payload &rq)
{
    const int page = rq[pos::Sub];
    if (page >= ConfigPages::kPages)
        return {errorReply()};
    m_config.writeFromRequest(page, dataOf(rq));
    if (page == 3)
        countUpdate(8);
    updateMeasurements();
    updateOutputs();
    updateFlags();
    return {replyTo(rq)};
}

// ---- state, outputs, clock -----------------------------------------------------------------

std::vector<Payload> Firmware::readState(const Payload &rq)
{
    Payload p = replyTo(rq);
    auto d = dataOf(p);
    if (rq[pos::Sub] == 0) {
        // 0 contacts, 1 TTL inputs, 2 analog 1..6 (float32), 26 temperatures (int16),
        // 38 fan speeds (uint16), 46 TTL outputs, 47 switches, 48 relays,
        // 49 fan tasks 1..4, 53 flag bytes 1..4.
        putU8(d, 0, m_live.contacts);
        putU8(d, 1, m_live.ttlInputs);
        for (std::size_t i = 0; i < 6; ++i) {
            putF32(d, 2 + 4 * i, m_live.analog[i]);
            putI16(d, 26 + 2 * i, m_live.temperatures[i]);
        }
        for (std::size_t i = 0; i < 4; ++i) {
            putU16(d, 38 + 2 * i, m_live.fanSpeeds[i]);
            putU8(d, 49 + i, m_live.fanTasks[i]);
            putU8(d, 53 + i, m_live.flags[i]);
        }
        putU8(d, 46, m_live.ttlOutputs);
        putU8(d, 47, m_live.switches);
        putU8(d, 48, m_live.relays);
        p[pos::Len] = 57;
    } else if (rq[pos::Sub] == 1) {
        for (std::size_t i = 0; i < 4; ++i)
            putU8(d, i, m_live.flags[4 + i]);
        p[pos::Len] = 4;
    } else {
        return {errorReply()};
    }
    return {p};
}

std::vector<Payload> Firmware::writeOutputTask(const Payload &rq)
{
    const auto d = dataOf(rq);
    m_task.ttlOutputs = d[0];
    m_task.switches = d[1];
    m_task.relays = d[2];
    for (std::size_t i = 0; i < 4; ++i)
        m_task.fans[i] = std::min<std::uint8_t>(d[3 + i], 100);
    updateOutputs();
    updateFlags();
    return {replyTo(rq)};
}

std::vector<Payload> Firmware::readClock(const Payload &rq)
{
    Payload p = replyTo(rq, 6);
    const QDate date = m_clock.date();
    const QTime time = m_clock.time();
    auto d = dataOf(p);
    d[0] = static_cast<std::uint8_t>(date.year() - 2000);
    d[1] = static_cast<std::uint8_t>(date.month());
    d[2] = static_cast<std::uint8_t>(date.day());
    d[3] = static_cast<std::uint8_t>(time.hour());
    d[4] = static_cast<std::uint8_t>(time.minute());
    d[5] = static_cast<std::uint8_t>(time.second());
    return {p};
}

void Firmware::writeClock(const Payload &rq)
{
    const auto d = dataOf(rq);
    const QDate date(2000 + d[0], d[1], d[2]);
    const QTime time(d[3], d[4], d[5]);
    if (date.isValid() && time.isValid())
        setClock(QDateTime(date, time, Qt::UTC));
}

void Firmware::setClock(const QDateTime &utc)
{
    m_clock = utc.toUTC();
    m_clockRemainderMs = 0;
}

// ---- loops ----------------------------------------------------------------------------

LoopRecord Firmware::loop(int n) const
{
    if (n < 1 || n > kLoops)
        return {};
    const auto at = Memory::kStoredLoops + Memory::kStoredLoopStride * (n - 1);
    return LoopRecord::decodeStored(m_memory.bytes().subspan(at, LoopRecord::kSize));
}

void Firmware::setLoop(int n, const LoopRecord &record)
{
    if (n < 1 || n > kLoops)
        return;
    m_memory.write(Memory::kStoredLoops + Memory::kStoredLoopStride * (n - 1),
                   record.encodeStored());
    updateOutputs();
    updateFlags();
}

std::array<std::uint8_t, 12> Firmware::loopExt(int n) const
{
    return (n < 1 || n > kLoops) ? std::array<std::uint8_t, 12>{} : m_loopExt[n - 1];
}

void Firmware::setLoopExt(int n, const std::array<std::uint8_t, 12> &record)
{
    if (n >= 1 && n <= kLoops)
        m_loopExt[n - 1] = record;
}

void Firmware::corruptStoredLoop(int n)
{
    if (n < 1 || n > kLoops)
        return;
    auto &byte = m_memory.bytes()[Memory::kStoredLoops + Memory::kStoredLoopStride * (n - 1) + 2];
    byte ^= 0xC0;
}

std::vector<Payload> Firmware::readLoop(const Payload &rq)
{
    const int n = rq[pos::Sub];
    const int kind = rq[pos::Arg1];
    if (n < 1 || n > kLoops || kind > 1)
        return {errorReply()};
    Payload p = replyTo(rq);
    if (kind == 1 && !hasExtendedLoops()) {
        p[pos::Len] = 0;
    } else if (kind == 0) {
        const auto wire = loop(n).encodeWire();
        std::copy(wire.begin(), wire.end(), dataOf(p).begin());
        p[pos::Len] = LoopRecord::kSize;
    } else {
        std::copy(m_loopExt[n - 1].begin(), m_loopExt[n - 1].end(), dataOf(p).begin());
        p[pos::Len] = 12;
    }
    return {p};
}

std::vector<Payload> Firmware::writeLoop(const Payload &rq)
{
    const int n = rq[pos::Sub];
    const int kind = rq[pos::Arg1];
    if (n < 1 || n > kLoops || kind > 1)
        return {errorReply()};
    if (kind == 1 && !hasExtendedLoops()) {
        // Nothing kept; acknowledged all the same.
    } else if (kind == 0) {
        setLoop(n, LoopRecord::decodeWire(dataOf(rq)));
        countUpdate(16);
    } else {
        std::copy_n(dataOf(rq).begin(), 12, m_loopExt[n - 1].begin());
        updateOutputs();
        updateFlags();
    }
    return {replyTo(rq)};
}

// Black box counters: uint16 count at offset, then day, month, year, hour, minute,
// second of the last update.
void Firmware::countUpdate(std::size_t offset)
{
    auto box = m_memory.bytes().subspan(Memory::kBlackBox, 58);
    putU16(box, offset, static_cast<std::uint16_t>(u16(box, offset) + 1));
    const QDate d = m_clock.date();
    const QTime t = m_clock.time();
    const std::array<int, 6> stamp = {d.day(),  d.month(),  d.year() - 2000,
                                      t.hour(), t.minute(), t.second()};
    for (std::size_t i = 0; i < stamp.size(); ++i)
        putU8(box, offset + 2 + i, static_cast<std::uint8_t>(stamp[i]));
}

// ---- event log ------------------------------------------------------------------------

std::vector<Payload> Firmware::readLogRecord(const Payload &rq)
{
    const std::size_t index = rq[pos::Arg1] | (rq[pos::Arg2] << 8);
    const auto record = m_log.record(index);
    if (!record)
        return {errorReply()};
    Payload first = replyTo(rq, EventLog::kFirstHalf);
    first[pos::Sub] = 0;
    std::copy_n(record->begin(), EventLog::kFirstHalf, dataOf(first).begin());
    Payload second = replyTo(rq, EventLog::kRecordSize - EventLog::kFirstHalf);
    second[pos::Sub] = 1;
    std::copy(record->begin() + EventLog::kFirstHalf, record->end(), dataOf(second).begin());
    return {first, second};
}

void Firmware::logSnapshot()
{
    m_log.append(snapshotRecord());
    m_log.storePointers(m_memory);
}

// ---- serial line ----------------------------------------------------------------------

std::vector<Payload> Firmware::serialSend(const Payload &rq)
{
    const std::size_t n = std::min<std::size_t>(rq[pos::Len], kDataSize);
    const auto d = dataOf(rq);
    m_serialBytes.insert(m_serialBytes.end(), d.begin(), d.begin() + n);
    m_display.feed(d.first(n));
    if (m_serialBytes.size() > kSerialKeep)
        m_serialBytes.erase(m_serialBytes.begin(),
                            m_serialBytes.end() - static_cast<std::ptrdiff_t>(kSerialKeep));
    return {replyTo(rq)};
}

std::vector<Payload> Firmware::serialRead(const Payload &rq)
{
    Payload p = replyTo(rq, 1);
    p[kData] = m_serialBytes.empty() ? 0 : m_serialBytes.back();
    return {p};
}

// ---- signed commands ------------------------------------------------------------------

std::vector<Payload> Firmware::signedCommand(const Payload &rq)
{
    switch (rq[pos::Sub]) {
    case 0: { // digest at 6..25
        std::array<std::uint8_t, 20> digest{};
        std::copy_n(dataOf(rq).begin(), digest.size(), digest.begin());
        Payload p = replyTo(rq, 20);
        if (hashAccepted(digest)) {
            ++m_signedAccepted;
            const auto confirm = sha1(digest);
            std::copy(confirm.begin(), confirm.end(), dataOf(p).begin());
        } else {
            ++m_signedRejected;
        }
        return {p};
    }
    case 1: { // new 16-byte key at 6..21
        for (auto &b : m_generatedKey)
            b = static_cast<std::uint8_t>(m_random() & 0xFF);
        m_keyValid = true;
        Payload p = replyTo(rq, 16);
        std::copy(m_generatedKey.begin(), m_generatedKey.end(), dataOf(p).begin());
        return {p};
    }
    case 2: // reset: the key is spent
        m_generatedKey.fill(0);
        m_keyValid = false;
        return {replyTo(rq)};
    case 3: { // open key at 6..9
        Payload p = replyTo(rq, 4);
        std::copy(m_openKey.begin(), m_openKey.end(), dataOf(p).begin());
        return {p};
    }
    default:
        return {errorReply()};
    }
}

bool Firmware::hashAccepted(const std::array<std::uint8_t, 20> &digest) const
{
    if (!m_keyValid)
        return false;
    std::array<std::uint8_t, 20> message{};
    std::copy(m_generatedKey.begin(), m_generatedKey.end(), message.begin() + 4);
    std::copy(m_openKey.begin(), m_openKey.end(), message.begin());
    if (sha1(message) == digest)
        return true;
    const QTime now = m_clock.time();
    const QTime rounded(now.hour(), now.minute(), now.second() / 10 * 10);
    for (int offset : {-10, 0, 10}) {
        const QTime t = rounded.addSecs(offset);
        message[0] = 0;
        message[1] = static_cast<std::uint8_t>(t.hour());
        message[2] = static_cast<std::uint8_t>(t.minute());
        message[3] = static_cast<std::uint8_t>(t.second());
        if (sha1(message) == digest)
            return true;
    }
    return false;
}

// ---- memory and identity --------------------------------------------------------------

std::vector<Payload> Firmware::memoryRead(const Payload &rq)
{
    const std::size_t address = rq[pos::Sub] | (rq[pos::Arg1] << 8);
    const std::size_t count = std::min<std::size_t>(rq[pos::Len], kDataSize);
    Payload p = replyTo(rq);
    const std::size_t n = m_memory.read(address, dataOf(p).first(count));
    p[pos::Len] = static_cast<std::uint8_t>(n);
    return {p};
}

std::vector<Payload> Firmware::memoryWrite(const Payload &rq)
{
    const std::size_t address = rq[pos::Sub] | (rq[pos::Arg1] << 8);
    const std::size_t count = rq[pos::Len];
    if (count < 1 || count > kDataSize)
        return {errorReply()};
    m_memory.write(address, dataOf(rq).first(count));
    updateOutputs();
    updateFlags();
    return {replyTo(rq)};
}

std::vector<Payload> Firmware::identity(const Payload &rq)
{
    if (rq[pos::Sub] != 33)
        return {errorReply()};
    Payload p = replyTo(rq, 40);
    for (std::size_t i = 0; i < m_identity.size(); ++i)
        putU32(dataOf(p), 4 * i, m_identity[i]);
    return {p};
}

} // namespace vardex::sim
