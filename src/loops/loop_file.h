#pragma once

#include "files/file_io.h"
#include "link/device_image.h"

#include <QString>

#include <cstdint>
#include <span>

// The *.upr file: a raw little-endian dump without header or checksum.
//   offset 82*(k-1),        82 bytes: UprLoopConfig of loop k = 1..26 (2132 bytes)
//   offset 2132 + 12*(k-1), 12 bytes: UprLoopConfigExt of loop k, present only when
//                                     the file was saved with FirmwareVersion > 23
// So a file is 2132 or 2444 bytes. The firmware version in the image at the moment of
// saving or loading decides whether the extended block is written or read.
namespace vardex::loops {

inline constexpr std::size_t kLoopFileMainSize = link::kLoopCount * link::UprLoopConfig::kSize;
inline constexpr std::size_t kLoopFileExtSize = link::kLoopCount * link::UprLoopConfigExt::kSize;
static_assert(kLoopFileMainSize == 2132);
static_assert(kLoopFileMainSize + kLoopFileExtSize == 2444);

// Puts the leading bytes of a file into the image: the main block, then the extended
// block only when the image's firmware has one. A short file fills only the bytes it
// has (a partial record keeps the rest of its old bytes); extra bytes are ignored.
void applyLoopFile(std::span<const std::uint8_t> file, link::DeviceImage &image);

// Whether a file of this size is one the format has (2132 or 2444 bytes).
bool isLoopFileSize(qint64 size);
inline const QString kLoopFileSizes = QStringLiteral("2132 или 2444");
// The rule on a file held in memory, as for *.cfg: a file of the format's own size is
// laid over the image, another size only with overlay. Returns whether the image changed.
bool applyLoopFileBytes(std::span<const std::uint8_t> file, link::DeviceImage &image, bool overlay);

// Writes the image's loops atomically (the old file stays intact on failure).
files::FileResult saveLoopFile(const QString &path, const link::DeviceImage &image);
// Reads at most what the image's firmware can take (fileSize tells the size on disk).
files::ReadResult readLoopFile(const QString &path, const link::DeviceImage &image);
// Both halves at once; the image changes only when the file was read without an error.
files::FileResult loadLoopFile(const QString &path, link::DeviceImage &image);

// Zeroes the inputs, levels and modes of every loop and its whole extended record;
// the fill byte at offset 5 stays.
void clearLoops(link::DeviceImage &image);

} // namespace vardex::loops
