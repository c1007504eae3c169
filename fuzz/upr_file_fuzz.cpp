// Arbitrary bytes as a *.upr file, loaded through the page's own load function over
// an image that holds loops, for firmware 23 (main records only) and 24 (main and
// extended). Properties: the leading bytes the firmware can take replace the
// image's, everything else stays, and what is loaded saves and loads back unchanged.
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
    static const QString path = fuzz::scratchPath("upr");
    static const QString again = fuzz::scratchPath("2.upr");
    if (size == 0)
        return 0;
    // The first byte picks the firmware; the rest is the file.
    const std::uint8_t firmware = (data[0] & 1) ? 24 : 23;
    ++data;
    --size;
    fuzz::writeScratch(path, data, size);

    link::DeviceImage image;
    image.config.firmwareVersion = firmware;
    fillLoops(image);
    const std::vector<std::uint8_t> old = loopBytes(image);

    check(loops::loadLoopFile(path, image).ok);
    const std::vector<std::uint8_t> now = loopBytes(image);
    const std::size_t takes = firmware > 23 ? loops::kLoopFileMainSize + loops::kLoopFileExtSize
                                            : loops::kLoopFileMainSize;
    const std::size_t n = std::min(size, takes);
    check(std::equal(data, data + n, now.begin()));
    check(std::equal(old.begin() + static_cast<std::ptrdiff_t>(n), old.end(),
                     now.begin() + static_cast<std::ptrdiff_t>(n)));

    check(loops::saveLoopFile(again, image).ok);
    const QByteArray saved = fuzz::readScratch(again);
    check(saved.size() == static_cast<qsizetype>(takes));
    check(std::equal(now.begin(), now.begin() + static_cast<std::ptrdiff_t>(takes),
                     reinterpret_cast<const std::uint8_t *>(saved.data())));
    link::DeviceImage back;
    back.config.firmwareVersion = firmware;
    check(loops::loadLoopFile(again, back).ok);
    const std::vector<std::uint8_t> reloaded = loopBytes(back);
    check(std::equal(now.begin(), now.begin() + static_cast<std::ptrdiff_t>(takes),
                     reloaded.begin()));
    return 0;
}
