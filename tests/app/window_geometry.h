// The layout check every window test runs on what its window shows now:
// each caption can be read in full, no two siblings overlap, and each
// control stays inside its parent (inside a group: below its title).
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QWidget>

inline bool ShownControl(QWidget* c, QWidget* window) {
    return c->isVisibleTo(window) && !c->objectName().isEmpty() && !c->objectName().startsWith("qt_");
}

inline void ExpectCaptionsFitAndNothingOverlaps(QWidget* window) {
    for (QWidget* c : window->findChildren<QWidget*>()) {
        if (!ShownControl(c, window)) continue;
        const QFontMetrics fm(c->font());
        int need = 0;
        if (auto* b = qobject_cast<QCheckBox*>(c)) {
            need = fm.horizontalAdvance(b->text().remove('&')) + 20;
        } else if (auto* r = qobject_cast<QRadioButton*>(c)) {
            need = fm.horizontalAdvance(r->text().remove('&')) + 20;
        } else if (auto* pb = qobject_cast<QPushButton*>(c)) {
            need = fm.horizontalAdvance(pb->text().remove('&')) + 6;
        } else if (auto* g = qobject_cast<QGroupBox*>(c)) {
            need = fm.horizontalAdvance(g->title()) + 16;
        } else if (auto* l = qobject_cast<QLabel*>(c); l && !l->wordWrap() && !l->text().isEmpty()) {
            need = fm.horizontalAdvance(l->text());
        }
        EXPECT_LE(need, c->width()) << c->objectName().toStdString() << " cuts its caption";
    }
    // Siblings never cover each other (hidden ones may) and stay inside their parent.
    // The window itself is a parent too: its own controls must not overlap.
    QList<QWidget*> parents = window->findChildren<QWidget*>();
    parents.prepend(window);
    for (QWidget* parent : parents) {
        if (parent != window && !parent->isVisibleTo(window)) continue;
        // A scroll area's page is larger than its view by design.
        if (auto* area = qobject_cast<QAbstractScrollArea*>(parent->parentWidget()); area && area->viewport() == parent)
            continue;
        QList<QWidget*> kids;
        for (QObject* o : parent->children()) {
            auto* k = qobject_cast<QWidget*>(o);
            if (k && ShownControl(k, window)) kids << k;
        }
        QRect inside = parent->rect();
        if (auto* g = qobject_cast<QGroupBox*>(parent)) {
            QStyleOptionGroupBox opt;
            opt.initFrom(g);
            opt.text = g->title();
            opt.subControls = QStyle::SC_All;
            inside = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxContents, g);
        }
        for (int i = 0; i < kids.size(); ++i) {
            EXPECT_TRUE(inside.contains(kids[i]->geometry()))
                << kids[i]->objectName().toStdString() << " leaves its parent's contents";
            for (int j = i + 1; j < kids.size(); ++j) {
                EXPECT_FALSE(kids[i]->geometry().intersects(kids[j]->geometry()))
                    << kids[i]->objectName().toStdString() << " overlaps " << kids[j]->objectName().toStdString();
            }
        }
    }
}
