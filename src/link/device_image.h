#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The program's one in-memory copy of the controller. Replies fill it, editors
// change it, request builders send from it. Three blocks are also file formats
// (the *.cfg and *.upr files), so their byte codecs below are exact.
namespace vardex::link {

inline constexpr int kLoopCount = 26;
inline constexpr int kAnalogChannels = 6; // 5 analog + mains
inline constexpr int kSensors = 6;
inline constexpr int kFans = 4;

struct DeviceClock {
    std::uint8_t year = 0; // years since 2000
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
};

struct MonitorState {
    std::uint8_t contactInputs = 0;
    std::uint8_t ttlInputs = 0;
    std::array<float, kAnalogChannels> analogValues{}; // already scaled by the controller
    std::array<std::int16_t, kSensors> temperatures{}; // raw sensor units
    std::array<std::uint16_t, kFans> fanSpeeds{};
    std::uint8_t ttlOutputs = 0;
    std::uint8_t switches = 0; // bits 0..3 high-side, 4..7 low-side
    std::uint8_t relays = 0;
    std::array<std::uint8_t, kFans> fanTasks{};
    // Each element holds one wire byte; flag 8*(i-1)+j is bit j-1 of element i.
    std::array<std::uint16_t, 8> systemFlags{};

    bool flag(int number) const; // 1..64
};

struct OutputTask {
    std::uint8_t ttlOutputsTask = 0;
    std::uint8_t switchesTask = 0;
    std::uint8_t relaysTask = 0;
    std::array<std::uint8_t, kFans> fanTask{}; // per cent
};

// 224 bytes, the *.cfg file. Offsets in the codec (device_image.cpp).
struct MonitorConfig {
    static constexpr std::size_t kSize = 224;
    using Bytes = std::array<std::uint8_t, kSize>;

    std::uint8_t firmwareVersion = 0;             // 0
    std::uint8_t buildVariant = 0;                // 1
    std::uint8_t hardwareConfigNumber = 0;        // 2
    std::uint8_t reserved0 = 0;                   // 3
    std::uint8_t contactEnable = 0;               // 4
    std::uint8_t ttlInputEnable = 0;              // 5
    std::uint8_t analogEnable = 0;                // 6: bits 0..4 channels 1..5, bit 5 mains
    std::uint8_t temperEnable = 0;                // 7
    std::uint8_t ttlOutputEnable = 0;             // 8
    std::uint8_t switchEnable = 0;                // 9: bits 0..3 high-side, 4..7 low-side
    std::uint8_t relayEnable = 0;                 // 10
    std::uint8_t fanEnable = 0;                   // 11
    std::array<float, kAnalogChannels> analogA{}; // 12
    std::array<float, kAnalogChannels> analogB{}; // 36
    std::array<std::uint8_t, kSensors> dallasResolution{};           // 60
    std::array<std::uint8_t, kFans> fanMin{};                        // 66
    std::array<std::uint8_t, kFans> fanImpulse{};                    // 70
    std::array<std::uint8_t, 2> fill74{};                            // 74, never on the wire
    std::array<std::int32_t, kAnalogChannels> analogAlarmLow{};      // 76, 16 bits on the wire
    std::array<std::int32_t, kAnalogChannels> analogAlarmHigh{};     // 100
    std::array<std::int32_t, kSensors> temperAlarmLow{};             // 124
    std::array<std::int32_t, kSensors> temperAlarmHigh{};            // 148
    std::array<std::int32_t, kAnalogChannels> analogAlarmDebounce{}; // 172, 8 bits on the wire
    std::array<std::int32_t, kSensors> dallasAlarmDebounce{};        // 196, 8 bits on the wire
    std::uint8_t logPeriod = 0;                                      // 220
    std::uint8_t logAlarmPeriod = 0;                                 // 221
    std::uint8_t analogLogEnable = 0;                                // 222
    std::uint8_t dallasLogEnable = 0;                                // 223

    Bytes encode() const;
    static MonitorConfig decode(const Bytes &bytes);
    // Overlays the leading bytes of a (possibly short or long) file image onto
    // this block: bytes past 224 are ignored, bytes not present keep their value.
    void overlay(std::span<const std::uint8_t> leading);
};

// 82 bytes per loop, the first part of the *.upr file.
struct UprLoopConfig {
    static constexpr std::size_t kSize = 82;
    using Bytes = std::array<std::uint8_t, kSize>;

