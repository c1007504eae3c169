#include "chart/widgets/chart_view.h"

#include <gtest/gtest.h>

using namespace vardex::chart;

namespace {

double at(int year, int month, int day)
{
    return wallSeconds(QDateTime(QDate(year, month, day), QTime(0, 0), Qt::UTC));
}

struct KindsRig {
    ChartModel model;
    ChartView view{&model};
    KindsRig()
    {
        model.setTitle(QStringLiteral("Графики"));
        TimeAxis time{QStringLiteral("dd hh:mm:ss"), 90};
        time.adaptive = true;
        model.setTimeAxis(time);
        SeriesStyle mains{QStringLiteral("VFC_220"), 0x800000};
        mains.unit = mains.axis = QStringLiteral("В");
        SeriesStyle t1{QStringLiteral("Темп_1"), 0x0000a0};
        t1.unit = t1.axis = QStringLiteral("°C");
        SeriesStyle fan{QStringLiteral("Вент_1_Скор"), 0x00c600};
        fan.unit = QStringLiteral("об/мин");
        fan.axis = QStringLiteral("об/мин, %");
        for (const SeriesStyle &s : {mains, t1, fan})
            model.addSeries(s);
        const double from = at(2025, 1, 1);
        const double to = at(2026, 1, 1);
        model.setPoints(0, {{from, 221}, {to, 229}});
        model.setPoints(1, {{from, 19.75}, {to, 24.5}});
        model.setPoints(2, {{from, 0}, {to, 3000}});
        view.resize(1000, 600);
        view.show();
    }
};

} // namespace

TEST(ChartViewKinds, OneAxisPerKindWithItsUnitAndALegendOfTheShownSeries)
{
    KindsRig rig;
    EXPECT_EQ(
        rig.view.plottedValueAxes(),
        (QStringList{QStringLiteral("В"), QStringLiteral("об/мин, %"), QStringLiteral("°C")}));
    EXPECT_EQ(rig.view.plottedValueRange(QStringLiteral("°C")), (Range{19.75, 24.5}));
    EXPECT_EQ(rig.view.plottedValueRange(QStringLiteral("об/мин, %")), (Range{0, 3000}));
    EXPECT_EQ(rig.view.plottedLegend(),
              (QStringList{QStringLiteral("VFC_220, В"), QStringLiteral("Темп_1, °C"),
                           QStringLiteral("Вент_1_Скор, об/мин")}));

    rig.model.setVisible(1, false);
    EXPECT_EQ(rig.view.plottedLegend(),
              (QStringList{QStringLiteral("VFC_220, В"), QStringLiteral("Вент_1_Скор, об/мин")}));
    EXPECT_EQ(rig.view.plottedValueAxes(),
              (QStringList{QStringLiteral("В"), QStringLiteral("об/мин, %")}));
}

// A year of records is labelled with dates; zoomed into a day the labels go back to
// day and time. The span and the note stand under the title, where a saved picture
// keeps them.
TEST(ChartViewKinds, TimeLabelsFollowTheWindowAndTheSpanAndNoteStandUnderTheTitle)
{
    KindsRig rig;
    EXPECT_EQ(rig.view.plottedTimeFormat(), QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(rig.view.plottedSubtitle(),
              QStringLiteral("01.01.2025 00:00:00 — 01.01.2026 00:00:00"));

    rig.model.setTimeWindow({at(2025, 6, 1), at(2025, 6, 2)});
    EXPECT_EQ(rig.view.plottedTimeFormat(), QStringLiteral("dd hh:mm:ss"));
    EXPECT_EQ(rig.view.plottedSubtitle(),
              QStringLiteral("01.06.2025 00:00:00 — 02.06.2025 00:00:00"));

    rig.model.setNote(QStringLiteral("Разрешение неизвестно"));
    EXPECT_EQ(rig.view.plottedSubtitle(),
              QStringLiteral("01.06.2025 00:00:00 — 02.06.2025 00:00:00\nРазрешение неизвестно"));
    EXPECT_EQ(rig.view.plottedTitle(), QStringLiteral("Графики"));
}
