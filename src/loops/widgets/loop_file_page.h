#pragma once

#include "kit/widgets/page.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace vardex::ui {
struct PageContext;
}

namespace vardex::loops {

// The loop file page: all 26 loops at once, to and from a *.upr file and the
// controller.
class LoopFilePage : public QWidget, public ui::Page {
    Q_OBJECT
public:
    explicit LoopFilePage(ui::PageContext &ctx, QWidget *parent = nullptr);

    // The last saved or loaded file's name without folder and extension.
    QString loopFileName() const;

    void onConnectionChanged(bool connected) override;
    // Reading and writing all loops need a described controller.
    void onDescriptionRead(const link::DescriptionResult &result) override;

    static const QString kOpenFilter;
    static const QString kSaveFilter;

signals:
    // The image's loops changed (loaded, cleared or read): the shown loop is stale.
    void loopsChanged();

private:
    void onSave();
    void onLoad();
    void onClear();
    void onReadAll();
    void onWriteAll();
    // Reads the controller's loops and lists what writing these would change.
    void onDiff();

    ui::PageContext &m_ctx;
    QLabel *m_nameLabel = nullptr;
    QPushButton *m_readAll = nullptr;
    QPushButton *m_writeAll = nullptr;
    QPushButton *m_diff = nullptr;
};

} // namespace vardex::loops
