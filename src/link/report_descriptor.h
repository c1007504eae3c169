#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Report lengths from a HID report descriptor, as the OS's HID class driver states
// them for a device: per report type, the longest report over all report IDs, in
// whole bytes, plus one byte for the report ID (also when the device uses none,
// because the ID byte 0 is then put in front on the wire). 0 when the descriptor
// declares no report of that type.
//
// Descriptor items (HID 1.11, 6.2.2): a prefix byte tttt ttss with tag (bits 7..4),
// type (bits 3..2: 0 main, 1 global, 2 local) and data size (bits 1..0: 0, 1, 2 or
// 4 bytes, little-endian). Prefix 0xFE starts a long item: data size byte, tag
// byte, then that many data bytes.
namespace vardex::link {

struct ReportLengths {
    int input = 0;
    int output = 0;
    int feature = 0;
};

enum class DescriptorError {
    None,
    Truncated,           // an item runs past the end of the descriptor
    StackOverflow,       // too many nested Push items
    StackUnderflow,      // Pop without a Push
    BadReportId,         // Report ID 0 or above 255
    CollectionUnderflow, // End Collection without a Collection
    UnclosedCollection,  // the descriptor ends inside a collection
    ReportTooLong,       // a report beyond what a HID driver can describe
};

struct ParsedDescriptor {
    // Lengths of the reports declared before the first error (all of them when ok).
    ReportLengths lengths;
    DescriptorError error = DescriptorError::None;
    std::size_t errorOffset = 0; // byte offset of the item at fault
    bool usesReportIds = false;
    // Usage page and usage of the first application collection (0 when none).
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;

    bool ok() const { return error == DescriptorError::None; }
};

// Never reads outside desc; a malformed descriptor yields what was parsed up to the
// fault together with the error.
ParsedDescriptor parseReportDescriptor(std::span<const std::uint8_t> desc);

const char *descriptorErrorText(DescriptorError error);

} // namespace vardex::link
