// "Запись" of the configuration reads back what it wrote and says so in the hint line;
// "Сравнить" lists what a write would change and writes nothing. Checked against what the
// simulated controller holds afterwards.
#include "frame_rig.h"
#include "link/protocol.h"

#include <gtest/gtest.h>

using namespace vardex;
using sim::Fault;
using test::FrameRig;

namespace {

struct Pages {
    std::vector<std::vector<std::uint8_t>> bytes;
    bool operator==(const Pages &) const = default;
};

Pages pagesOf(FrameRig &rig)
{
    Pages p;
    rig.transport.withFirmware(rig.id, [&](sim::Firmware &f) {
        for (int n = 0; n < sim::ConfigPages::kPages; ++n) {
            const auto page = f.config().page(n);
            p.bytes.emplace_back(page.begin(), page.end());
        }
    });
    return p;
}

// Describes nothing: reads the controller's configuration into the pages, then edits
// one field on pages 0, 1 and 2.
void prepare(FrameRig &rig)
{
    rig.w("ReadCfgBtn")->setEnabled(true);
    rig.w("WriteCfgBtn")->setEnabled(true);
    rig.w("DiffCfgBtn")->setEnabled(true);
    rig.click("ReadCfgBtn");
    rig.config().hardwareConfigNumber = 42;
    rig.config().analogA[0] = 2.5f;
    rig.config().fanMin[0] = 33;
}

struct CheckedWriteCase {
    const char *what;
    std::optional<Fault> fault;
    const char *hint;
    bool page2Written; // the controller took page 2
};

class CfgCheckedWrite : public ::testing::TestWithParam<CheckedWriteCase> {};

} // namespace

TEST_P(CfgCheckedWrite, TheHintLineSaysWhatTheReadBackFound)
{
    const CheckedWriteCase &c = GetParam();
    FrameRig rig;
    ASSERT_TRUE(rig.connected);
    prepare(rig);
    const Pages before = pagesOf(rig);
    if (c.fault)
        rig.transport.addFault(rig.id, *c.fault);
    const int version = rig.config().firmwareVersion;
    ASSERT_NE(version, 0);
    rig.click("WriteCfgBtn");
    EXPECT_EQ(rig.statusBar.panelText(5), QString::fromUtf8(c.hint));
    // The version bytes never travel; a read-back that did not come leaves them be.
    EXPECT_EQ(rig.config().firmwareVersion, version);
    const Pages after = pagesOf(rig);
    EXPECT_EQ(after.bytes[0][2], 42);
    EXPECT_EQ(after.bytes[2] != before.bytes[2], c.page2Written);
    // The pages keep what the engineer prepared, whatever the controller holds.
    EXPECT_EQ(rig.config().fanMin[0], 33);
}

INSTANTIATE_TEST_SUITE_P(
    ReadBack, CfgCheckedWrite,
    ::testing::Values(
        CheckedWriteCase{"clean", std::nullopt, "записано и проверено", true},
        // The controller refuses page 2 and keeps its own.
        CheckedWriteCase{"page refused", Fault{Fault::Kind::ErrorReply, 9, 2, 0},
                         "не записано: страницы 2", false},
        // The page took effect but its acknowledgement was lost: nobody can say so.
        CheckedWriteCase{"acknowledgement lost", Fault{Fault::Kind::Drop, 9, 1, 0},
                         "не записано: страницы 1", true},
        CheckedWriteCase{"read-back lost", Fault{Fault::Kind::Drop, 1, 3, 0},
                         "записано, но не проверено: конфигурация не прочитана обратно", true},
        CheckedWriteCase{"notice during the read-back", Fault{Fault::Kind::Notice, 1, 1, 7},
                         "записано и проверено", true}),
    [](const auto &info) {
        std::string n = info.param.what;
        for (char &ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(CfgDiffButton, ListsWhatAWriteWouldChangeAndWritesNothing)
{
    FrameRig rig;
    ASSERT_TRUE(rig.connected);
    prepare(rig);
    const Pages before = pagesOf(rig);
    const int held = before.bytes[0][2];
    rig.click("DiffCfgBtn");
    ASSERT_EQ(rig.prompts.reports.size(), 1);
    const QString report = rig.prompts.reports[0];
    EXPECT_TRUE(report.contains(QStringLiteral("Конфигурация: %1 → 42").arg(held)))
        << report.toStdString();
    EXPECT_TRUE(report.contains("ШИМ / Канал 1 / Мин.уровень")) << report.toStdString();
    EXPECT_TRUE(report.contains("Аналоги / А1_12В / Ax")) << report.toStdString();
    EXPECT_EQ(pagesOf(rig), before);
    EXPECT_EQ(rig.config().hardwareConfigNumber, 42); // the pages keep the edit
    EXPECT_EQ(rig.requestCount(9), 0);
}

// A value typed while the write is being read back is neither reverted by the read nor
// hidden: it stays on the page and in the image, and the line says it was not written.
TEST(CfgCheckedWrite, AValueTypedDuringTheReadBackStaysOnThePage)
{
    FrameRig rig;
    ASSERT_TRUE(rig.connected);
    prepare(rig);
    bool typed = false;
    rig.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (!typed && e.direction == link::TraceEntry::Direction::Sent &&
            e.payload[link::pos::Code] == link::protocol::code::ConfigPage &&
            e.payload[link::pos::Sub] == 2) {
            typed = true;
            FrameRig::type(rig.edit("FanMinEdit", 2), "55");
        }
    });
    rig.click("WriteCfgBtn");
    ASSERT_TRUE(typed);
    EXPECT_EQ(rig.statusBar.panelText(5),
              QStringLiteral("записано и проверено; правки, сделанные во время записи, не "
                             "записаны"));
    EXPECT_EQ(rig.config().fanMin[1], 55);
    EXPECT_EQ(rig.config().fanMin[0], 33);
    rig.frame->showMonitorConfig();
    EXPECT_EQ(FrameRig::shown(rig.edit("FanMinEdit", 2)), "55");
    EXPECT_NE(pagesOf(rig).bytes[2][7], 55); // fan 2 minimum: not in the controller
}
