#include "loops/loop_file.h"

#include <algorithm>

namespace vardex::loops {

namespace {

// Copies the part of [from, from + Record::kSize) that the file has over the record.
template <typename Record>
void overlayRecord(std::span<const std::uint8_t> file, std::size_t from, Record &record)
{
    if (from >= file.size())
        return;
    auto bytes = record.encode();
    const std::size_t n = std::min(bytes.size(), file.size() - from);
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(from), n, bytes.begin());
    record = Record::decode(bytes);
}

} // namespace

void applyLoopFile(std::span<const std::uint8_t> file, link::DeviceImage &image)
{
    for (std::size_t i = 0; i < image.loops.size(); ++i)
        overlayRecord(file, i * link::UprLoopConfig::kSize, image.loops[i]);
    if (!image.hasExtendedLoops())
        return;
    for (std::size_t i = 0; i < image.loopExts.size(); ++i)
        overlayRecord(file, kLoopFileMainSize + i * link::UprLoopConfigExt::kSize,
                      image.loopExts[i]);
}

bool isLoopFileSize(qint64 size)
{
    return size == static_cast<qint64>(kLoopFileMainSize) ||
           size == static_cast<qint64>(kLoopFileMainSize + kLoopFileExtSize);
}

bool applyLoopFileBytes(std::span<const std::uint8_t> file, link::DeviceImage &image, bool overlay)
{
    if (!isLoopFileSize(static_cast<qint64>(file.size())) && !overlay)
        return false;
    applyLoopFile(file, image);
    return true;
}

files::FileResult saveLoopFile(const QString &path, const link::DeviceImage &image)
{
    const std::vector<std::uint8_t> bytes = image.encodeLoopFile();
    return files::saveAtomically(path, QByteArray(reinterpret_cast<const char *>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size())));
}

files::ReadResult readLoopFile(const QString &path, const link::DeviceImage &image)
{
    // Never more than the image can take, whatever the file's size.
    const std::size_t wanted =
        image.hasExtendedLoops() ? kLoopFileMainSize + kLoopFileExtSize : kLoopFileMainSize;
    return files::readBounded(path, static_cast<qint64>(wanted));
}

files::FileResult loadLoopFile(const QString &path, link::DeviceImage &image)
{
    const files::ReadResult file = readLoopFile(path, image);
    if (file.ok)
        applyLoopFile(std::span(reinterpret_cast<const std::uint8_t *>(file.bytes.data()),
                                static_cast<std::size_t>(file.bytes.size())),
                      image);
    return file;
}

void clearLoops(link::DeviceImage &image)
{
    for (auto &l : image.loops) {
        l.clearInputs();
        l.contactMode.fill(0);
        l.ttlInputMode.fill(0);
        l.analogMode.fill(0);
        l.temperMode.fill(0);
    }
    image.loopExts.fill(link::UprLoopConfigExt{});
}

} // namespace vardex::loops
