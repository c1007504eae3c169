#include "ui/work_page.h"

#include <QGridLayout>
#include <QPushButton>

namespace vardex::ui {

WorkPage::WorkPage(PageContext context, QWidget *parent) : QWidget(parent), m_ctx(context)
{
    setObjectName(QStringLiteral("WorkPage"));
    auto *grid = new QGridLayout(this);
    const struct {
        const char *name;
        QString caption;
    } buttons[] = {
        {"QueryDeviceBtn", tr("Описание ")},
        {"GetDateTimeBtn", tr("Часы")},
        {"WorkDateTimeSyncBtn", tr("Синхр.")},
        {"WorkStateBtn", tr("Состояние")},
        {"AskStateBtn", tr("Выкл")},
        {"WorkTaskBtn", tr("Задание")},
        {"GetKeyBtn", tr("Ключ")},
        {"GetOpenKeyBtn", tr("Откр")},
        {"WriteHashBtn", tr("HASH")},
        {"ResetHashBtn", tr("Сброс")},
        {"SetHashTimerBtn", tr("Часы")},
    };
    int row = 0;
    for (const auto &b : buttons) {
        auto *button = new QPushButton(b.caption, this);
        button->setObjectName(QLatin1String(b.name));
        button->setEnabled(false);
        grid->addWidget(button, row++, 0);
    }
    grid->setRowStretch(row, 1);
}

} // namespace vardex::ui
