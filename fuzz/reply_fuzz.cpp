// Feeds arbitrary bytes, cut into 64-byte reply payloads (the last one zero-padded),
// through the reply table onto one device image, the way the data module's reply
// handler does, plus the stored-loop decoder the loop read-back runs on replies.
#include "link/protocol.h"
#include "link/reply_table.h"
#include "link/stored_loop.h"

#include <algorithm>
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

void feed(const Payload &p, DeviceImage &image)
{
    if (isErrorReply(p))
        return;
    if (const ReplyEntry entry = replyTable()[p[pos::Code]]) {
        const ReplyOutcome outcome = entry(p, image);
        check(outcome == ReplyOutcome::Accepted || outcome == ReplyOutcome::Ignored);
    }

    std::array<std::uint8_t, 100> buffer{};
    const std::size_t copied = protocol::copyLogRecordHalf(p, buffer);
    const std::size_t offset = std::size_t{protocol::kLogHalf} * p[pos::Sub];
    check(copied <= std::size_t{protocol::kLogHalf} &&
          (copied == 0 || offset + copied <= buffer.size()));

    const auto block = std::span(p).subspan<pos::Data, loopcodec::kStoredLoopSize>();
    const UprLoopConfig stored = loopcodec::decodeStoredLoop(block);
    check(stored.analogUse <= 0x3F && stored.hostControl <= 3);
    check(loopcodec::storedLoopEquals(stored, stored));
    // Re-encoding gives the block back, less the mode bits of inputs that do not exist
    // (six analog channels, six sensors).
    std::array<std::uint8_t, loopcodec::kStoredLoopSize> expected{};
    std::ranges::copy(block, expected.begin());
    expected[6] &= 0x3F;
    expected[7] &= 0x3F;
    check(loopcodec::encodeStoredLoop(stored) == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    DeviceImage image;
    std::size_t at = 0;
    do {
        Payload p{};
        const std::size_t n = std::min(kPayloadSize, size - at);
        std::copy_n(data + at, n, p.begin());
        feed(p, image);
        at += n;
    } while (at < size);
    return 0;
}
