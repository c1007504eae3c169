// Arbitrary bytes as a *.cfg file, loaded through the page's own load function over
// an image that already holds a configuration. Properties: the file's leading bytes
// (at most 224) replace the image's, the rest of the image stays as it was, and what
// is loaded saves and loads back unchanged.
#include "config/config_file.h"
#include "fuzz_files.h"

#include <algorithm>

using namespace vardex;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = fuzz::scratchPath("cfg");
    static const QString again = fuzz::scratchPath("2.cfg");
    fuzz::writeScratch(path, data, size);

    link::MonitorConfig::Bytes before{};
    for (std::size_t i = 0; i < before.size(); ++i)
        before[i] = static_cast<std::uint8_t>(0xA0 ^ (i * 7));
    link::MonitorConfig config = link::MonitorConfig::decode(before);
    const link::MonitorConfig::Bytes old = config.encode();

    const config::FileResult loaded = config::loadConfigFile(path, config);
    check(loaded.ok);
    const link::MonitorConfig::Bytes now = config.encode();
    const std::size_t n = std::min(size, now.size());
    check(std::equal(data, data + n, now.begin()));
    check(std::equal(old.begin() + static_cast<std::ptrdiff_t>(n), old.end(),
                     now.begin() + static_cast<std::ptrdiff_t>(n)));

    check(config::saveConfigFile(again, config).ok);
    const QByteArray saved = fuzz::readScratch(again);
    check(saved.size() == static_cast<qsizetype>(now.size()));
    check(std::equal(now.begin(), now.end(), reinterpret_cast<const std::uint8_t *>(saved.data())));
    link::MonitorConfig back{};
    check(config::loadConfigFile(again, back).ok);
    check(back.encode() == now);
    return 0;
}
