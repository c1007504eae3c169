// Arbitrary bytes as a *.cfg file, held in memory and put through the rule every page
// and command applies before a file can reach a controller. The first byte says whether
// the engineer asked for an overlay. Properties: a file of another size than 224 bytes
// changes nothing unless laid over on request; what is laid over replaces exactly the
// file's leading bytes; what is loaded encodes and decodes back unchanged.
#include "config/config_file.h"
#include "fuzz_files.h"

#include <algorithm>
#include <span>

using namespace vardex;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool overlay = data[0] & 1;
    ++data;
    --size;
    const std::span<const std::uint8_t> file(data, size);

    link::MonitorConfig::Bytes before{};
    for (std::size_t i = 0; i < before.size(); ++i)
        before[i] = static_cast<std::uint8_t>(0xA0 ^ (i * 7));
    link::MonitorConfig config = link::MonitorConfig::decode(before);

    const bool whole = size == static_cast<std::size_t>(config::kConfigFileSize);
    const bool laid = config::applyConfigFileBytes(file, config, overlay);
    check(laid == (whole || overlay));
    const link::MonitorConfig::Bytes now = config.encode();
    if (!laid) {
        check(now == before);
        return 0;
    }
    const std::size_t n = std::min(size, now.size());
    check(std::equal(data, data + n, now.begin()));
    check(std::equal(before.begin() + static_cast<std::ptrdiff_t>(n), before.end(),
                     now.begin() + static_cast<std::ptrdiff_t>(n)));
    // Saved and loaded again (in memory): the same 224 bytes.
    check(link::MonitorConfig::decode(now).encode() == now);
    return 0;
}
