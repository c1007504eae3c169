#pragma once

#include "kit/widgets/page_context.h"

#include <QGroupBox>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vardex::service {

struct TimedTestPlan;

// The timed signed-command test of the graph tab: seven offset buttons, the answer,
// and the digests of the five neighbouring times with the one sent marked red.
class GraphHash : public QGroupBox {
    Q_OBJECT
public:
    explicit GraphHash(ui::PageContext context, QWidget *parent = nullptr);

    QPushButton *offsetButton(int n) const { return m_buttons[static_cast<std::size_t>(n - 1)]; }
    QLineEdit *candidateEdit(int n) const { return m_edits[static_cast<std::size_t>(n - 1)]; }
    // Whether candidate edit n (1..5) shows the marked (red) digest.
    bool isMarked(int n) const;

private:
    void runTest(int offset);
    void showBefore(const TimedTestPlan &plan);
    void showAfter(const TimedTestPlan &plan);
    void setMarked(QLineEdit *edit, bool marked);

    ui::PageContext m_ctx;
    std::array<QPushButton *, 7> m_buttons{};
    std::array<QLineEdit *, 5> m_edits{};
    std::array<QLabel *, 5> m_times{}; // candidate 3 has none
    QLineEdit *m_answer = nullptr;
    QLineEdit *m_timeEdit = nullptr;
    QLabel *m_label81 = nullptr;
};

} // namespace vardex::service
