#include "link/reply_table.h"

namespace vardex::link {

bool isErrorReply(const Payload &reply)
{
    return reply[0] == 0xFF && reply[1] == 'E' && reply[2] == 'R' && reply[3] == 'R';
}

const ReplyTable &replyTable()
{
    static const ReplyTable table = [] {
        ReplyTable t{};
        return t;
    }();
    return table;
}

} // namespace vardex::link
