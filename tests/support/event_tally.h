#pragma once

#include <QApplication>
#include <QEvent>
#include <QStringList>
#include <QWidget>

#include <initializer_list>
#include <set>

namespace vardex::test {

// Counts the events of the given types (say LayoutRequest) that reach a widget: those
// sent to it or to anything inside it, and those sent to its ancestors (the tab and the
// window, which a change inside the widget must not re-lay out). Each entry is
// "objectName/event type".
class EventTally : public QObject {
public:
    EventTally(const QWidget *widget, std::initializer_list<QEvent::Type> types)
        : m_widget(widget), m_types(types)
    {
        qApp->installEventFilter(this);
    }
    ~EventTally() override { qApp->removeEventFilter(this); }

    QStringList within;    // the widget itself and its descendants
    QStringList ancestors; // the widgets that hold it, up to the window
    // Its parent alone: whatever inside the widget asks for a layout reaches the parent
    // first, while the ancestors above it also hear of changes beside the widget.
    QStringList parent;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (!m_types.count(e->type()) || !o->isWidgetType())
            return false;
        const auto *w = static_cast<const QWidget *>(o);
        const QString entry = QStringLiteral("%1/%2").arg(o->objectName()).arg(int(e->type()));
        if (w == m_widget || m_widget->isAncestorOf(w))
            within << entry;
        else if (w->isAncestorOf(m_widget))
            ancestors << entry;
        if (w == m_widget->parentWidget())
            parent << entry;
        return false;
    }

private:
    const QWidget *m_widget;
    std::set<QEvent::Type> m_types;
};

// Lets a change's consequences cascade: a child's new size asks its parent for a layout,
// which asks its own parent, each step posted as the one before is handled.
inline void settleLayouts()
{
    for (int i = 0; i < 8; ++i)
        QApplication::processEvents();
}

} // namespace vardex::test
