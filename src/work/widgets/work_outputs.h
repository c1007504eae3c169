#pragma once

#include "work/output_task_edit.h"

#include <QGroupBox>

#include <array>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace vardex::link {
class DataModule;
struct MonitorConfig;
struct MonitorState;
} // namespace vardex::link

namespace vardex::ui {

// "Управление": the boxes and bars edit the image's OutputTask; "Задание" sends it.
// A state display marks each output's box by its font and leaves the check mark,
// which belongs to the user, alone.
class WorkOutputs : public QGroupBox {
    Q_OBJECT
public:
    explicit WorkOutputs(link::DataModule &dm, QWidget *parent = nullptr);

    void showState(const link::MonitorState &state);
    void enableChannels(const link::MonitorConfig &config);
    QPushButton *taskButton() const { return m_taskButton; }

private:
    struct Box {
        work::OutputFamily family;
        QCheckBox *box;
    };

    void onBoxClicked(work::OutputFamily family, QCheckBox *box);
    void onFanBarChanged(QScrollBar *bar, int position);
    void sendTask();

    link::DataModule &m_dm;
    std::vector<Box> m_boxes;
    std::array<QScrollBar *, 4> m_fanBars{};
    std::array<QLabel *, 4> m_fanTaskLabels{};
    std::array<QLabel *, 4> m_fanSpeeds{};
    QPushButton *m_taskButton = nullptr;
};

} // namespace vardex::ui
