#pragma once

#include "log/log_record.h"

#include <array>
#include <cstddef>

// The 84-byte record's layout as data: what tools that walk fields generically
// (dumps, checks of a file) use instead of repeating offsets.
namespace vardex::log {

enum class FieldType { U8, U16, I16, U32, F32 };

constexpr std::size_t fieldTypeSize(FieldType t)
{
    switch (t) {
    case FieldType::U8:
        return 1;
    case FieldType::U16:
    case FieldType::I16:
        return 2;
    case FieldType::U32:
    case FieldType::F32:
        return 4;
    }
    return 0;
}

struct LogField {
    const char *name;
    std::size_t offset;
    FieldType type;
    int count; // elements of this type, back to back

    constexpr std::size_t size() const { return fieldTypeSize(type) * count; }
};

inline constexpr std::array<LogField, 23> kLogFields = {{
    {"number", 0, FieldType::U32, 1},
    {"day", 4, FieldType::U8, 1},
    {"month", 5, FieldType::U8, 1},
    {"year", 6, FieldType::U8, 1},
    {"hour", 7, FieldType::U8, 1},
    {"minute", 8, FieldType::U8, 1},
    {"second", 9, FieldType::U8, 1},
    {"contacts", 10, FieldType::U8, 1},
    {"ttlInputs", 11, FieldType::U8, 1},
    {"analog", 12, FieldType::F32, kAnalogs},
    {"mains", 32, FieldType::F32, 1},
    {"temperatures", 36, FieldType::I16, kSensors},
    {"fanSpeeds", 48, FieldType::U16, kFans},
    {"ttlOutputState", 56, FieldType::U8, 1},
    {"switchState", 57, FieldType::U8, 1},
    {"relayState", 58, FieldType::U8, 1},
    {"ttlOutputControl", 59, FieldType::U8, 1},
    {"switchControl", 60, FieldType::U8, 1},
    {"relayControl", 61, FieldType::U8, 1},
    {"fanTasks", 62, FieldType::U8, kFans},
    {"flagGroups", 66, FieldType::U16, kFlagGroups},
    {"reserved", 82, FieldType::U16, 1},
    {nullptr, kRecordSize, FieldType::U8, 0}, // end marker
}};

// The table covers the record without gaps or overlaps, ending at 84.
constexpr bool fieldTableIsContiguous()
{
    for (std::size_t i = 0; i + 1 < kLogFields.size(); ++i) {
        if (kLogFields[i].offset + kLogFields[i].size() != kLogFields[i + 1].offset)
            return false;
    }
    return kLogFields.back().offset == kRecordSize;
}
static_assert(fieldTableIsContiguous());

} // namespace vardex::log
