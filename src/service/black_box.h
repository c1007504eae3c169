#pragma once

#include "link/operation.h"

#include <QJsonObject>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The controller's black box of service counters: 58 bytes at 0x1C00, little-endian.
//   0 u16 program updates      2 6 x u8 date (three bytes) and h, m, s of the last one
//   8 u16 configuration updates 10 its date-time
//  16 u16 control-loop updates 18 its date-time
//  24 u32 power-ons  28 u32 switches to battery  32 u32 battery offs
//  36 u32 last battery working time  40 u32 total battery working time (both shown halved)
//  44 6 x u8 date-time of the last switch to battery   50..57 not shown
namespace vardex::service {

inline constexpr int kBlackBoxAddress = 0x1C00;
inline constexpr std::size_t kBlackBoxSize = 58;
inline constexpr int kBlackBoxTimeoutMs = 100;

using Stamp = std::array<std::uint8_t, 6>;

struct BlackBox {
    std::uint16_t programUpdates = 0;
    Stamp programStamp{};
    std::uint16_t configUpdates = 0;
    Stamp configStamp{};
    std::uint16_t loopUpdates = 0;
    Stamp loopStamp{};
    std::uint32_t powerOns = 0;
    std::uint32_t batteryOns = 0;
    std::uint32_t batteryOffs = 0;
    std::uint32_t lastBatteryTime = 0;
    std::uint32_t totalBatteryTime = 0;
    Stamp batteryStamp{};
};

BlackBox decodeBlackBox(std::span<const std::uint8_t, kBlackBoxSize> bytes);

// "12 3-5-11 14:7:9": the count, the date bytes joined by "-", the time by ":".
QString countWithStamp(std::uint32_t count, const Stamp &stamp);

// The eight texts of the page, in its order.
struct BlackBoxTexts {
    QString progUpdate, configUpdate, uprUpdate, powerOn, batOn, batOff, batWorkLast, batWorkSum;
};
BlackBoxTexts blackBoxTexts(const BlackBox &box);

// The texts with the captions the watchdog page shows them under, in its order.
struct BlackBoxCaption {
    const char *caption;
    QString BlackBoxTexts::*text;
};
inline constexpr BlackBoxCaption kBlackBoxCaptions[] = {
    {"Обновление ", &BlackBoxTexts::progUpdate},
    {"Конфигурация", &BlackBoxTexts::configUpdate},
    {"Контур управления", &BlackBoxTexts::uprUpdate},
    {"Вкл.", &BlackBoxTexts::powerOn},
    {"Вкл.бат", &BlackBoxTexts::batOn},
    {"Бат.выкл", &BlackBoxTexts::batOff},
    {"Бат.послед", &BlackBoxTexts::batWorkLast},
    {"Бат.сумм", &BlackBoxTexts::batWorkSum},
};

// Every counter and stamp under a stable name, for scripts.
QJsonObject blackBoxJson(const BlackBox &box);

struct BlackBoxRead {
    link::OpResult result;
    std::optional<BlackBox> box; // only with a memory reply in time
};

// MemoryRead of the block, 100 ms for the reply. No reply, an error reply or a reply to
// something else leaves no box: the page keeps what it showed.
BlackBoxRead readBlackBox(link::OperationContext &ctx);

} // namespace vardex::service
