#pragma once

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace vardex::test {

// What a page's layout must give its controls. Every page test checks its page with
// checkLayout(); the rules say how strict the page's form is.
struct LayoutRules {
    // At least the minimum size the control asks for (its own minimum size when it
    // set one), in width and, when heights is set, in height.
    bool heights = true;
    // Buttons and lists show their whole caption: at least their preferred width.
    bool fullCaptions = false;
    // Labels show their whole text on one line.
    bool labelText = true;
    // No visible control overlaps a visible sibling control.
    bool overlaps = true;
    // Widgets laid over the page on purpose (a box that opens over it): not checked
    // for overlapping, but still for clipping.
    std::vector<const QWidget *> overlays;
};

struct LayoutReport {
    QStringList problems;
    int checked = 0; // controls looked at
    bool ok() const { return problems.isEmpty(); }
    QString text() const { return problems.join(QLatin1Char('\n')); }
};

inline bool isLayoutControl(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLabel *>(w) ||
           qobject_cast<const QScrollBar *>(w) || qobject_cast<const QGroupBox *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w);
}

inline QString describeControl(const QWidget *w)
{
    const QRect r = w->geometry();
    return QStringLiteral("%1 %2 (%3,%4 %5x%6)")
        .arg(QLatin1String(w->metaObject()->className()), w->objectName())
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

// Every visible control of page: inside the page and its parent, not smaller than it
// asks to be, its text not cut, clear of its siblings.
inline LayoutReport checkLayout(const QWidget *page, const LayoutRules &rules = {})
{
    LayoutReport report;
    auto overlay = [&](const QWidget *w) {
        return std::any_of(rules.overlays.begin(), rules.overlays.end(),
                           [&](const QWidget *o) { return o == w || o->isAncestorOf(w); });
    };
    for (const QWidget *c : page->findChildren<QWidget *>()) {
        // Every visible widget, containers too, lies inside the page and its parent
        // (a spin box's own line edit is its business).
        if (!c->isVisibleTo(page) || c->objectName().startsWith(QLatin1String("qt_")) ||
            c->inherits("QLineEdit"))
            continue;
        const QString name = describeControl(c);
        const QRect onPage(c->mapTo(page, QPoint(0, 0)), c->size());
        if (!page->rect().contains(onPage))
            report.problems << name + QStringLiteral(": outside the page");
        const QWidget *parent = c->parentWidget();
        if (parent && !parent->rect().contains(c->geometry()))
            report.problems << name + QStringLiteral(": outside its parent");
        if (!isLayoutControl(c))
            continue;
        ++report.checked;

        const QSize hint = c->minimumSizeHint();
        const int needW = c->minimumWidth() > 0 ? c->minimumWidth() : hint.width();
        const int needH = c->minimumHeight() > 0 ? c->minimumHeight() : hint.height();
        if (c->width() < needW || (rules.heights && c->height() < needH))
            report.problems << name + QStringLiteral(": smaller than %1x%2").arg(needW).arg(needH);
        const bool captioned =
            qobject_cast<const QAbstractButton *>(c) || qobject_cast<const QComboBox *>(c);
        if (rules.fullCaptions && captioned && c->width() < c->sizeHint().width())
            report.problems << name + QStringLiteral(": caption cut");
        if (auto *label = qobject_cast<const QLabel *>(c);
            rules.labelText && label && !label->wordWrap() && label->pixmap().isNull() &&
            !Qt::mightBeRichText(label->text())) {
            const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
            if (textWidth + 2 * label->margin() > label->contentsRect().width())
                report.problems << name + QStringLiteral(": text cut \"%1\"").arg(label->text());
        }

        if (!rules.overlaps || !parent || overlay(c))
            continue;
        for (const QWidget *s : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (s == c || !s->isVisibleTo(page) || !isLayoutControl(s) || overlay(s))
                continue;
            if (c->geometry().intersects(s->geometry()))
                report.problems << name + QStringLiteral(" overlaps ") + describeControl(s);
        }
    }
    return report;
}

} // namespace vardex::test
