#include "loops/widgets/loop_file_page.h"

#include "files/dialog_filters.h"
#include "files/widgets/file_dialogs.h"

#include "kit/widgets/page_context.h"
#include "kit/widgets/prompts.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "link/description_result.h"
#include "link/disconnect_text.h"
#include "link/read_aside.h"
#include "loops/loop_diff.h"
#include "loops/loop_file.h"
#include "loops/loop_transfer.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace vardex::loops {

const QString LoopFilePage::kOpenFilter = files::kOpenDialogFilter;
const QString LoopFilePage::kSaveFilter = files::kSaveDialogFilter;

namespace {

const QString kWriteVerifyFailed =
    QStringLiteral("Ошибка верификации записи конфигурации контура ");

} // namespace

LoopFilePage::LoopFilePage(ui::PageContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("LoopFilePage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(8);

    struct ButtonSpec {
        const char *name;
        const char *caption;
        const char *hint;
        void (LoopFilePage::*handler)();
    };
    const ButtonSpec buttons[] = {
        {"SaveUprLoopConfigBtn", "Сохранить контуры", "Сохранить конфигурацию контуров управления",
         &LoopFilePage::onSave},
        {"LoadUprLoopConfigBtn", "Загрузить контуры", "Загрузить конфигурацию контуров управления",
         &LoopFilePage::onLoad},
        {"ClearUprLoopConfigBtn", "Очисть контуры", "Очистить конфигурацию контуров управления",
         &LoopFilePage::onClear},
        {"ReadUprLoopConfigBtn", "Чтение контуров",
         "Чтение конфигурацию контуров управления из монитора", &LoopFilePage::onReadAll},
        {"WriteUprLoopConfigBtn", "Запись контуров",
         "Запись конфигурацию контуров управления в монитор", &LoopFilePage::onWriteAll},
    };
    for (const ButtonSpec &b : buttons) {
        auto *button = new QPushButton(QString::fromUtf8(b.caption), this);
        button->setObjectName(QLatin1String(b.name));
        button->setStatusTip(QString::fromUtf8(b.hint));
        button->setFixedWidth(180);
        connect(button, &QPushButton::clicked, this, b.handler);
        if (b.handler == &LoopFilePage::onReadAll)
            m_readAll = button;
        else if (b.handler == &LoopFilePage::onWriteAll)
            m_writeAll = button;
        if (b.handler != &LoopFilePage::onWriteAll) {
            layout->addWidget(button);
            continue;
        }
        // "Сравнить" beside "Запись": what the write would change, before it is made.
        m_diff = new QPushButton(QStringLiteral("Сравнить"), this);
        m_diff->setObjectName(QStringLiteral("DiffUprLoopConfigBtn"));
        m_diff->setStatusTip(QStringLiteral(
            "Что изменит запись: поля контуров, в которых контроллер хранит другое"));
        m_diff->setFixedWidth(100);
        connect(m_diff, &QPushButton::clicked, this, &LoopFilePage::onDiff);
        auto *row = new QHBoxLayout;
        row->setSpacing(8);
        row->addWidget(button);
        row->addWidget(m_diff);
        row->addStretch(1);
        layout->addLayout(row);
    }
    // Until a device description succeeds there is nothing to talk to.
    m_readAll->setEnabled(false);
    m_writeAll->setEnabled(false);
    m_diff->setEnabled(false);

    m_nameLabel = new QLabel(this);
    m_nameLabel->setObjectName(QStringLiteral("UpLoopConfigNameLabel"));
    m_nameLabel->setVisible(false);
    layout->addWidget(m_nameLabel);
    layout->addStretch(1);
}

QString LoopFilePage::loopFileName() const
{
    return m_nameLabel->text();
}

void LoopFilePage::onSave()
{
    const QString path =
        files::askSavePath(m_ctx.prompts, files::FileKind::Loops,
                           QStringLiteral("Сохранить описание контуров управления"));
    if (path.isEmpty())
        return;
    // The firmware version at this moment decides whether the extended block is written.
    // A failure is said: a silent one would pass for a saved file.
    const files::FileResult saved = saveLoopFile(path, m_ctx.dm.image());
    if (!saved.ok) {
        m_ctx.prompts.message(
            QStringLiteral("Не удалось сохранить файл %1:\n%2").arg(path, saved.reason),
            ui::Prompts::Kind::Error);
        return;
    }
    m_nameLabel->setText(QFileInfo(path).completeBaseName());
}

void LoopFilePage::onLoad()
{
    const QString path =
        files::askOpenPath(m_ctx.prompts, files::FileKind::Loops,
                           QStringLiteral("Загрузить описание контуров управления"));
    if (path.isEmpty())
        return;
    link::DeviceImage &image = m_ctx.dm.image();
    const files::ReadResult file = readLoopFile(path, image);
    if (!file.ok) {
        m_ctx.prompts.message(
            QStringLiteral("Не удалось загрузить файл %1:\n%2").arg(path, file.reason),
            ui::Prompts::Kind::Error);
        return;
    }
    // A file of another size is no loop file of this program: ask before laying it
    // over the loops, with no as the answer Enter gives.
    if (!isLoopFileSize(file.fileSize) &&
        m_ctx.prompts.question(files::unexpectedSizeQuestion(path, file.fileSize, kLoopFileSizes),
                               false, ui::Prompts::Answer::No) != ui::Prompts::Answer::Yes)
        return;
    applyLoopFile(std::span(reinterpret_cast<const std::uint8_t *>(file.bytes.data()),
                            static_cast<std::size_t>(file.bytes.size())),
                  image);
    m_nameLabel->setText(QFileInfo(path).completeBaseName());
    emit loopsChanged();
}

void LoopFilePage::onClear()
{
    clearLoops(m_ctx.dm.image());
    emit loopsChanged();
}

void LoopFilePage::onReadAll()
{
    ui::Prompts &prompts = m_ctx.prompts;
    QPointer<LoopFilePage> self(this);
    const QString name = tr("Чтение всех контуров");
    m_ctx.dm.runOperation(name, [self, &prompts](link::OperationContext &ctx) {
        const link::OpResult r = readAllLoops(ctx);
        if (self)
            emit self->loopsChanged();
        if (r.status == link::OpStatus::Disconnected)
            prompts.message(link::kDisconnectedText, ui::Prompts::Kind::Warning);
    });
}

void LoopFilePage::onWriteAll()
{
    ui::Prompts &prompts = m_ctx.prompts;
    ui::StatusBar &status = m_ctx.statusBar;
    const QString name = tr("Запись всех контуров");
    m_ctx.dm.runOperation(name, [&prompts, &status](link::OperationContext &ctx) {
        const link::WriteCheck check = writeAllLoopsChecked(ctx);
        if (check.result.status == link::OpStatus::VerifyFailed)
            prompts.message(kWriteVerifyFailed + QString::number(check.result.step),
                            ui::Prompts::Kind::Warning);
        else if (check.result.status == link::OpStatus::Disconnected)
            prompts.message(link::kDisconnectedText, ui::Prompts::Kind::Warning);
        status.setPanelText(5, link::writeCheckText(check, QStringLiteral("контуры")));
    });
}

void LoopFilePage::onDiff()
{
    ui::Prompts &prompts = m_ctx.prompts;
    m_ctx.dm.runOperation([&prompts](link::OperationContext &ctx) {
        const link::ReadAside aside(ctx.image(), link::ReadAside::What::Loops);
        ReadAllOptions options;
        options.stopAtMiss = true;
        const link::OpResult read = readAllLoops(ctx, options);
        if (!read.ok()) {
            prompts.message(read.status == link::OpStatus::Disconnected
                                ? link::kDisconnectedText
                                : QStringLiteral("Контуры контроллера не прочитаны: сравнить не "
                                                 "с чем."),
                            ui::Prompts::Kind::Warning);
            return;
        }
        // Against the pages as they are now, edits made during the read included.
        const link::DeviceImage &wanted = ctx.image();
        const FieldChanges changes =
            diffLoops(aside.held(), wanted, wanted.config, wanted.hasExtendedLoops());
        prompts.report(changeSummary(changes), changeLines(changes));
    });
}

void LoopFilePage::onConnectionChanged(bool connected)
{
    if (!connected) {
        m_readAll->setEnabled(false);
        m_writeAll->setEnabled(false);
        m_diff->setEnabled(false);
    }
}

void LoopFilePage::onDescriptionRead(const link::DescriptionResult &result)
{
    if (result.described) {
        m_readAll->setEnabled(true);
        m_writeAll->setEnabled(true);
        m_diff->setEnabled(true);
    }
}

} // namespace vardex::loops
