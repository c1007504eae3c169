#include "ui/desktop_identity.h"

#include <QApplication>
#include <QIcon>

// Resources of a static library are registered by hand (outside any namespace).
static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace vardex::ui {

void applyDesktopIdentity()
{
    initAppResources();
    QGuiApplication::setDesktopFileName(QStringLiteral("vardex"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("vardex"));
    if (icon.isNull())
        icon = QIcon(QStringLiteral(":/app/vardex.svg"));
    QApplication::setWindowIcon(icon);
}

} // namespace vardex::ui
