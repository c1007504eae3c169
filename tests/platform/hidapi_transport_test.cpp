#include "link/data_module.h" // kControllerProduct
#include "link/device_list_diff.h"
#include "platform/hidapi_transport.h"

#include "support/test_support.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <ostream>

using namespace vardex::link;
using vardex::test::spin;

// Readable failure messages for the notice logs.
static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

HidDeviceInfo dev(const QString &id, const QString &product = QStringLiteral("Quellbox"))
{
    HidDeviceInfo d;
    d.id = id;
    d.product = product;
    return d;
}

QStringList ids(const QList<HidDeviceInfo> &list)
{
    QStringList out;
    for (const HidDeviceInfo &d : list)
        out << d.id;
    return out;
}

// The transport with the OS's device list replaced by a scripted one, so the
// announcement logic runs without hardware.
class ScriptedTransport : public HidapiTransport {
public:
    QList<HidDeviceInfo> present;
    QStringList lengthReads;
    ReportLengths lengths{65, 65, 65};

protected:
    QList<HidDeviceInfo> enumerateDevices() override { return present; }
    ReportLengths readReportLengths(const QString &id) override
    {
        lengthReads << id;
        return lengths;
    }
};

// "+id" for an arrival, "-id" for a removal, in signal order.
struct Notices {
    QStringList log;
    QList<HidDeviceInfo> arrived;
    std::function<void(const HidDeviceInfo &)> onArrival;

    explicit Notices(Transport &t)
    {
        QObject::connect(&t, &Transport::deviceArrived, [this](const HidDeviceInfo &d) {
            log << "+" + d.id;
            arrived << d;
            if (onArrival)
                onArrival(d);
        });
        QObject::connect(&t, &Transport::deviceRemoved,
                         [this](const QString &id) { log << "-" + id; });
    }
};

} // namespace

// ---- device list differences ------------------------------------------------------------------

TEST(DeviceListDiff, ReportsArrivalsAndRemovalsInListOrder)
{
    const QList<HidDeviceInfo> before{dev("/dev/hidraw0"), dev("/dev/hidraw1"),
                                      dev("/dev/hidraw2")};
    const QList<HidDeviceInfo> after{dev("/dev/hidraw3"), dev("/dev/hidraw1"), dev("/dev/hidraw4")};
    const DeviceListChange c = diffDeviceLists(before, after);
    EXPECT_EQ(c.removed, QStringList({"/dev/hidraw0", "/dev/hidraw2"}));
    EXPECT_EQ(ids(c.arrived), QStringList({"/dev/hidraw3", "/dev/hidraw4"}));
}

TEST(DeviceListDiff, NodeReusedAfterRemovalIsANewDevice)
{
    // Unplug and replug between two looks at the list: the kernel hands out the
    // same node again, and only the removal notice tells the two apart.
    const QList<HidDeviceInfo> list{dev("/dev/hidraw0"), dev("/dev/hidraw1")};
    const DeviceListChange c = diffDeviceLists(list, list, {"/dev/hidraw1"});
    EXPECT_EQ(c.removed, QStringList({"/dev/hidraw1"}));
    EXPECT_EQ(ids(c.arrived), QStringList({"/dev/hidraw1"}));

    const DeviceListChange none = diffDeviceLists(list, list, {"/dev/hidraw7"});
    EXPECT_TRUE(none.removed.isEmpty());
    EXPECT_TRUE(none.arrived.isEmpty());
}

TEST(DeviceListDiff, ChangedProductUnderSameNodeIsReplaced)
{
    const DeviceListChange c =
        diffDeviceLists({dev("/dev/hidraw0", "Keyboard")}, {dev("/dev/hidraw0", "Quellbox")});
    EXPECT_EQ(c.removed, QStringList({"/dev/hidraw0"}));
    ASSERT_EQ(c.arrived.size(), 1);
    EXPECT_EQ(c.arrived[0].product, QStringLiteral("Quellbox"));
}

TEST(DeviceListDiff, NodeListedTwiceIsAnnouncedOnce)
{
    // One node with two top-level collections may be listed twice.
    const QList<HidDeviceInfo> twice{dev("/dev/hidraw0"), dev("/dev/hidraw0", "other")};
    EXPECT_EQ(ids(uniqueById(twice)), QStringList({"/dev/hidraw0"}));
    EXPECT_EQ(uniqueById(twice)[0].product, QStringLiteral("Quellbox"));
    const DeviceListChange c = diffDeviceLists({}, twice);
    EXPECT_EQ(ids(c.arrived), QStringList({"/dev/hidraw0"}));
}

// ---- pure conversions -------------------------------------------------------------------------

