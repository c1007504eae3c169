#pragma once

#include "common/channel_names.h"

#include <QString>

#include <array>

// What the graph wizard chooses and the graph window draws: up to twelve graphs, each a
// logged quantity, over the records of one year within a range of store slots. Lives as
// long as the program, so a second opening starts from the last choices.
namespace vardex::log {

inline constexpr int kGraphs = 12;
inline constexpr int kGraphParameters = 25;
// The list entry after the parameters in lists 2..12; like "nothing selected" it names no
// quantity.
inline constexpr int kNoParameter = -1;

struct GraphSelection {
    std::array<bool, kGraphs> enabled{};
    std::array<int, kGraphs> parameter = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    int year = 11;             // years since 2000
    int first = 1;             // first store slot
    int last = 1;              // last store slot; 1 means "not chosen yet"
    bool yearProposed = false; // the newest record's year was offered once
};

inline bool isGraphParameter(int index)
{
    return index >= 0 && index < kGraphParameters;
}

// The wizard's list texts and the graph window's captions; "" for no parameter.
QString parameterListText(int index, const ChannelNames &names = defaultChannelNames());
QString parameterCaption(int index, const ChannelNames &names = defaultChannelNames());

// What a parameter's values are: their unit ("" for bit bytes) and the value axis it is
// drawn against, shared by one kind of quantity (volts, degrees, fan rpm and per cent,
// bit bytes).
struct ParameterKind {
    QString unit;
    QString axis;
};
ParameterKind parameterKind(int index);

} // namespace vardex::log
