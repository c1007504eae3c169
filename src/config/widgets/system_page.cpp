#include "config/widgets/system_page.h"

#include "config/cfg_exchange.h"
#include "config/config_diff.h"
#include "config/config_file.h"
#include "config/widgets/page_helpers.h"
#include "files/widgets/file_dialogs.h"
#include "kit/widgets/page_context.h"
#include "kit/widgets/prompts.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "link/disconnect_text.h"
#include "link/read_aside.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vardex::config {

namespace {

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedWidth(100);
    return button;
}

} // namespace

SystemPage::SystemPage(ui::PageContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    auto *fileGroup = makeGroup(this, tr("Файл"));
    auto *files = new QHBoxLayout(fileGroup);
    auto *save = makeButton(fileGroup, "SaveCfgBtn", tr("Сохранить"));
    auto *load = makeButton(fileGroup, "LoadCfgBtn", tr("Загрузить"));
    auto *clear = makeButton(fileGroup, "ClearCfgBtn", tr("Очисть"));
    files->addWidget(save);
    files->addWidget(load);
    files->addWidget(clear);
    files->addStretch(1);

    auto *deviceGroup = makeGroup(this, tr("Контроллер"));
    auto *device = new QHBoxLayout(deviceGroup);
    m_read = makeButton(deviceGroup, "ReadCfgBtn", tr("Чтение "));
    m_write = makeButton(deviceGroup, "WriteCfgBtn", tr("Запись"));
    m_diff = makeButton(deviceGroup, "DiffCfgBtn", tr("Сравнить"));
    m_diff->setStatusTip(tr("Что изменит запись: поля, в которых контроллер хранит другое"));
    // Enabled by a successful device description.
    setTransferEnabled(false);
    device->addWidget(m_read);
    device->addWidget(m_write);
    device->addWidget(m_diff);
    device->addStretch(1);

    auto *numberRow = new QGridLayout;
    auto *caption = new QLabel(tr("Конфигурация"), this);
    m_number = makeSpinEdit(this, QStringLiteral("SystemConfigNumberEdit"), 1, 255);
    m_name = new QLabel(tr("Имя конфигурации"), this);
    m_name->setObjectName(QStringLiteral("ConfigNameLabel"));
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);
    numberRow->addWidget(caption, 0, 0);
    numberRow->addWidget(m_number, 1, 0);
    numberRow->addWidget(m_name, 1, 1);
    numberRow->setColumnStretch(1, 1);
    numberRow->setHorizontalSpacing(16);

    layout->addLayout(numberRow);
    layout->addSpacing(8);
    layout->addWidget(fileGroup);
    layout->addWidget(deviceGroup);
    layout->addStretch(1);

    connect(m_number, &QSpinBox::valueChanged, this, [this](int v) {
        m_ctx.dm.image().config.hardwareConfigNumber = static_cast<std::uint8_t>(v);
    });
    connect(save, &QPushButton::clicked, this, &SystemPage::save);
    connect(load, &QPushButton::clicked, this, &SystemPage::load);
    connect(clear, &QPushButton::clicked, this, &SystemPage::clear);
    connect(m_read, &QPushButton::clicked, this, &SystemPage::read);
    connect(m_write, &QPushButton::clicked, this, &SystemPage::write);
    connect(m_diff, &QPushButton::clicked, this, &SystemPage::diff);
}

void SystemPage::showConfig()
{
    const QSignalBlocker block(m_number);
    m_number->setValue(m_ctx.dm.image().config.hardwareConfigNumber);
}

void SystemPage::save()
{
    const QString path = files::askSavePath(m_ctx.prompts, files::FileKind::Config, kSaveTitle);
    if (path.isEmpty())
        return;
    const FileResult result = saveConfigFile(path, m_ctx.dm.image().config);
    // A failure is said, and the name label keeps the last file that really holds the
    // configuration: a silent failure would pass for a saved file.
    if (!result.ok) {
        m_ctx.prompts.message(
            tr("Не удалось сохранить конфигурацию в файл %1:\n%2").arg(path, result.reason),
            ui::Prompts::Kind::Error);
        return;
    }
    m_name->setText(configDisplayName(path));
}

void SystemPage::load()
{
    const QString path = files::askOpenPath(m_ctx.prompts, files::FileKind::Config, kOpenTitle);
    if (path.isEmpty())
        return;
    const files::ReadResult file = readConfigFile(path);
    // Same for a failed load; the image and the pages were not touched.
    if (!file.ok) {
        m_ctx.prompts.message(
            tr("Не удалось загрузить конфигурацию из файла %1:\n%2").arg(path, file.reason),
            ui::Prompts::Kind::Error);
        return;
    }
    // A file of another size is no configuration saved by this program: laid over
    // the image unasked it would silently mix two configurations.
    // Enter answers no: one key must not lay a stranger's bytes over the configuration.
    if (!isConfigFileSize(file.fileSize) &&
        m_ctx.prompts.question(files::unexpectedSizeQuestion(path, file.fileSize, kConfigFileSizes),
                               false, ui::Prompts::Answer::No) != ui::Prompts::Answer::Yes)
        return;
    applyConfigFile(file.bytes, m_ctx.dm.image().config);
    m_name->setText(configDisplayName(path));
    emit configReplaced();
    emit configTaken();
}

void SystemPage::clear()
{
    clearConfig(m_ctx.dm.image().config);
    emit configReplaced();
}

void SystemPage::read()
{
    QPointer<SystemPage> self(this);
    link::DataModule &dm = m_ctx.dm;
    ui::Prompts &prompts = m_ctx.prompts;
    dm.runOperation(tr("Чтение конфигурации"), [self, &prompts](link::OperationContext &ctx) {
        if (!self)
            return;
        const ReadOutcome outcome = readConfig(ctx, [&prompts](const QString &text) {
            prompts.message(text, ui::Prompts::Kind::Warning);
        });
        if (outcome == ReadOutcome::Complete && self) {
            emit self->configReplaced();
            if (self)
                emit self->configTaken();
        }
    });
}

void SystemPage::write()
{
    ui::StatusBar &status = m_ctx.statusBar;
    m_ctx.dm.runOperation(tr("Запись конфигурации"), [&status](link::OperationContext &ctx) {
        const link::WriteCheck check = writeConfigChecked(ctx);
        status.setPanelText(5, link::writeCheckText(check, QStringLiteral("страницы")));
    });
}

void SystemPage::diff()
{
    ui::Prompts &prompts = m_ctx.prompts;
    m_ctx.dm.runOperation([&prompts](link::OperationContext &ctx) {
        const link::ReadAside aside(ctx.image(), link::ReadAside::What::Config);
        const ReadOutcome read = readConfig(ctx, {});
        if (read != ReadOutcome::Complete) {
            prompts.message(ctx.cancelled() && ctx.cancelReason() == link::OpStatus::Disconnected
                                ? link::kDisconnectedText
                                : tr("Конфигурация контроллера не прочитана: сравнить не с чем."),
                            ui::Prompts::Kind::Warning);
            return;
        }
        // Against the editors as they are now, edits made during the read included.
        const FieldChanges changes = diffConfig(aside.config(), ctx.image().config);
        prompts.report(changeSummary(changes), changeLines(changes));
    });
}

void SystemPage::setTransferEnabled(bool enabled)
{
    m_read->setEnabled(enabled);
    m_write->setEnabled(enabled);
    m_diff->setEnabled(enabled);
}

} // namespace vardex::config
