#include "link/config_transfer.h"

#include "link/data_module.h"
#include "link/disconnect_text.h"
#include "link/protocol.h"

namespace vardex::link {

bool readConfiguration(DataModule &link, const ShowMessage &showMessage)
{
    for (int page = 0; page < protocol::kConfigPages - 1; ++page) {
        link.send(protocol::readConfigPage(page));
        if (!link.waitReply(kConfigPageTimeoutMs)) {
            // A window closing mid-read ends the waits; that is not the controller's fault.
            if (showMessage && !link.isShuttingDown())
                showMessage(deviceLost(link) ? kDisconnectedText
                                             : QStringLiteral("Нет ответа контроллера"));
            return false;
        }
    }
    link.send(protocol::readConfigPage(protocol::kConfigPages - 1));
    return true;
}

} // namespace vardex::link
