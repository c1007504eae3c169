// Arbitrary bytes as a HID report descriptor: the parser reads every device's
// descriptor before the program knows what the device is, so it must stay inside
// the bytes it was given and report a sane result for any of them.
#include "link/report_descriptor.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace vardex::link;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const ParsedDescriptor parsed = parseReportDescriptor(bytes);
    check(parsed.lengths.input >= 0 && parsed.lengths.output >= 0 && parsed.lengths.feature >= 0);
    if (parsed.ok())
        check(parsed.error == DescriptorError::None);
    else
        check(parsed.errorOffset < size || size == 0);
    check(descriptorErrorText(parsed.error) != nullptr);
    // The same bytes give the same answer (no hidden state between calls).
    const ParsedDescriptor again = parseReportDescriptor(bytes);
    check(again.lengths.input == parsed.lengths.input &&
          again.lengths.output == parsed.lengths.output &&
          again.lengths.feature == parsed.lengths.feature && again.error == parsed.error);
    return 0;
}