TEST(HidapiConversions, ProductStringFromWide)
{
    EXPECT_TRUE(productFromWide(nullptr).isEmpty());
    EXPECT_EQ(productFromWide(L"Quellbox"), kControllerProduct);
    EXPECT_NE(productFromWide(L"QuellBox"), kControllerProduct);

    // wchar_t is UTF-32 here; a character beyond the BMP becomes a surrogate pair.
    const wchar_t astral[] = {L'Q', static_cast<wchar_t>(0x1F600), 0};
    const QString a = productFromWide(astral);
    ASSERT_EQ(a.size(), 3);
    EXPECT_TRUE(a[1].isHighSurrogate());
    EXPECT_EQ(a.toUcs4().at(1), 0x1F600u);

    // Not a code point at all: replaced, and the name no longer matches.
    const wchar_t bogus[] = {
        L'Q', L'u', L'e', L'l', L'l', L'b', L'o', L'x', static_cast<wchar_t>(0x110000), 0};
    const QString b = productFromWide(bogus);
    EXPECT_NE(b, kControllerProduct);
    EXPECT_TRUE(b.startsWith(kControllerProduct));

    const std::wstring overlong(300, L'x');
    EXPECT_EQ(productFromWide(overlong.c_str()).size(), static_cast<qsizetype>(kMaxProductChars));
}

TEST(HidapiConversions, WriteLengthFollowsTheOutputReport)
{
    EXPECT_EQ(outputWriteLength(65), 65u);
    EXPECT_EQ(outputWriteLength(9), 9u);
    EXPECT_EQ(outputWriteLength(2), 2u);
    // Unknown (descriptor unreadable), ID byte only, or longer than the buffer.
    EXPECT_EQ(outputWriteLength(0), 65u);
    EXPECT_EQ(outputWriteLength(1), 65u);
    EXPECT_EQ(outputWriteLength(129), 65u);
}

TEST(HidapiConversions, InputReportIsPaddedOrCut)
{
    const std::uint8_t shortReport[] = {0x10, 0x01, 0x02};
    const Payload p = payloadFromInputReport(shortReport);
    EXPECT_EQ(p[0], 0x10);
    EXPECT_EQ(p[2], 0x02);
    for (std::size_t i = 3; i < p.size(); ++i)
        ASSERT_EQ(p[i], 0) << i;

    std::array<std::uint8_t, 80> longReport{};
    longReport[63] = 0xAA;
    longReport[64] = 0xBB;
    EXPECT_EQ(payloadFromInputReport(longReport)[63], 0xAA);
}

// ---- announcements ----------------------------------------------------------------------------

TEST(HidapiTransport, FirstEnumerationRunsFromTheEventLoop)
{
    ScriptedTransport t;
    t.present = {dev("/dev/hidraw0"), dev("/dev/hidraw1", "Mouse")};
    Notices n(t);
    t.start();
    EXPECT_TRUE(n.log.isEmpty()); // nothing announced from inside start()
    spin(20);
    EXPECT_EQ(n.log, QStringList({"+/dev/hidraw0", "+/dev/hidraw1"}));
    ASSERT_EQ(n.arrived.size(), 2);
    EXPECT_EQ(n.arrived[0].featureReportLength, 65);
    EXPECT_EQ(t.devices().size(), 2);

    t.start(); // a second start does not announce again
    spin(20);
    EXPECT_EQ(n.log.size(), 2);
}

TEST(HidapiTransport, HotplugAnnouncesOnlyTheDifference)
{
    ScriptedTransport t;
    t.present = {dev("/dev/hidraw0", "Keyboard")};
    Notices n(t);
    t.rescan();
    t.present = {dev("/dev/hidraw0", "Keyboard"), dev("/dev/hidraw1")};
    t.rescan();
    t.present = {dev("/dev/hidraw1")};
    t.rescan({"/dev/hidraw0"});
    EXPECT_EQ(n.log, QStringList({"+/dev/hidraw0", "+/dev/hidraw1", "-/dev/hidraw0"}));
    // The descriptor of a known device is read once, not on every hot-plug event.
    EXPECT_EQ(t.lengthReads, QStringList({"/dev/hidraw0", "/dev/hidraw1"}));
}

TEST(HidapiTransport, ReplugOnTheSameNodeIsRemovedThenArrived)
{
    ScriptedTransport t;
    t.present = {dev("/dev/hidraw0")};
    Notices n(t);
    t.rescan();
    // Both udev events were read in one batch; the list looks unchanged.
    t.lengths = {65, 65, 0};
    t.rescan({"/dev/hidraw0"});
    EXPECT_EQ(n.log, QStringList({"+/dev/hidraw0", "-/dev/hidraw0", "+/dev/hidraw0"}));
    ASSERT_EQ(n.arrived.size(), 2);
    // The new device's own descriptor counts, not the old one's.
    EXPECT_EQ(n.arrived[1].featureReportLength, 0);
}

