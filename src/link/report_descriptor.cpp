#include "link/report_descriptor.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <vector>

namespace vardex::link {

namespace {

constexpr std::uint8_t kLongItemPrefix = 0xFE;

// Item types (prefix bits 3..2).
constexpr int kMain = 0;
constexpr int kGlobal = 1;
constexpr int kLocal = 2;

// Main item tags.
constexpr int kInput = 0x8;
constexpr int kOutput = 0x9;
constexpr int kCollection = 0xA;
constexpr int kFeature = 0xB;
constexpr int kEndCollection = 0xC;

// Global item tags.
constexpr int kUsagePage = 0x0;
constexpr int kReportSize = 0x7;
constexpr int kReportId = 0x8;
constexpr int kReportCount = 0x9;
constexpr int kPush = 0xA;
constexpr int kPop = 0xB;

// Local item tags.
constexpr int kUsage = 0x0;

constexpr std::uint32_t kApplicationCollection = 0x01;

// The driver's lengths are 16-bit and include the ID byte.
constexpr std::uint64_t kMaxReportBits = std::uint64_t{0xFFFF - 1} * 8;
// Kernels allow a handful of Push levels; anything deeper is a broken descriptor.
constexpr std::size_t kMaxPushDepth = 16;

struct GlobalState {
    std::uint32_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0; // 0 while the descriptor has declared none
};

enum ReportType { Input = 0, Output = 1, Feature = 2, TypeCount = 3 };

struct ReportBits {
    std::array<std::array<std::uint64_t, 256>, TypeCount> bits{};
    std::array<std::bitset<256>, TypeCount> present;

    int length(ReportType type) const
    {
        std::uint64_t longest = 0;
        bool any = false;
        for (std::size_t id = 0; id < 256; ++id) {
            if (!present[type][id])
                continue;
            any = true;
            longest = std::max(longest, bits[type][id]);
        }
        return any ? static_cast<int>((longest + 7) / 8 + 1) : 0;
    }
};

std::uint32_t itemValue(std::span<const std::uint8_t> data)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < data.size(); ++i)
        v |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    return v;
}

} // namespace

ParsedDescriptor parseReportDescriptor(std::span<const std::uint8_t> desc)
{
    ParsedDescriptor result;
    ReportBits reports;
    GlobalState global;
    std::vector<GlobalState> stack;
    int collectionDepth = 0;
    bool haveUsage = false; // a Usage local item since the last main item
    std::uint32_t firstUsage = 0;
    bool haveApplication = false;

    auto fail = [&](DescriptorError error, std::size_t at) {
        result.error = error;
        result.errorOffset = at;
    };

    std::size_t at = 0;
    while (at < desc.size() && result.ok()) {
        const std::uint8_t prefix = desc[at];
        if (prefix == kLongItemPrefix) {
            // Long items carry vendor data only; nothing in them affects lengths.
            if (desc.size() - at < 3) {
                fail(DescriptorError::Truncated, at);
                break;
            }
            const std::size_t dataSize = desc[at + 1];
            if (desc.size() - at - 3 < dataSize) {
                fail(DescriptorError::Truncated, at);
                break;
            }
            at += 3 + dataSize;
            continue;
        }

        const std::size_t sizeCode = prefix & 0x3;
        const std::size_t dataSize = sizeCode == 3 ? 4 : sizeCode;
        const int type = (prefix >> 2) & 0x3;
        const int tag = prefix >> 4;
        if (desc.size() - at - 1 < dataSize) {
            fail(DescriptorError::Truncated, at);
            break;
        }
        const std::uint32_t value = itemValue(desc.subspan(at + 1, dataSize));
        const std::size_t itemAt = at;
        at += 1 + dataSize;

        if (type == kGlobal) {
            switch (tag) {
            case kUsagePage:
                global.usagePage = value;
                break;
            case kReportSize:
                global.reportSize = value;
                break;
            case kReportCount:
                global.reportCount = value;
                break;
            case kReportId:
                if (value == 0 || value > 255) {
                    fail(DescriptorError::BadReportId, itemAt);
                    break;
                }
                global.reportId = value;
                result.usesReportIds = true;
                break;
            case kPush:
                if (stack.size() >= kMaxPushDepth) {
                    fail(DescriptorError::StackOverflow, itemAt);
                    break;
                }
                stack.push_back(global);
                break;
            case kPop:
                if (stack.empty()) {
                    fail(DescriptorError::StackUnderflow, itemAt);
                    break;
                }
                global = stack.back();
                stack.pop_back();
                break;
            default: // logical/physical extents, units: no bearing on lengths
                break;
            }
            continue;
        }

        if (type == kLocal) {
            if (tag == kUsage && !haveUsage) {
                haveUsage = true;
                // A 4-byte usage names its own page in the high half.
                firstUsage = dataSize == 4 ? value : (global.usagePage << 16) | (value & 0xFFFF);
            }
            continue;
        }

        if (type != kMain)
            continue; // reserved item type: skipped like an unknown tag

        switch (tag) {
        case kInput:
        case kOutput:
        case kFeature: {
            const ReportType rt = tag == kInput ? Input : tag == kOutput ? Output : Feature;
            const std::uint64_t bits =
                std::uint64_t{global.reportSize} * std::uint64_t{global.reportCount};
            // A field without bits puts nothing on the wire and declares no report.
            if (bits == 0)
                break;
            std::uint64_t &total = reports.bits[rt][global.reportId];
            total += bits; // cannot wrap: total <= kMaxReportBits, bits < 2^64 - 2^33
            if (total > kMaxReportBits) {
                total = 0;
                fail(DescriptorError::ReportTooLong, itemAt);
                break;
            }
            reports.present[rt][global.reportId] = true;
            break;
        }
        case kCollection:
            ++collectionDepth;
            if (!haveApplication && collectionDepth == 1 && value == kApplicationCollection) {
                haveApplication = true;
                result.usagePage = static_cast<std::uint16_t>(firstUsage >> 16);
                result.usage = static_cast<std::uint16_t>(firstUsage & 0xFFFF);
            }
            break;
        case kEndCollection:
            if (collectionDepth == 0) {
                fail(DescriptorError::CollectionUnderflow, itemAt);
                break;
            }
            --collectionDepth;
            break;
        default:
            break;
        }
        // Local items describe the next main item only.
        haveUsage = false;
        firstUsage = 0;
    }

    if (result.ok() && collectionDepth != 0)
        fail(DescriptorError::UnclosedCollection, desc.size());

    result.lengths.input = reports.length(Input);
    result.lengths.output = reports.length(Output);
    result.lengths.feature = reports.length(Feature);
    return result;
}

const char *descriptorErrorText(DescriptorError error)
{
    switch (error) {
    case DescriptorError::None:
        return "no error";
    case DescriptorError::Truncated:
        return "item runs past the end of the descriptor";
    case DescriptorError::StackOverflow:
        return "Push nested too deeply";
    case DescriptorError::StackUnderflow:
        return "Pop without Push";
    case DescriptorError::BadReportId:
        return "report ID out of range 1..255";
    case DescriptorError::CollectionUnderflow:
        return "End Collection without Collection";
    case DescriptorError::UnclosedCollection:
        return "collection not closed";
    case DescriptorError::ReportTooLong:
        return "report too long";
    }
    return "unknown error";
}

} // namespace vardex::link
