#pragma once

#include "link/report.h"
#include "sim/config_pages.h"
#include "sim/event_log.h"
#include "sim/live_state.h"
#include "sim/loop_record.h"
#include "sim/memory.h"

#include <QDateTime>

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace vardex::sim {

using link::Payload;

// A pure model of the controller's firmware: it answers request payloads from its
// own state and moves its simulated time on request. It knows the protocol only
// from the wire layouts (it shares no code with the program's request builders or
// reply handler), so it doubles as an independent check of them.
//
// Behaviour the program does not pin down and this model chooses:
// - Unknown codes, pages, loop numbers or record kinds, a log index outside
//   1..16384 and a memory write of 0 or more than 58 bytes are answered with the
//   error reply (0xFF "ERR").
// - Firmware 23 or older keeps no extended loop records: it answers a read of one
//   with an empty record (Len 0, zero data) and acknowledges a write without
//   keeping it, so the description, which asks for both records of every loop,
//   goes through on such a controller.
// - Page writes take the page's full size whatever Len says (page 0 and 2 requests
//   carry Len 10 and 14 but 14 and 26 bytes of data).
// - The main loop record lives only in memory (stored layout at 4096 + 64*(n-1)):
//   a loop read answers from there, so a corrupted stored copy shows in both.
// - WriteClock (code 5) has no reply; an impossible date or time is ignored.
// - A memory read past the top returns only the bytes up to 8191 (Len says how many).
// - Each accepted write of configuration page 3 and of a main loop record counts
//   in the black box (update count and date-time of the last update).
// - A signed command (code 15 Sub 0) is accepted when its digest is the SHA-1 of the
//   open key and the generated key, or of (0, hour, minute, second) and the key for
//   the controller's time rounded down to 10 s, give or take 10 s. The reply carries
//   the SHA-1 of the received digest when accepted and 20 zero bytes otherwise.
// - Loops trip on any used input that is active (contact or TTL input set, analog
//   raw code or temperature outside [Lo, Hi]; inverted by its mode bit). Host and
//   test control bits, timers and pulse counts are not modelled.
class Firmware {
public:
    static constexpr int kLoops = 26;

    Firmware();

    // The replies to one request: none (WriteClock), one, or two (a log record).
    std::vector<Payload> handle(const Payload &request);
    // Moves simulated time: the clock ticks, measurements drift, fans spin up or
    // down; with live logging on, records are written at the configured period.
    void advance(std::int64_t ms);

    // ---- state for scenarios and tests ----
    ConfigPages &config() { return m_config; }
    const ConfigPages &config() const { return m_config; }
    Memory &memory() { return m_memory; }
    const Memory &memory() const { return m_memory; }
    EventLog &eventLog() { return m_log; }
    const EventLog &eventLog() const { return m_log; }

    QDateTime clock() const { return m_clock; }
    void setClock(const QDateTime &utc);

    LoopRecord loop(int n) const; // from the stored copy in memory
    void setLoop(int n, const LoopRecord &record);
    std::array<std::uint8_t, 12> loopExt(int n) const;
    void setLoopExt(int n, const std::array<std::uint8_t, 12> &record);
    // Flips the HostControl bits of the stored copy only: a read-back check of the
    // loop fails although every level still matches.
    void corruptStoredLoop(int n);

    const LiveState &liveState() const { return m_live; }
    const OutputTask &outputTask() const { return m_task; }
    void setContacts(std::uint8_t mask);
    void setTtlInputs(std::uint8_t mask);
    void setOnBattery(bool on);
    void setFanStalled(std::uint8_t mask);
    // Pins a channel to a value instead of its drift (nullopt: drift again).
    void setTemperature(int sensor, std::optional<double> celsius);
    void setAnalog(int channel, std::optional<float> value);

    void setIdentity(const std::array<std::uint32_t, 10> &groups) { m_identity = groups; }
    void setOpenKey(const std::array<std::uint8_t, 4> &key) { m_openKey = key; }
    const std::array<std::uint8_t, 16> &generatedKey() const { return m_generatedKey; }
    int acceptedSignedCommands() const { return m_signedAccepted; }
    int rejectedSignedCommands() const { return m_signedRejected; }
    const std::vector<std::uint8_t> &serialBytes() const { return m_serialBytes; }

    // Appends a record of the present state and clock to the event log.
    void logSnapshot();
    void setLiveLogging(bool on) { m_liveLogging = on; }

    static Payload errorReply();

private:
    // Handlers by request code (the table in firmware.cpp); each returns the
    // replies, none for a request without one.
    using Handler = std::vector<Payload> (Firmware::*)(const Payload &);
    using HandlerTable = std::array<Handler, 256>;
    static const HandlerTable &handlers();

    std::vector<Payload> readConfigPage(const Payload &rq);
    std::vector<Payload> writeConfigPage(const Payload &rq);
    std::vector<Payload> readState(const Payload &rq);
    std::vector<Payload> writeOutputTask(const Payload &rq);
    std::vector<Payload> readClock(const Payload &rq);
    std::vector<Payload> writeClock(const Payload &rq);
    std::vector<Payload> readLoop(const Payload &rq);
    std::vector<Payload> writeLoop(const Payload &rq);
    std::vector<Payload> readLogRecord(const Payload &rq);
    std::vector<Payload> serialSend(const Payload &rq);
    std::vector<Payload> serialRead(const Payload &rq);
    std::vector<Payload> signedCommand(const Payload &rq);
    std::vector<Payload> memoryRead(const Payload &rq);
    std::vector<Payload> memoryWrite(const Payload &rq);
    std::vector<Payload> identity(const Payload &rq);

    bool hasExtendedLoops() const { return m_config.firmwareVersion() > 23; }
    void countUpdate(std::size_t blackBoxOffset);
    bool hashAccepted(const std::array<std::uint8_t, 20> &digest) const;

    // Live model (live_model.cpp).
    void updateMeasurements();
    void updateOutputs();
    void updateFans(std::int64_t ms);
    void updateFlags();
    int analogRaw(int channel) const;
    std::uint32_t loopOutputs() const;
    bool loopTrips(const LoopRecord &r) const;
    EventLog::Record snapshotRecord() const;

    ConfigPages m_config;
    Memory m_memory;
    EventLog m_log;
    std::array<std::array<std::uint8_t, 12>, kLoops> m_loopExt{};

    QDateTime m_clock;
    std::int64_t m_clockRemainderMs = 0;
    std::int64_t m_uptimeMs = 0;
    std::int64_t m_sinceLogMs = 0;
    bool m_liveLogging = false;

    LiveState m_live;
    OutputTask m_task;
    std::array<double, 4> m_fanRpm{};
    std::array<std::optional<double>, 6> m_pinnedTemperature{};
    std::array<std::optional<float>, 6> m_pinnedAnalog{};
    std::array<double, 6> m_noise{};
    bool m_onBattery = false;
    std::uint8_t m_fanStalled = 0;
    std::minstd_rand m_random{20110401};

    std::array<std::uint32_t, 10> m_identity{};
    std::array<std::uint8_t, 4> m_openKey{};
    std::array<std::uint8_t, 16> m_generatedKey{};
    bool m_keyValid = false;
    int m_signedAccepted = 0;
    int m_signedRejected = 0;
    std::vector<std::uint8_t> m_serialBytes;
};

} // namespace vardex::sim