    std::uint8_t contactUse = 0;                               // 0
    std::uint8_t ttlInputUse = 0;                              // 1
    std::uint8_t analogUse = 0;                                // 2: bits 0..5
    std::uint8_t temperUse = 0;                                // 3
    std::uint8_t hostControl = 0;                              // 4: bit 0 host, bit 1 test
    std::uint8_t fill5 = 0;                                    // 5, never on the wire
    std::array<std::int16_t, kAnalogChannels> analogLevelLo{}; // 6
    std::array<std::int16_t, kAnalogChannels> analogLevelHi{}; // 18
    std::array<std::int16_t, kSensors> temperLevelLo{};        // 30
    std::array<std::int16_t, kSensors> temperLevelHi{};        // 42
    std::array<std::uint8_t, 8> contactMode{};                 // 54: 0 direct, 1 inverted
    std::array<std::uint8_t, 8> ttlInputMode{};                // 62
    std::array<std::uint8_t, kAnalogChannels> analogMode{};    // 70
    std::array<std::uint8_t, kSensors> temperMode{};           // 76

    Bytes encode() const;
    static UprLoopConfig decode(const Bytes &bytes);
    // Zeroes the use masks, host control and the four level arrays; modes stay.
    void clearInputs();
};

// 12 bytes per loop, present on firmware above 23.
struct UprLoopConfigExt {
    static constexpr std::size_t kSize = 12;
    using Bytes = std::array<std::uint8_t, kSize>;

    std::uint16_t timerOff = 0;   // 0, units of 0.1 s
    std::uint16_t timerOn = 0;    // 2, units of 0.1 s
    std::uint8_t pulseNumber = 0; // 4, 0 = without end
    std::uint8_t logic = 0;       // 5
    std::uint8_t usbMode = 0;     // 6
    std::uint8_t dimmer = 0;      // 7
    std::uint32_t outputMask = 0; // 8

    Bytes encode() const;
    static UprLoopConfigExt decode(const Bytes &bytes);
};

// Degrees Celsius per raw sensor unit for the resolution codes 0..3.
inline constexpr std::array<float, 4> kTemperatureScale = {0.5f, 0.25f, 0.125f, 0.0625f};
// A code outside the table has no meaning; the caller decides what to show.
bool temperatureScale(int resolutionCode, float *scale);

// Where configuration and loop replies go while a read-back or a comparison runs: a
// copy beside the image, zeroed when it opens (a record that never comes cannot pass
// for the one in the image). The image, with whatever the engineer edits meanwhile,
// stays untouched by the read. Opened and closed through link::ReadAside only.
struct ReadAsideCopies {
    int configOpen = 0; // nested readers count
    int loopsOpen = 0;
    // Asked for while a reader was open and not answered yet: a reply that comes after
    // the reader closed is still the read-back's, late, and must not reach the image. A
    // new request for the same part from outside a reader clears its mark.
    std::array<bool, 4> pagePending{};
    std::array<std::array<bool, 2>, kLoopCount> loopPending{}; // main, extended
    MonitorConfig config;
    std::array<UprLoopConfig, kLoopCount> loops{};
    std::array<UprLoopConfigExt, kLoopCount> loopExts{};
};

struct DeviceImage {
    DeviceClock clock;
    MonitorState state;
    OutputTask outputTask;
    MonitorConfig config;
    std::array<UprLoopConfig, kLoopCount> loops{};       // loop n at index n-1
    std::array<UprLoopConfigExt, kLoopCount> loopExts{}; // loop n at index n-1

    std::array<std::uint8_t, 100> logRecordBuffer{};
    std::uint8_t serialByte = 0;
    std::array<std::uint8_t, 4> openKey{};
    std::array<std::uint8_t, 16> generatedKey{};
    std::array<std::uint8_t, 20> hashDigest{};
    std::array<std::uint8_t, 20> hashReply{};

    // Transfers of all loops under way (nested ones count). Such a transfer gives the
    // link to others between two loops; while it runs, nothing else may change a loop
    // record, here or at the controller.
    int loopTransfers = 0;

    ReadAsideCopies aside;

    // Where a configuration or loop reply is stored: the image, or the copy beside it
    // while a read-back has it open.
    // (A reply for a part a closed reader still waits for goes to the copy, unused.)
    MonitorConfig &configTarget(int page);
    UprLoopConfig &loopTarget(int n);
    UprLoopConfigExt &loopExtTarget(int n);

    UprLoopConfig &loop(int n);
    const UprLoopConfig &loop(int n) const;
    UprLoopConfigExt &loopExt(int n);
    const UprLoopConfigExt &loopExt(int n) const;

    bool hasExtendedLoops() const { return config.firmwareVersion > 23; }

    // The *.upr layout: 26 main records, then 26 extended ones on firmware above 23.
    std::size_t loopFileSize() const;
    std::vector<std::uint8_t> encodeLoopFile() const;
};

} // namespace vardex::link
