#pragma once

#include "kit/widgets/page.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace vardex::ui {
class NumberEdit;
struct PageContext;
} // namespace vardex::ui

namespace vardex::loops {

class ExtBox;

// The loop page: edits UprLoopConfig[CurrentLoop] of the image (inputs taking part,
// their levels and modes, the program inputs), reads and writes that one loop with a
// read-back check, and opens the extended box over itself.
class LoopPage : public QWidget, public ui::Page {
    Q_OBJECT
public:
    explicit LoopPage(ui::PageContext &ctx, QWidget *parent = nullptr);

    int currentLoop() const { return m_currentLoop; }
    // Whether loop n's own output is enabled in the configuration (false outside 1..26).
    bool loopOutputEnabled(int n) const;
    ExtBox *extendedBox() const { return m_extBox; }

    // A read configuration decides the extended settings (the box closes, its
    // button resets); read loops replace the one on show, so it is drawn again.
    void onDescriptionRead(const link::DescriptionResult &result) override;
    void onChannelNames(const ChannelNames &names) override;
    // A removal or a replacing controller: the image holds loops of a controller that
    // is no longer there, so read and write wait for the next description.
    void onConnectionChanged(bool connected) override;

public slots:
    // Shows loop n; only displays, the record is not written. The frame sets the
    // header from the node text.
    void showUprLoop(int n, const QString &nodeText);
    // The loop the handlers edit; 0 makes them do nothing.
    void setCurrentLoop(int n);
    // Enables each input row by the input enable masks of the configuration.
    void enableLoopInputs();
    // "Дополнительно" is usable on firmware 24 and up, for a loop whose output is enabled.
    void updateExtendedAvailability();
    // Closes the extended box and resets its button (after a device description).
    void closeExtendedBox();

private:
    struct InputRow {
        QCheckBox *use = nullptr;
        QComboBox *mode = nullptr;
    };
    struct LevelRow {
        QCheckBox *use = nullptr;
        ui::NumberEdit *lo = nullptr;
        ui::NumberEdit *hi = nullptr;
        QComboBox *mode = nullptr;
    };
    enum class Family { Contact, Ttl, Analog, Temper };

    void build();
    QGroupBox *buildInputGroup(Family family);
    QGroupBox *buildLevelGroup(Family family);
    QGroupBox *buildProgramGroup();
    QWidget *buildButtons();
    void layoutExtBox();

    void onUseClicked(Family family, int k, bool checked);
    void onModeChosen(Family family, int k, int index);
    void onLevelCommitted(Family family, int k, bool high);
    void onProgramClicked(int k, bool checked);
    void onReadClicked();
    void onWriteClicked();
    void onExtendedClicked();
    void commitPendingEdits();
    bool extendedAllowed(int n) const;

    ui::PageContext &m_ctx;
    int m_currentLoop = 0;
    // The controller went away or was replaced since the last description.
    bool m_linkLost = false;

    std::array<InputRow, 8> m_contacts{};
    std::array<InputRow, 8> m_ttl{};
    std::array<LevelRow, 6> m_analog{};
    std::array<LevelRow, 6> m_temper{};
    std::array<QCheckBox *, 2> m_program{};
    std::array<QGroupBox *, 5> m_groups{};
    QPushButton *m_writeBtn = nullptr;
    QPushButton *m_readBtn = nullptr;
    QPushButton *m_extBtn = nullptr;
    ExtBox *m_extBox = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
};

} // namespace vardex::loops
