#include "config/widgets/icon_set.h"

#include <QFile>
#include <QPainter>

static void initIconResources()
{
    // The resources live in a static library: register them before first use.
    static const bool done = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)done;
}

namespace vardex::config {

namespace {

QString path(int index)
{
    return QStringLiteral(":/images/%1.svg").arg(index);
}

} // namespace

QPixmap imagePixmap(int index)
{
    initIconResources();
    if (!QFile::exists(path(index)))
        return {};
    return QIcon(path(index)).pixmap(kIconSize, kIconSize);
}

QIcon nodeIcon(int index, int selectedIndex)
{
    QIcon icon;
    icon.addPixmap(imagePixmap(index), QIcon::Normal);
    icon.addPixmap(imagePixmap(selectedIndex), QIcon::Selected);
    return icon;
}

QIcon cutIcon(int index)
{
    QPixmap source = imagePixmap(index);
    QPixmap ghost(source.size());
    ghost.fill(Qt::transparent);
    QPainter p(&ghost);
    p.setOpacity(0.35);
    p.drawPixmap(0, 0, source);
    p.end();
    QIcon icon;
    icon.addPixmap(ghost, QIcon::Normal);
    icon.addPixmap(ghost, QIcon::Selected);
    return icon;
}

} // namespace vardex::config
