#pragma once

#include <QGroupBox>
#include <QSize>

#include <array>

class QCheckBox;
class QComboBox;
class QListWidget;
class QListWidgetItem;

namespace vardex::link {
class DataModule;
}

namespace vardex::ui {
class NumberEdit;
}

namespace vardex::loops {

// The extended settings of one loop (UprLoopConfigExt): timing, AND logic, the two
// USB inputs, the dimmer and the other outputs taking part in the loop's logic. It
// lies over the loop page while open. Showing a loop only displays its record.
class ExtBox : public QGroupBox {
    Q_OBJECT
public:
    static constexpr QSize kSize{616, 450};

    explicit ExtBox(link::DataModule &dm, QWidget *parent = nullptr);

    // Fills the box from loop n's extended record and edits that loop from now on.
    void showLoop(int n);
    // The loop user actions edit; 0 makes every handler do nothing.
    void setCurrentLoop(int n) { m_loop = n; }
    int currentLoop() const { return m_loop; }
    // Stores a value the user typed but has not left yet.
    void commitPending();

private:
    void build();
    QWidget *buildTimingGroup();
    QWidget *buildUsbGroup();
    QWidget *buildOutputGroup();
    void storeTimer(ui::NumberEdit *edit, bool on);
    void storePulse();
    void storeDimmer();
    void storeUsbBits(std::uint8_t bits, bool set);
    void onOutputItemChanged(QListWidgetItem *item);
    bool editable() const { return m_loop != 0 && !m_filling; }

    link::DataModule &m_dm;
    int m_loop = 0;
    bool m_filling = false;

    QCheckBox *m_logic = nullptr;
    ui::NumberEdit *m_timerOff = nullptr;
    ui::NumberEdit *m_timerOn = nullptr;
    ui::NumberEdit *m_pulses = nullptr;
    QCheckBox *m_usbActivity = nullptr;
    QComboBox *m_usbActivityMode = nullptr;
    QCheckBox *m_usbPower = nullptr;
    QComboBox *m_usbPowerMode = nullptr;
    ui::NumberEdit *m_dimmer = nullptr;
    QCheckBox *m_reserve = nullptr;
    QListWidget *m_outputs = nullptr;
};

} // namespace vardex::loops
