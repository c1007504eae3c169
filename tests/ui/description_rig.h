#pragma once

#include "kit/widgets/status_bar.h"
#include "ui/description_reader.h"
#include "work_test_rig.h"

#include <QApplication>
#include <QRegularExpression>

#include <vector>

namespace vardex::test {

inline const QString kNoReply = QStringLiteral("Нет ответа контроллера");

// Short waits, so failures in the middle cost milliseconds; the page-0..2 waits of
// the configuration run keep their own 5000 ms.
inline ui::DescriptionTimings quickTimings()
{
    ui::DescriptionTimings t;
    t.configPage3Ms = 150;
    t.loopRecordMs = 150;
    t.identityPauseMs = 10;
    t.identityMs = 150;
    return t;
}

struct DescriptionRig : WorkRig {
    explicit DescriptionRig(sim::Firmware firmware = sim::fullControllerFirmware24())
        : WorkRig(1, std::move(firmware))
    {
        window->descriptionReader().setTimings(quickTimings());
    }

    // Presses "Описание " and returns once the read has ended (it runs in the click).
    void describe()
    {
        bool ended = false;
        auto c = QObject::connect(&window->descriptionReader(), &ui::DescriptionReader::finished,
                                  [&] { ended = true; });
        button("QueryDeviceBtn")->click();
        waitUntil([&] { return ended; }, 15000);
        QObject::disconnect(c);
        EXPECT_TRUE(ended);
    }

    void fault(sim::Fault::Kind kind, int code, int sub = -1)
    {
        sim::Fault f;
        f.kind = kind;
        f.code = code;
        f.sub = sub;
        transport.addFault(id, f);
    }

    bool enabled(const char *name) const
    {
        return widget<QWidget>(QLatin1String(name))->isEnabled();
    }
    QString caption() const { return window->windowTitle(); }
    QString panel(int n) const { return window->statusBar().panelText(n); }
};

// "<ms> <rest>" -> ms, or -1 when the caption has no duration in front.
inline int durationPrefix(const QString &caption, QString *rest = nullptr)
{
    static const QRegularExpression re(QStringLiteral("^(\\d+) (.*)$"));
    const auto m = re.match(caption);
    if (!m.hasMatch())
        return -1;
    if (rest)
        *rest = m.captured(2);
    return m.captured(1).toInt();
}

inline bool cursorRestored()
{
    return QApplication::overrideCursor() == nullptr;
}

} // namespace vardex::test
