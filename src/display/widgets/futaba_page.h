#pragma once

#include "display/display_transfer.h"
#include "display/module_model.h"
#include "display/script_buffer.h"
#include "kit/widgets/page.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace vardex::ui {
struct PageContext;
}

namespace vardex::display {

class ModulePreview;
class PictureGrid;

// The display bench ("Futaba"): text lines, scrolling, brightness and modes, two
// visual tests, the 16 x 16 picture with its *.fgd files, the stand-alone test
// script, and a preview of what the module shows, drawn from the bytes sent.
class FutabaPage : public QWidget, public ui::Page {
    Q_OBJECT
public:
    explicit FutabaPage(ui::PageContext &ctx, QWidget *parent = nullptr);

    void onClosing() override;

    const ModuleModel &preview() const { return m_model; }
    const ScriptBuffer &script() const { return m_script; }
    PictureGrid &grid() const { return *m_grid; }
    bool test2Running() const { return m_test2Running; }
    bool test1Running() const { return m_test1Running; }
    bool scriptWriting() const { return m_scriptWriting; }

private:
    using Sequence = std::function<link::OpResult(DisplayLink &)>;

    void buildControls();
    QWidget *buildLineGroup(int line);
    QWidget *buildGroupScroll();
    QWidget *buildSettings();
    QWidget *buildPictureGroup();
    QWidget *buildScriptGroup();
    QPushButton *button(const char *name, const QString &caption, const QString &hint = {},
                        int tag = 0);
    void onClick(const char *name, const std::function<void(int tag)> &handler);
    void connectActions();

    // Runs a sequence as one operation of the data module: a short one at the next step
    // of a running sequence, a long one (betweenSteps false) after it. False: refused at
    // once, another page's long sequence holds the link.
    bool run(Sequence sequence, bool betweenSteps = true);
    void afterSend();
    QString lineText(int line) const;
    void startTest1();
    void startTest2();
    void startScriptWrite();
    // A long sequence of this page runs already: a second one is refused at once with a
    // hint (interleaved, two would mix their bytes on the screen or in the controller).
    bool refuseWhileLongRuns();
    void savePicture();
    void loadPicture();

    ui::PageContext &m_ctx;
    ScriptBuffer m_script;
    ModuleModel m_model;
    bool m_test2Running = false;
    bool m_test1Running = false;
    bool m_scriptWriting = false;

    QLineEdit *m_lines[2] = {};
    QComboBox *m_scrollSpeed[2] = {};
    QComboBox *m_groupSpeed = nullptr;
    QComboBox *m_dimming = nullptr;
    QComboBox *m_screenMode = nullptr;
    QComboBox *m_attribute = nullptr;
    QComboBox *m_contact = nullptr;
    QSpinBox *m_posX = nullptr;
    QSpinBox *m_posY = nullptr;
    QPushButton *m_writeScript = nullptr;
    PictureGrid *m_grid = nullptr;
    ModulePreview *m_preview = nullptr;
};

} // namespace vardex::display
