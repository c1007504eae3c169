#include "link/config_transfer.h"

#include "link/disconnect_text.h"
#include "link/operation.h"
#include "link/protocol.h"

namespace vardex::link {

bool readConfiguration(OperationContext &ctx, const ShowMessage &showMessage)
{
    for (int page = 0; page < protocol::kConfigPages - 1; ++page) {
        ctx.send(protocol::readConfigPage(page));
        if (!ctx.waitReply(kConfigPageTimeoutMs)) {
            // A stop or a window closing mid-read ends the waits; that is not the
            // controller's fault.
            // After an unplug the waits end at once: say so, not that nothing answered.
            if (showMessage && deviceLost(ctx))
                showMessage(kDisconnectedText);
            else if (showMessage && !ctx.cancelled())
                showMessage(QStringLiteral("Нет ответа контроллера"));
            return false;
        }
    }
    ctx.send(protocol::readConfigPage(protocol::kConfigPages - 1));
    return true;
}

} // namespace vardex::link
