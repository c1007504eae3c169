#include "ui/description_reader.h"

#include "kit/widgets/prompts.h"
#include "link/data_module.h"
#include "link/disconnect_text.h"

namespace vardex::ui {

DescriptionReader::DescriptionReader(link::DataModule &dm, Prompts &prompts, QObject *parent)
    : QObject(parent), m_dm(dm), m_prompts(prompts)
{
    setObjectName(QStringLiteral("DescriptionReader"));
}

void DescriptionReader::read()
{
    m_dm.runOperation(tr("Чтение описания"), [this](link::OperationContext &ctx) {
        const link::DescriptionResult result =
            work::readDescription(ctx, m_timings, [this] { return m_dm.isConnected(); });
        // After an unplug the waits end at once: say so, not that nothing answered.
        if (result.tell)
            m_prompts.message(result.op.status == link::OpStatus::Disconnected
                                  ? link::kDisconnectedText
                                  : QStringLiteral("Нет ответа контроллера"),
                              Prompts::Kind::Warning);
        if (result.op.status != link::OpStatus::Disconnected || result.configurationRead)
            emit described(result);
        emit finished();
    });
}

void DescriptionReader::showDeviceDescription()
{
    link::DescriptionResult shown;
    shown.configurationRead = true;
    shown.described = true;
    emit described(shown);
}

} // namespace vardex::ui
