#pragma once

#include "link/device_image.h"

#include <array>
#include <cstdint>

// Bit coding of the extended loop record (UprLoopConfigExt) as its editor uses it.
//   TimerOff, TimerOn: units of 0.1 s, 0..600 from the editor
//   PulseNumber: whole pulses 0..255, 0 = without end
//   Logic: 255 = inputs combined by AND, 0 = not; any non-zero byte reads as AND
//   UsbMode: bit 1 USB activity is an input, bit 0 it is inverted, bit 3 USB +5 V is
//            an input, bit 2 it is inverted; bits 4..7 are kept as they are
//   Dimmer: 0..255
//   OutputMask: bit k-1 = output k (1..26) takes part; bits 26..31 unassigned
namespace vardex::loops::ext {

inline constexpr std::uint8_t kLogicAnd = 255;

inline constexpr std::uint8_t kUsbActivityInverted = 0x01;
inline constexpr std::uint8_t kUsbActivity = 0x02;
inline constexpr std::uint8_t kUsbPowerInverted = 0x04;
inline constexpr std::uint8_t kUsbPower = 0x08;

inline constexpr int kTimerMax = 600;
inline constexpr int kPulseMax = 255;
inline constexpr int kDimmerMax = 255;

inline bool logicIsAnd(std::uint8_t logic)
{
    return logic != 0;
}
inline std::uint8_t logicFor(bool andChecked)
{
    return andChecked ? kLogicAnd : 0;
}

inline bool hasBits(std::uint8_t value, std::uint8_t bits)
{
    return (value & bits) == bits;
}
std::uint8_t withBits(std::uint8_t value, std::uint8_t bits, bool set);

// Clamped to 0..600, rounded to nearest with ties to even.
std::uint16_t timerFromShown(double shown);
// Clamped to 0..255, whole pulses only (truncated).
std::uint8_t pulseFromShown(double shown);
// Clamped to 0..255, rounded to nearest.
std::uint8_t dimmerFromShown(double shown);

// One item of the output list: output k of a loop's extended box.
struct OutputItem {
    bool enabled = false;
    bool checked = false;
};
using OutputItems = std::array<OutputItem, link::kLoopCount>;

// How the list shows loop n's mask: only enabled outputs other than the loop's own
// can be checked.
OutputItems outputItems(const link::MonitorConfig &config, int n, std::uint32_t mask);
// The mask the list stands for after a user change: the checked, enabled items. Any
// bit of a disabled or own output, and bits 26..31, are dropped.
std::uint32_t outputMask(const OutputItems &items);

} // namespace vardex::loops::ext
