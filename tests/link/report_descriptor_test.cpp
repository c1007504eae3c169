#include "link/report_descriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace vardex::link;

namespace {

using Desc = std::vector<std::uint8_t>;

ParsedDescriptor parse(const Desc &d)
{
    return parseReportDescriptor(d);
}

// Vendor-defined page, one 64-byte input and one 64-byte output report, no report
// IDs: the usual layout of a generic HID controller board.
const Desc kVendorInOut = {
    0x06, 0x00, 0xFF, // Usage Page (Vendor 0xFF00)
    0x09, 0x01,       // Usage (1)
    0xA1, 0x01,       // Collection (Application)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x40,       //   Report Count (64)
    0x09, 0x01,       //   Usage (1)
    0x81, 0x02,       //   Input (Data, Var, Abs)
    0x09, 0x01,       //   Usage (1)
    0x91, 0x02,       //   Output (Data, Var, Abs)
    0xC0,             // End Collection
};

Desc withFeature(std::uint8_t count)
{
    Desc d = kVendorInOut;
    d.pop_back(); // End Collection
    const Desc feature = {0x95, count, 0x09, 0x01, 0xB1, 0x02, 0xC0};
    d.insert(d.end(), feature.begin(), feature.end());
    return d;
}

// The boot keyboard of the HID 1.11 appendix: 8 modifier bits, a reserved byte and
// six key codes in, five LED bits plus three padding bits out.
const Desc kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0,
};

// A composite device with numbered reports of different sizes:
// ID 1 mouse (3 buttons + 5 padding bits, X, Y, wheel) in 4 bytes,
// ID 2 consumer control in 2 bytes, plus a 2-byte output,
// ID 3 vendor input of 40 bytes and a vendor feature of 16 bytes,
// ID 4 vendor feature of 7 bytes.
const Desc kNumbered = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, // Generic Desktop / Mouse, Application
    0x85, 0x01,                         //   Report ID 1
    0x09, 0x01, 0xA1, 0x00,             //   Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, //     Buttons 1..3
    0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, //  3 x 1 bit
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,                         //     padding 5 bits
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38,             // X, Y, Wheel
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, // 3 x 8 bits
    0xC0,                                                       //   End Collection
    0xC0,                                                       // End Collection
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,                         // Consumer Control, Application
    0x85, 0x02,                                                 //   Report ID 2
    0x75, 0x10, 0x95, 0x01, 0x81, 0x00,                         //   1 x 16 bits in
    0x91, 0x02,                                                 //   1 x 16 bits out
    0xC0,                                                       // End Collection
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,                   // Vendor, Application
    0x85, 0x03,                                                 //   Report ID 3
    0x75, 0x08, 0x95, 0x28, 0x81, 0x02,                         //   40 bytes in
    0x95, 0x10, 0xB1, 0x02,                                     //   16 bytes feature
    0x85, 0x04,                                                 //   Report ID 4
    0x95, 0x07, 0xB1, 0x02,                                     //   7 bytes feature
    0xC0,                                                       // End Collection
};

} // namespace

TEST(ReportDescriptor, VendorReportsWithoutIdsGetTheIdByteAdded)
{
    const ParsedDescriptor p = parse(kVendorInOut);
    EXPECT_TRUE(p.ok());
    EXPECT_FALSE(p.usesReportIds);
    EXPECT_EQ(p.lengths.input, 65);
    EXPECT_EQ(p.lengths.output, 65);
    EXPECT_EQ(p.lengths.feature, 0);
    EXPECT_EQ(p.usagePage, 0xFF00);
    EXPECT_EQ(p.usage, 0x0001);
}

TEST(ReportDescriptor, FeatureReportIsCountedOnItsOwn)
{
    const ParsedDescriptor full = parse(withFeature(64));
    EXPECT_TRUE(full.ok());
    EXPECT_EQ(full.lengths.input, 65);
    EXPECT_EQ(full.lengths.output, 65);
    EXPECT_EQ(full.lengths.feature, 65);

    const ParsedDescriptor small = parse(withFeature(8));
    EXPECT_TRUE(small.ok());
    EXPECT_EQ(small.lengths.input, 65);
    EXPECT_EQ(small.lengths.output, 65);
    EXPECT_EQ(small.lengths.feature, 9);
}

