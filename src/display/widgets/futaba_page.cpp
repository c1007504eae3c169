#include "display/widgets/futaba_page.h"

#include "display/commands.h"
#include "display/widgets/module_preview.h"
#include "display/widgets/picture_grid.h"
#include "files/file_io.h"
#include "files/widgets/file_dialogs.h"
#include "kit/widgets/page_context.h"
#include "kit/widgets/prompts.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>

namespace vardex::display {

using link::OpResult;

FutabaPage::FutabaPage(ui::PageContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("FutabaPage"));
    buildControls();
    connectActions();
}

void FutabaPage::onClosing()
{
    m_test2Running = false;
    m_test1Running = false;
}

bool FutabaPage::run(Sequence sequence, bool betweenSteps)
{
    auto op = [this, sequence = std::move(sequence)](link::OperationContext &ctx) {
        DisplayLink link{ctx, m_script, &m_model, [this] { afterSend(); }};
        const OpResult r = sequence(link);
        if (r.status == link::OpStatus::Failed && !r.message.isEmpty())
            m_ctx.prompts.message(r.message, ui::Prompts::Kind::Warning);
    };
    // The short actions get the link at the next step of a running test; the tests
    // themselves queue behind whatever runs, never inside it.
    if (!betweenSteps)
        return m_ctx.dm.runOperation(std::move(op));
    m_ctx.dm.runBetweenSteps(std::move(op));
    return true;
}

void FutabaPage::afterSend()
{
    m_writeScript->setText(m_script.caption());
    m_preview->refresh();
}

QString FutabaPage::lineText(int line) const
{
    return m_lines[line == 2 ? 1 : 0]->text();
}

void FutabaPage::connectActions()
{
    onClick("SetDimmingModeBtn", [this](int) {
        // No item chosen (as at start, showing "100%") sends the top level.
        const int index = m_dimming->currentIndex();
        const int level = index < 0 ? 5 : index;
        run([level](DisplayLink &l) { return sendOne(l, dimming(level)); });
    });
    onClick("ResetFutabaBtn",
            [this](int) { run([](DisplayLink &l) { return sendOne(l, reset()); }); });
    onClick("SetScreenModeBtn", [this](int) {
        const int mode = m_screenMode->currentIndex() + 1;
        run([mode](DisplayLink &l) { return sendOne(l, screenMode(mode)); });
    });
    onClick("SetFutabaDisplayModeBtn", [this](int) {
        const auto choice = static_cast<Attribute>(std::max(0, m_attribute->currentIndex()));
        run([choice](DisplayLink &l) { return sendOne(l, attribute(choice)); });
    });
    onClick("FilFutabaBtn", [this](int) { run([](DisplayLink &l) { return fill(l); }); });
    onClick("Fili4LineBtn", [this](int) { run([](DisplayLink &l) { return characterRows(l); }); });
    onClick("TestFutabaBtn", [this](int) { startTest1(); });
    onClick("StopTest1Btn", [this](int) { m_test1Running = false; });

    for (const char *name : {"SendRS232Btn", "SendRS232_Line2_Btn"}) {
        onClick(name, [this](int tag) {
            const QString text = lineText(tag);
            run([tag, text](DisplayLink &l) { return staticLine(l, tag, text); });
        });
    }
    for (const char *name : {"ClearLine1Btn", "ClearLine2Btn"})
        onClick(name,
                [this](int tag) { run([tag](DisplayLink &l) { return clearLine(l, tag); }); });
    for (const char *name : {"ScrollLine1Btn", "ScrollLine2Btn"}) {
        onClick(name, [this](int tag) {
            const QString text = lineText(tag);
            const int speed = std::max(0, m_scrollSpeed[tag - 1]->currentIndex());
            run([=](DisplayLink &l) { return scrollLine(l, tag, text, speed); });
        });
    }
    for (const char *name : {"ClearScrollLine1Btn", "ClearScrollLine2Btn"}) {
        onClick(name, [this](int tag) {
            run([tag](DisplayLink &l) { return clearSingleScroll(l, tag); });
        });
    }
    onClick("SetScrollBtn",
            [this](int) { run([](DisplayLink &l) { return sendOne(l, groupScrollOn()); }); });
    onClick("StartScrollBtn",
            [this](int) { run([](DisplayLink &l) { return sendOne(l, groupScrollStart()); }); });
    onClick("ResetScrollBtn",
            [this](int) { run([](DisplayLink &l) { return sendOne(l, groupScrollOff()); }); });
    for (const char *name : {"SetScrolLine1Btn", "SetScrolLine2Btn"}) {
        onClick(name, [this](int tag) {
            const QString text = lineText(tag);
            const int speed = std::max(0, m_groupSpeed->currentIndex());
            run([=](DisplayLink &l) { return groupScrollLine(l, tag, text, speed); });
        });
    }
    onClick("SetScrolLine4Btn", [this](int) {
        const int speed = std::max(0, m_groupSpeed->currentIndex());
        run([speed](DisplayLink &l) { return fourLineTest(l, speed); });
    });
    onClick("SpeedButton1", [this](int) {
        run([](DisplayLink &l) { return sendOne(l, userCharacter(userCharacterRows())); });
    });
    onClick("SpeedButton2",
            [this](int) { run([](DisplayLink &l) { return userCharacterLine(l); }); });

    onClick("FutabaTest2Btn", [this](int) { startTest2(); });
    onClick("StopTest2Btn", [this](int) { m_test2Running = false; });

    onClick("ClearGraphGridBtn", [this](int) { m_grid->clearCells(); });
    onClick("SaveGraphBtn", [this](int) { savePicture(); });
    onClick("LoadGraphBtn", [this](int) { loadPicture(); });
    onClick("LoadGraphToFutabaBtn", [this](int) {
        const auto bytes = m_grid->picture().bitmapBytes();
        const int x = m_posX->value(), y = m_posY->value();
        run([=](DisplayLink &l) { return pictureToScreen(l, bytes, x, y); });
    });

    onClick("ClearFutabaBufBtn", [this](int) {
        m_script.clear();
        afterSend();
    });
    onClick("WriteFutabaTestFramBtn", [this](int) { startScriptWrite(); });
}

