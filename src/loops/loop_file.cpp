#include "loops/loop_file.h"

#include <QFile>
#include <QSaveFile>

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

bool saveLoopFile(const QString &path, const link::DeviceImage &image, QString *error)
{
    const std::vector<std::uint8_t> bytes = image.encodeLoopFile();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char *>(bytes.data()), size) != size) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool loadLoopFile(const QString &path, link::DeviceImage &image, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    // Never more than the image can take, whatever the file's size.
    const qint64 wanted = static_cast<qint64>(
        image.hasExtendedLoops() ? kLoopFileMainSize + kLoopFileExtSize : kLoopFileMainSize);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(wanted));
    qint64 got = 0;
    while (got < wanted) {
        const qint64 r = file.read(reinterpret_cast<char *>(bytes.data()) + got, wanted - got);
        if (r < 0) {
            *error = file.errorString();
            return false;
        }
        if (r == 0)
            break;
        got += r;
    }
    bytes.resize(static_cast<std::size_t>(got));
    applyLoopFile(bytes, image);
    return true;
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