TEST(ReportDescriptor, BitFieldsAddUpAndRoundToBytes)
{
    const ParsedDescriptor p = parse(kBootKeyboard);
    EXPECT_TRUE(p.ok());
    EXPECT_EQ(p.lengths.input, 9);  // 8 bits + 8 + 6 x 8 = 8 bytes
    EXPECT_EQ(p.lengths.output, 2); // 5 bits + 3 padding = 1 byte
    EXPECT_EQ(p.lengths.feature, 0);
    EXPECT_EQ(p.usagePage, 0x01);
    EXPECT_EQ(p.usage, 0x06);

    // A field that ends inside a byte still takes the whole byte.
    const Desc odd = {0x75, 0x01, 0x95, 0x03, 0x81, 0x02,  // 3 bits in
                      0x75, 0x03, 0x95, 0x03, 0x91, 0x02}; // 9 bits out
    const ParsedDescriptor q = parse(odd);
    EXPECT_TRUE(q.ok());
    EXPECT_EQ(q.lengths.input, 2);
    EXPECT_EQ(q.lengths.output, 3);
}

TEST(ReportDescriptor, NumberedReportsTakeTheLongestPerType)
{
    const ParsedDescriptor p = parse(kNumbered);
    EXPECT_TRUE(p.ok());
    EXPECT_TRUE(p.usesReportIds);
    EXPECT_EQ(p.lengths.input, 41);   // ID 3: 40 bytes (ID 1: 4, ID 2: 2)
    EXPECT_EQ(p.lengths.output, 3);   // ID 2: 2 bytes
    EXPECT_EQ(p.lengths.feature, 17); // ID 3: 16 bytes (ID 4: 7)
    EXPECT_EQ(p.usagePage, 0x01);     // the first application collection
    EXPECT_EQ(p.usage, 0x02);
}

TEST(ReportDescriptor, SameIdAcrossCollectionsIsOneReport)
{
    const Desc d = {0xA1, 0x01, 0x85, 0x05, 0x75, 0x08, 0x95, 0x0A, 0x81, 0x02,
                    0xC0, 0xA1, 0x01, 0x85, 0x05, 0x95, 0x0A, 0x81, 0x02, 0xC0};
    const ParsedDescriptor p = parse(d);
    EXPECT_TRUE(p.ok());
    EXPECT_EQ(p.lengths.input, 21);
}

TEST(ReportDescriptor, PopRestoresReportIdSizeAndCount)
{
    const Desc d = {
        0x85, 0x01, 0x75, 0x08, 0x95, 0x04, // ID 1, 4 x 8 bits
        0xA4,                               // Push
        0x85, 0x02, 0x75, 0x01, 0x95, 0x03, // ID 2, 3 x 1 bit
        0x81, 0x02,                         // Input -> ID 2
        0xB4,                               // Pop
        0x81, 0x02,                         // Input -> ID 1, 4 bytes
        0x81, 0x02,                         // Input -> ID 1, 4 more bytes
    };
    const ParsedDescriptor p = parse(d);
    EXPECT_TRUE(p.ok());
    EXPECT_EQ(p.lengths.input, 9);
}

TEST(ReportDescriptor, PopWithoutPushIsAnError)
{
    const Desc d = {0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xB4, 0x91, 0x02};
    const ParsedDescriptor p = parse(d);
    EXPECT_EQ(p.error, DescriptorError::StackUnderflow);
    EXPECT_EQ(p.errorOffset, 6u);
    EXPECT_EQ(p.lengths.input, 3); // what came before the fault
    EXPECT_EQ(p.lengths.output, 0);
}

TEST(ReportDescriptor, EndlessPushIsBounded)
{
    const Desc d(1000, 0xA4);
    const ParsedDescriptor p = parse(d);
    EXPECT_EQ(p.error, DescriptorError::StackOverflow);
    EXPECT_LT(p.errorOffset, 1000u);
}

TEST(ReportDescriptor, EveryTruncationIsReportedWithoutOverrun)
{
    const Desc full = withFeature(64);
    const ParsedDescriptor whole = parse(full);
    ASSERT_TRUE(whole.ok());
    for (std::size_t n = 0; n < full.size(); ++n) {
        // A heap copy of exactly n bytes, so a read past the end shows up under ASan.
        const Desc cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const ParsedDescriptor p = parse(cut);
        // From the Collection item on, no prefix is a complete descriptor.
        if (n >= 6) {
            EXPECT_FALSE(p.ok()) << "prefix of " << n << " bytes";
        }
        EXPECT_LE(p.errorOffset, n);
        EXPECT_LE(p.lengths.input, whole.lengths.input);
        EXPECT_LE(p.lengths.output, whole.lengths.output);
        EXPECT_LE(p.lengths.feature, whole.lengths.feature);
    }
}

