// Arbitrary bytes as a *.upr file held in memory, put through the rule every page and
// command applies before a file can reach a controller, over an image that holds loops,
// for firmware 23 (main records only) and 24 (main and extended). Properties: a file of
// another size than 2132 or 2444 bytes changes nothing unless laid over on request;
// otherwise the leading bytes the firmware can take replace the image's, everything else
// stays, and what is loaded saves and loads back unchanged.
#include "fuzz_files.h"
#include "loops/loop_file.h"

#include <algorithm>
#include <vector>

using namespace vardex;
using fuzz::check;

namespace {

// The image's loops as the file lays them out: main records, then the extended ones.
std::vector<std::uint8_t> loopBytes(const link::DeviceImage &image)
{
    std::vector<std::uint8_t> out;
    for (int n = 1; n <= link::kLoopCount; ++n) {
        const auto b = image.loop(n).encode();
        out.insert(out.end(), b.begin(), b.end());
    }
    for (int n = 1; n <= link::kLoopCount; ++n) {
        const auto b = image.loopExt(n).encode();
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

void fillLoops(link::DeviceImage &image)
{
    for (int n = 1; n <= link::kLoopCount; ++n) {
        link::UprLoopConfig::Bytes main{};
        for (std::size_t i = 0; i < main.size(); ++i)
            main[i] = static_cast<std::uint8_t>((n * 31 + i * 3) & 0x01);
        image.loop(n) = link::UprLoopConfig::decode(main);
        link::UprLoopConfigExt::Bytes ext{};
        for (std::size_t i = 0; i < ext.size(); ++i)
            ext[i] = static_cast<std::uint8_t>(n + i);
        image.loopExt(n) = link::UprLoopConfigExt::decode(ext);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the firmware and whether an overlay was asked for; the rest is
    // the file, held in memory.
    const std::uint8_t firmware = (data[0] & 1) ? 24 : 23;
    const bool overlay = data[0] & 2;
    ++data;
    --size;

    link::DeviceImage image;
    image.config.firmwareVersion = firmware;
    fillLoops(image);
    const std::vector<std::uint8_t> old = loopBytes(image);

    const std::size_t takes = firmware > 23 ? loops::kLoopFileMainSize + loops::kLoopFileExtSize
                                            : loops::kLoopFileMainSize;
    const bool whole = loops::isLoopFileSize(static_cast<qint64>(size));
    const bool laid = loops::applyLoopFileBytes(std::span(data, size), image, overlay);
    check(laid == (whole || overlay));
    const std::vector<std::uint8_t> now = loopBytes(image);
    if (!laid) {
        check(now == old);
        return 0;
    }
    const std::size_t n = std::min(size, takes);
    check(std::equal(data, data + n, now.begin()));
    check(std::equal(old.begin() + static_cast<std::ptrdiff_t>(n), old.end(),
                     now.begin() + static_cast<std::ptrdiff_t>(n)));

    // What the image now holds saves as a whole file that loads back unchanged.
    const std::vector<std::uint8_t> saved = image.encodeLoopFile();
    check(saved.size() == takes);
    check(std::equal(now.begin(), now.begin() + static_cast<std::ptrdiff_t>(takes), saved.begin()));
    link::DeviceImage back;
    back.config.firmwareVersion = firmware;
    check(loops::applyLoopFileBytes(saved, back, false));
    const std::vector<std::uint8_t> reloaded = loopBytes(back);
    check(std::equal(now.begin(), now.begin() + static_cast<std::ptrdiff_t>(takes),
                     reloaded.begin()));
    return 0;
}
