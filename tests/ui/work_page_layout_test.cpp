#include "link/data_module.h"
#include "support/recording_prompts.h"
#include "support/test_support.h"
#include "ui/main_window.h"
#include "ui/work_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace vardex;

namespace {

// No devices at all: the layout needs no controller.
class NoDevices final : public link::Transport {
public:
    void start() override {}
    QList<link::HidDeviceInfo> devices() const override { return {}; }
    bool open(const QString &, QString *) override { return false; }
    void close(const QString &) override {}
    bool write(const QString &, const std::array<std::uint8_t, link::kOutputReportSize> &,
               QString *, quint32 *) override
    {
        return false;
    }
};

bool isControl(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLabel *>(w) ||
           qobject_cast<const QScrollBar *>(w) || qobject_cast<const QGroupBox *>(w);
}

QString describe(const QWidget *w)
{
    const QRect r = w->geometry();
    return QStringLiteral("%1 (%2,%3 %4x%5)")
        .arg(w->objectName())
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

struct Window {
    NoDevices transport;
    link::DataModule dm{transport};
    test::RecordingPrompts prompts;
    ui::MainWindow window{dm, &prompts};
    QWidget *page = nullptr;

    Window()
    {
        window.show();
        page = window.findChild<ui::WorkPage *>();
        test::waitUntil([&] { return window.isVisible(); });
    }
};

} // namespace

TEST(WorkPageLayout, WholePageFitsTheFixedWindow)
{
    Window w;
    ASSERT_NE(w.page, nullptr);
    const QSize min = w.page->minimumSizeHint();
    EXPECT_LE(min.width(), w.page->width());
    EXPECT_LE(min.height(), w.page->height());
    // The tab page area of the fixed 835 x 701 window.
    EXPECT_GE(w.page->width(), 800);
    EXPECT_GE(w.page->height(), 600);
}

TEST(WorkPageLayout, NoControlClippedOrOverlapping)
{
    Window w;
    ASSERT_NE(w.page, nullptr);
    const QRect pageRect = w.page->rect();
    int checked = 0;
    for (QWidget *c : w.page->findChildren<QWidget *>()) {
        if (!c->isVisibleTo(w.page) || !isControl(c))
            continue;
        ++checked;
        const QRect inPage(c->mapTo(w.page, QPoint(0, 0)), c->size());
        EXPECT_TRUE(pageRect.contains(inPage)) << describe(c).toStdString();
        const QSize need = c->minimumSizeHint();
        EXPECT_GE(c->width(), need.width()) << describe(c).toStdString();
        EXPECT_GE(c->height(), need.height()) << describe(c).toStdString();
        // Inside its parent, and clear of its visible siblings.
        if (QWidget *parent = c->parentWidget()) {
            EXPECT_TRUE(parent->rect().contains(c->geometry())) << describe(c).toStdString();
            for (QWidget *s : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (s == c || !s->isVisibleTo(w.page) || !isControl(s))
                    continue;
                EXPECT_FALSE(c->geometry().intersects(s->geometry()))
                    << describe(c).toStdString() << " overlaps " << describe(s).toStdString();
            }
        }
    }
    EXPECT_GT(checked, 150); // 64 flags less the hidden ones, inputs, outputs, buttons

    // For a look at the page: VARDEX_SCREENSHOT=<file.png>.
    const QString shot = qEnvironmentVariable("VARDEX_SCREENSHOT");
    if (!shot.isEmpty()) {
        EXPECT_TRUE(w.window.grab().save(shot));
    }
}

TEST(WorkPageLayout, FlagsCarryHintsButNoTooltips)
{
    Window w;
    auto *page = static_cast<ui::WorkPage *>(w.page);
    EXPECT_EQ(page->flag(33)->statusTip(), "Включен контур управления ТТЛ_1");
    EXPECT_TRUE(page->flag(33)->toolTip().isEmpty());
    EXPECT_TRUE(page->flag(9)->text().isEmpty());
    EXPECT_TRUE(page->flag(9)->isVisibleTo(page));
    EXPECT_FALSE(page->flag(13)->isVisibleTo(page));
    EXPECT_FALSE(page->flag(64)->isVisibleTo(page));
    // The main window names the channels at start-up.
    EXPECT_EQ(page->flag(5)->text(), "A5");
    for (QWidget *c : page->findChild<QGroupBox *>("SystemGroupBox")->findChildren<QWidget *>())
        EXPECT_TRUE(c->toolTip().isEmpty()) << c->objectName().toStdString();
    // Other controls show their hint as a tooltip as well.
    EXPECT_EQ(page->askStateButton()->toolTip(), "Циклический опрос состояния монитора");
    EXPECT_EQ(page->askStateButton()->statusTip(), page->askStateButton()->toolTip());
    auto *fanLabel = page->findChild<QLabel *>("FanTaskLabel2");
    ASSERT_NE(fanLabel, nullptr);
    EXPECT_EQ(fanLabel->statusTip(), "Текущее задание вентилятора №2");
    EXPECT_FALSE(page->findChild<QWidget *>("SetHashTimerBtn")->isVisibleTo(page));
}