TEST(HidapiTransport, ChangeDuringAnAnnouncementWaitsForItsTurn)
{
    ScriptedTransport t;
    t.present = {dev("/dev/hidraw0"), dev("/dev/hidraw1")};
    Notices n(t);
    // The first arrival's handler runs the event loop, and hidraw1 goes away meanwhile.
    n.onArrival = [&](const HidDeviceInfo &d) {
        if (d.id != "/dev/hidraw0")
            return;
        t.present = {dev("/dev/hidraw0")};
        t.rescan({"/dev/hidraw1"});
    };
    t.rescan();
    EXPECT_EQ(n.log, QStringList({"+/dev/hidraw0", "+/dev/hidraw1", "-/dev/hidraw1"}));
    EXPECT_EQ(ids(t.devices()), QStringList({"/dev/hidraw0"}));
}

TEST(ReadFailureRun, ARunOfNoSuchDeviceErrorsIsARemovalSaidOnce)
{
    ReadFailureRun run;
    EXPECT_FALSE(run.failed(ENODEV));
    EXPECT_FALSE(run.failed(ENODEV));
    EXPECT_TRUE(run.failed(ENODEV));
    // Said once: the reader goes on failing until the owning thread closes it.
    EXPECT_FALSE(run.failed(ENODEV));
    EXPECT_FALSE(run.failed(ENODEV));
}

TEST(ReadFailureRun, OtherErrorsAndGoodReadsStartTheCountAgain)
{
    ReadFailureRun run;
    EXPECT_FALSE(run.failed(ENODEV));
    EXPECT_FALSE(run.failed(ENODEV));
    EXPECT_FALSE(run.failed(EIO)); // a passing fault, not a removal
    EXPECT_FALSE(run.failed(ENODEV));
    EXPECT_FALSE(run.failed(ENODEV));
    run.succeeded();
    EXPECT_FALSE(run.failed(ENODEV));
    EXPECT_FALSE(run.failed(ENODEV));
    EXPECT_TRUE(run.failed(ENODEV));
}

// ---- the real hidraw backend ------------------------------------------------------------------

TEST(HidapiTransport, RealEnumerationWithoutControllerIsQuiet)
{
    // Works with or without /dev/hidraw* and udev; no controller is attached here.
    HidapiTransport t;
    Notices n(t);
    t.start();
    spin(300);
    for (const HidDeviceInfo &d : t.devices())
        EXPECT_NE(d.product, kControllerProduct) << d.id.toStdString();
    EXPECT_EQ(n.arrived.size(), t.devices().size());
}

TEST(HidapiTransport, OpenAndWriteFailCleanlyWithoutDevice)
{
    HidapiTransport t;
    QString error;
    EXPECT_FALSE(t.open(QStringLiteral("/nonexistent/hidraw99"), &error));
    EXPECT_FALSE(error.isEmpty());

    std::array<std::uint8_t, kOutputReportSize> report{};
    QString text;
    quint32 code = 0;
    EXPECT_FALSE(t.write(QStringLiteral("/nonexistent/hidraw99"), report, &text, &code));
    EXPECT_EQ(code, static_cast<quint32>(ENODEV));
    EXPECT_FALSE(text.isEmpty());

    t.close(QStringLiteral("/nonexistent/hidraw99")); // unknown id: nothing to do

    const ReportLengths none = readHidrawReportLengths(QStringLiteral("/nonexistent/hidraw99"));
    EXPECT_EQ(none.input, 0);
    EXPECT_EQ(none.output, 0);
    EXPECT_EQ(none.feature, 0);
}

TEST(HidapiTransport, DescriptorsComeFromSysfsWithoutOpeningOtherDevices)
{
    EXPECT_EQ(sysfsReportDescriptorPath(QStringLiteral("/dev/hidraw3")),
              QStringLiteral("/sys/class/hidraw/hidraw3/device/report_descriptor"));
    EXPECT_TRUE(sysfsReportDescriptorPath(QStringLiteral("/dev/usb/hiddev0")).isEmpty());
    // Where this machine has hidraw nodes, sysfs gives the same lengths as the node.
    QDir dev(QStringLiteral("/dev"));
    for (const QString &name : dev.entryList({QStringLiteral("hidraw*")}, QDir::System)) {
        const QString node = dev.filePath(name);
        if (!QFile::exists(sysfsReportDescriptorPath(node)))
            continue;
        const ReportLengths fromSysfs = readHidrawReportLengths(node);
        EXPECT_GT(fromSysfs.input + fromSysfs.output + fromSysfs.feature, 0) << node.toStdString();
    }
}
