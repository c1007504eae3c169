#include "link/loop_verify.h"

#include "link/operation.h"
#include "link/protocol.h"
#include "link/stored_loop.h"

namespace vardex::link {

bool verifyLoop(OperationContext &link, int n)
{
    if (n < 1 || n > kLoopCount)
        return false;
    return verifyLoopAsSent(link, n, link.image().loop(n));
}

bool verifyLoopAsSent(OperationContext &link, int n, const UprLoopConfig &sent)
{
    if (n < 1 || n > kLoopCount)
        return false;
    link.send(protocol::memoryRead(loopcodec::storedLoopAddress(n),
                                   static_cast<int>(loopcodec::kStoredLoopSize)));
    // Without the memory reply the buffer holds our own request or some other reply;
    // comparing against that would only report a phantom difference (or a match).
    if (!link.waitReply(kVerifyLoopTimeoutMs))
        return false;
    const Payload reply = link.lastReply();
    if (reply[pos::Code] != protocol::code::MemoryRead)
        return false;
    const auto block = std::span(reply).subspan<pos::Data, loopcodec::kStoredLoopSize>();
    return loopcodec::storedLoopEquals(loopcodec::decodeStoredLoop(block), sent);
}

} // namespace vardex::link
