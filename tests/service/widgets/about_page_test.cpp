#include "service/widgets/about_page.h"
#include "support/page_rig.h"

#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

using vardex::service::AboutPage;
using vardex::test::PageRig;
using vardex::test::waitUntil;

namespace {

// Puts one byte on the simulated controller's serial line.
void receiveOnSerialLine(PageRig &rig, std::uint8_t byte)
{
    vardex::link::Payload p{};
    p[vardex::link::pos::Code] = 12;
    p[vardex::link::pos::Len] = 1;
    p[vardex::link::pos::Data] = byte;
    rig.transport.withFirmware(rig.id, [&](vardex::sim::Firmware &f) { f.handle(p); });
}

QString readOnce(AboutPage &page)
{
    page.serialField()->setText(QStringLiteral("?"));
    page.readButton()->click();
    waitUntil([&] { return page.serialField()->text() != QStringLiteral("?"); }, 3000);
    return page.serialField()->text();
}

} // namespace

TEST(AboutPage, ShowsTheLastSerialByteInTwoUpperCaseHexDigits)
{
    PageRig rig;
    AboutPage page(rig.ctx);
    EXPECT_EQ(page.serialField()->text(), QStringLiteral(" "));
    receiveOnSerialLine(rig, 10);
    EXPECT_EQ(readOnce(page), QStringLiteral("0A"));
}

TEST(AboutPage, NoReplyShowsDashesAndAnErrorReplyThePreviousByte)
{
    PageRig rig;
    AboutPage page(rig.ctx);
    receiveOnSerialLine(rig, 0xC3);
    ASSERT_EQ(readOnce(page), QStringLiteral("C3"));

    receiveOnSerialLine(rig, 0x11);
    rig.transport.addFault(rig.id, {vardex::sim::Fault::Kind::ErrorReply, 13});
    EXPECT_EQ(readOnce(page), QStringLiteral("C3"));

    rig.transport.addFault(rig.id, {vardex::sim::Fault::Kind::Drop, 13});
    EXPECT_EQ(readOnce(page), QStringLiteral("--"));

    EXPECT_EQ(readOnce(page), QStringLiteral("11"));
}

TEST(AboutPage, PanelCarriesTheProgramTextAndItsOwnPictures)
{
    PageRig rig;
    AboutPage page(rig.ctx);
    auto *title = page.findChild<QLabel *>(QStringLiteral("AboutTitleLabel"));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(),
              QStringLiteral("Программно-аппаратный комлекс системы мониторинга терминала"));
    for (const char *name : {"AboutIconImage", "AboutControllerImage"}) {
        auto *picture = page.findChild<QLabel *>(QLatin1String(name));
        ASSERT_TRUE(picture) << name;
        const QImage image = picture->pixmap().toImage();
        ASSERT_FALSE(image.isNull()) << name;
        // Drawn: the centre of each picture is not transparent.
        EXPECT_GT(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 0) << name;
    }
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(page.findChild<QLabel *>(QStringLiteral("AboutLine%1").arg(i))) << i;
    EXPECT_FALSE(page.readButton()->icon().isNull());
}
