#include "config/cfg_exchange.h"

#include "link/data_module.h"
#include "link/protocol.h"

namespace vardex::config {

ReadOutcome readConfig(link::DataModule &dm, const link::ShowMessage &showMessage)
{
    if (!link::readConfiguration(dm, showMessage))
        return ReadOutcome::NoReply;
    if (dm.waitReply(kPage3WaitMs))
        return ReadOutcome::Complete;
    dm.waitReply(link::kConfigPageTimeoutMs - kPage3WaitMs);
    return ReadOutcome::Page3Late;
}

void writeConfig(link::DataModule &dm)
{
    for (int page = 0; page < link::protocol::kConfigPages; ++page) {
        if (page > 0)
            dm.waitReply(kWritePageWaitMs);
        const auto request = link::protocol::writeConfigPage(page, dm.image().config);
        if (request)
            dm.send(*request.payload);
    }
    dm.waitReply(kWritePageWaitMs);
}

} // namespace vardex::config
