#pragma once

#include "kit/widgets/page.h"
#include "kit/widgets/page_context.h"
#include "service/pwm_sweep.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QTimer;

namespace vardex::service {

// "Подсветка": the backlight sweep of the switch loops. The sweep timer runs from
// start-up whether or not a box is checked; each tick is one exchange on the link.
class PwmSwitchPage : public QWidget, public ui::Page {
    Q_OBJECT
public:
    static constexpr int kTimerStartMs = 500;

    explicit PwmSwitchPage(ui::PageContext context, QWidget *parent = nullptr);

    const PwmSweep &sweep() const { return m_sweep; }
    QTimer &timer() const { return *m_timer; }
    QCheckBox *box(int n) const { return m_boxes[static_cast<std::size_t>(n - 1)]; }
    // The tick the timer runs: at the next step of a long sequence, skipped behind a
    // short operation or while all loops are read or written (their records must not
    // change under the transfer). A skipped step is said on the hint line while a box
    // is ticked.
    void tick();

    void onConnectionChanged(bool connected) override;
    void onDescriptionRead(const link::DescriptionResult &result) override;
    void onClosing() override;

private:
    void rampSecondsChanged(int seconds);
    void stepItemChanged(int item);
    void showHeld(const QString &text);

    ui::PageContext m_ctx;
    PwmSweep m_sweep;
    QTimer *m_timer = nullptr;
    std::array<QCheckBox *, kSweepBoxes> m_boxes{};
    QSpinBox *m_rampSeconds = nullptr;
    QComboBox *m_steps = nullptr;
    QSpinBox *m_max = nullptr;
    QSpinBox *m_min = nullptr;
    // The image holds this controller's loops (a description was read).
    bool m_loopsKnown = false;
    QLabel *m_waitLabel = nullptr;
    QString m_heldText; // the last "step skipped" text put on the hint line
};

} // namespace vardex::service