TEST(ReportDescriptor, LongItemsAreSkippedWithinBounds)
{
    Desc d = kVendorInOut;
    const Desc longItem = {0xFE, 0x04, 0x12, 0x81, 0x02, 0x91, 0x02}; // data looks like items
    d.insert(d.begin() + 7, longItem.begin(), longItem.end());
    const ParsedDescriptor p = parse(d);
    EXPECT_TRUE(p.ok());
    EXPECT_EQ(p.lengths.input, 65);
    EXPECT_EQ(p.lengths.output, 65);

    const Desc emptyLong = {0xFE, 0x00, 0x20, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02};
    EXPECT_EQ(parse(emptyLong).lengths.input, 2);

    const Desc noHeader = {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xFE, 0x05};
    const ParsedDescriptor a = parse(noHeader);
    EXPECT_EQ(a.error, DescriptorError::Truncated);
    EXPECT_EQ(a.errorOffset, 6u);
    EXPECT_EQ(a.lengths.input, 2);

    const Desc shortData = {0xFE, 0xFF, 0x10, 0x01, 0x02, 0x03};
    EXPECT_EQ(parse(shortData).error, DescriptorError::Truncated);
}

TEST(ReportDescriptor, FourByteDataAndExtendedUsage)
{
    const Desc d = {
        0x0B, 0x01, 0x00, 0x00, 0xFF, // Usage (page 0xFF00, usage 1), 4-byte form
        0xA1, 0x01,                   // Collection (Application)
        0x77, 0x08, 0x00, 0x00, 0x00, //   Report Size (8), 4-byte form
        0x97, 0x40, 0x00, 0x00, 0x00, //   Report Count (64), 4-byte form
        0xB1, 0x02,                   //   Feature
        0xC0,
    };
    const ParsedDescriptor p = parse(d);
    EXPECT_TRUE(p.ok());
    EXPECT_EQ(p.lengths.feature, 65);
    EXPECT_EQ(p.usagePage, 0xFF00);
    EXPECT_EQ(p.usage, 0x0001);
}

TEST(ReportDescriptor, ReportIdOutOfRangeIsAnError)
{
    EXPECT_EQ(parse({0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}).error,
              DescriptorError::BadReportId);
    EXPECT_EQ(parse({0x84}).error, DescriptorError::BadReportId);             // no data means 0
    EXPECT_EQ(parse({0x86, 0x00, 0x01}).error, DescriptorError::BadReportId); // 256
}

TEST(ReportDescriptor, HugeFieldsDoNotOverflow)
{
    const Desc d = {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02};
    const ParsedDescriptor p = parse(d);
    EXPECT_EQ(p.error, DescriptorError::ReportTooLong);
    EXPECT_EQ(p.lengths.input, 0);

    // Many fields that pass the limit only together.
    Desc many = {0x75, 0x08, 0x96, 0x00, 0x40}; // 16384 bytes per Input item
    for (int i = 0; i < 4; ++i)
        many.insert(many.end(), {0x81, 0x02});
    const ParsedDescriptor q = parse(many);
    EXPECT_EQ(q.error, DescriptorError::ReportTooLong);
    EXPECT_EQ(q.errorOffset, 11u);
}

TEST(ReportDescriptor, UnbalancedCollectionsAreErrors)
{
    EXPECT_EQ(parse({0xC0}).error, DescriptorError::CollectionUnderflow);
    const ParsedDescriptor open =
        parse({0xA1, 0x01, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02, 0x91, 0x02});
    EXPECT_EQ(open.error, DescriptorError::UnclosedCollection);
    EXPECT_EQ(open.lengths.input, 65); // the reports are still known
}

TEST(ReportDescriptor, FieldsWithoutBitsDeclareNoReport)
{
    const Desc d = {0x75, 0x08, 0x95, 0x00, 0xB1, 0x02, 0x95, 0x40, 0x81, 0x02};
    const ParsedDescriptor p = parse(d);
    EXPECT_TRUE(p.ok());
    EXPECT_EQ(p.lengths.feature, 0);
    EXPECT_EQ(p.lengths.input, 65);
}