bool FutabaPage::refuseWhileLongRuns()
{
    QString what;
    if (m_test1Running)
        what = QStringLiteral("Идёт тест 1: дождитесь его конца или нажмите «Стоп»");
    else if (m_test2Running)
        what = QStringLiteral("Идёт тест 2: сначала нажмите «Стоп»");
    else if (m_scriptWriting)
        what = QStringLiteral("Идёт запись автономного теста: дождитесь её конца");
    if (what.isEmpty())
        return false;
    m_ctx.statusBar.setPanelText(5, what);
    return true;
}

void FutabaPage::startTest1()
{
    if (refuseWhileLongRuns())
        return;
    m_test1Running = true;
    if (!run(
            [this](DisplayLink &l) {
                const OpResult r = test1(l, m_test1Running);
                m_test1Running = false;
                return r;
            },
            false))
        m_test1Running = false;
}

void FutabaPage::startScriptWrite()
{
    if (refuseWhileLongRuns())
        return;
    const int contact = std::max(0, m_contact->currentIndex());
    m_scriptWriting = true;
    QPointer<FutabaPage> self(this);
    // The buffer as it is at the click: a clear or a send during the 15 s of the write
    // must not leave the contact with the old script's head and another's tail.
    const bool taken =
        m_ctx.dm.runOperation([self, contact, script = m_script](link::OperationContext &ctx) {
            const OpResult r = writeScript(ctx, script, contact);
            if (!self)
                return;
            self->m_scriptWriting = false;
            const QString text = scriptWriteText(r, contact);
            // Cut short, the contact holds the new script's head and the old one's tail: the
            // engineer must know which block is missing.
            if (r.ok() || r.status == link::OpStatus::Cancelled)
                self->m_ctx.statusBar.setPanelText(5, text);
            if (!r.ok())
                self->m_ctx.prompts.message(text, ui::Prompts::Kind::Warning);
        });
    if (!taken)
        m_scriptWriting = false;
}

void FutabaPage::startTest2()
{
    if (m_test2Running)
        return;
    if (refuseWhileLongRuns())
        return;
    m_test2Running = true;
    const auto bytes = m_grid->picture().bitmapBytes();
    if (!run(
            [this, bytes](DisplayLink &l) {
                const OpResult r = test2(l, bytes, m_test2Running);
                m_test2Running = false;
                return r;
            },
            false))
        m_test2Running = false;
}

void FutabaPage::savePicture()
{
    const QString path = files::askSavePath(m_ctx.prompts, files::FileKind::Picture,
                                            QStringLiteral("Сохранить картинку"));
    if (path.isEmpty())
        return;
    // The file is replaced as a whole: writing over a longer old file would leave its
    // tail behind as part of the picture.
    const files::FileResult r = files::saveAtomically(path, encodeFgd(m_grid->picture()));
    if (!r.ok) {
        m_ctx.prompts.message(QStringLiteral("Не удалось сохранить картинку %1").arg(r.message()),
                              ui::Prompts::Kind::Error);
    }
}

void FutabaPage::loadPicture()
{
    const QString path = files::askOpenPath(m_ctx.prompts, files::FileKind::Picture,
                                            QStringLiteral("Считать картинку"));
    if (path.isEmpty())
        return;
    const files::ReadResult r = files::readBounded(path, kMaxFgdBytes);
    if (!r.ok) {
        m_ctx.prompts.message(QStringLiteral("Не удалось считать картинку %1").arg(r.message()),
                              ui::Prompts::Kind::Error);
        return;
    }
    const FgdDecode d = decodeFgd(r.bytes);
    if (!d.ok) {
        m_ctx.prompts.message(
            QStringLiteral("Файл %1 не является картинкой: %2").arg(path, d.error),
            ui::Prompts::Kind::Error);
        return;
    }
    m_grid->setPicture(d.picture);
}

} // namespace vardex::display
