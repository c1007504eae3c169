// A poll shows the whole state every second; fields whose value did not change must not
// be touched again (a touched field sends change events, repaints and may ask the window
// for a new layout), and fields whose value did change must still show it.
#include "work_test_rig.h"

#include <QApplication>
#include <QEvent>

#include <gtest/gtest.h>

using namespace vardex;
using test::WorkRig;

namespace {

// Counts the events that say a widget of the page was changed.
class ChangeCounter : public QObject {
public:
    explicit ChangeCounter(QWidget *page) : m_page(page) { qApp->installEventFilter(this); }
    ~ChangeCounter() override { qApp->removeEventFilter(this); }
    QStringList changed;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || (w != m_page && !m_page->isAncestorOf(w)))
            return false;
        switch (e->type()) {
        case QEvent::ToolTipChange:
        case QEvent::PaletteChange:
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::LayoutRequest:
        case QEvent::DynamicPropertyChange:
            changed << QStringLiteral("%1/%2").arg(o->objectName()).arg(int(e->type()));
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget *m_page;
};

void fillState(link::MonitorState &s, int salt)
{
    s.contactInputs = static_cast<std::uint8_t>(0x81 ^ salt);
    s.ttlInputs = 0x02;
    s.relays = static_cast<std::uint8_t>(0x05 ^ salt);
    s.switches = 0x21;
    s.ttlOutputs = 0x40;
    for (std::size_t k = 0; k < s.analogValues.size(); ++k)
        s.analogValues[k] = 1.5f * static_cast<float>(k + salt);
    for (std::size_t k = 0; k < s.temperatures.size(); ++k)
        s.temperatures[k] = static_cast<std::int16_t>(200 + 16 * (k + salt));
    for (std::size_t k = 0; k < s.fanSpeeds.size(); ++k) {
        s.fanSpeeds[k] = static_cast<std::uint16_t>(1000 + 10 * (k + salt));
        s.fanTasks[k] = static_cast<std::uint8_t>(20 * k + salt);
    }
    s.systemFlags[0] = static_cast<std::uint8_t>(0x11 ^ salt);
    s.systemFlags[4] = 0x01;
}

// A change's consequences cascade (a child's new size asks its parent for a layout,
// which asks its own parent): each step is posted as the one before is handled.
void settle()
{
    for (int i = 0; i < 8; ++i)
        QApplication::processEvents();
}

} // namespace

TEST(WorkDisplayQuiet, AnUnchangedStateTouchesNoFieldAndAChangedOneShowsEveryChange)
{
    WorkRig rig;
    rig.enableAllChannels();
    rig.window->show();
    QWidget *page = rig.window->page(QStringLiteral("WorkTabSheet"));
    ASSERT_NE(page, nullptr);
    fillState(rig.dm.image().state, 0);
    rig.page->showMonitorState();
    settle();

    {
        ChangeCounter counter(page);
        rig.page->showMonitorState();
        settle();
        EXPECT_TRUE(counter.changed.isEmpty()) << counter.changed.join(' ').toStdString();
    }

    // Every kind of field changes, then changes back: each shows the value of the moment.
    const QString temper1 = rig.label("stTemper1")->text();
    const QString fan1 = rig.label("stFanSpeed1")->text();
    const QString task2 = rig.label("FanTaskLabel2")->text();
    for (int salt : {1, 0}) {
        fillState(rig.dm.image().state, salt);
        rig.page->showMonitorState();
        const bool changed = salt == 1;
        EXPECT_EQ(rig.label("stTemper1")->text() != temper1, changed) << salt;
        EXPECT_EQ(rig.label("stFanSpeed1")->text() != fan1, changed) << salt;
        EXPECT_EQ(rig.label("FanTaskLabel2")->text() != task2, changed) << salt;
        EXPECT_EQ(rig.box("cbContact1")->isChecked(), !changed) << salt;
        EXPECT_EQ(test::isActiveLook(rig.box("cbContact1")), !changed) << salt;
        EXPECT_EQ(test::isActiveLook(rig.box("cbRelay1")), !changed) << salt;
        EXPECT_EQ(rig.page->flag(1)->isChecked(), !changed) << salt;
    }
}

TEST(WorkDisplayQuiet, AWholeValueWiderThanItsFieldKeepsItsHintAcrossPolls)
{
    WorkRig rig;
    rig.enableAllChannels();
    rig.window->show();
    rig.dm.image().state.analogValues[0] = -123456792.0f; // a float, exactly
    rig.page->showMonitorState();
    QLabel *field = rig.label("stAnalog1");
    const QString hint = field->toolTip();
    EXPECT_TRUE(hint.contains(QStringLiteral("123456792"))) << hint.toStdString();
    rig.page->showMonitorState();
    EXPECT_EQ(field->toolTip(), hint);
    // Back to a value that fits: the hint no longer names the old one.
    rig.dm.image().state.analogValues[0] = 1.0f;
    rig.page->showMonitorState();
    EXPECT_FALSE(field->toolTip().contains(QStringLiteral("123456792")));
}
