#include "app/page_controls.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>

#include "platform/qt/widget_make.h"

using platform::qt::Make;
using platform::qt::MakeText;

TClickLabel::TClickLabel(QWidget* parent) : QLabel(parent) { setFocusPolicy(Qt::TabFocus); }

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked();
}

void TClickLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (isEnabled()) emit clicked();
        event->accept();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void TClickLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    // A plain label shows no focus of its own: frame the text as buttons do.
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    const QFontMetrics& fm = fontMetrics();
    const QSize textSize(std::min(fm.horizontalAdvance(text()) + 4, contentsRect().width()),
                         std::min(fm.height() + 2, contentsRect().height()));
    option.rect = QStyle::alignedRect(layoutDirection(), alignment(), textSize, contentsRect());
    option.backgroundColor = palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h) {
    auto* b = Make<QPushButton>(parent, name, x, y, w, h);
    b->setText(QString::fromUtf8(caption));
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QLabel* MakePlate(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* l = Make<QLabel>(parent, name, x, y, w, h);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setIndent(4);
    return l;
}

JobRow MakeJobRow(QWidget* p, const std::array<const char*, 9>& names, const char* fileButtonCaption) {
    JobRow r{};
    r.field = Make<QLineEdit>(p, names[0], 6, 204, 470, 22);
    r.field->setReadOnly(true);
    r.fileButton = MakeButton(p, names[1], fileButtonCaption, 480, 204, 60, 22);
    r.naming = MakeText<TClickLabel>(p, names[2], "<< multi-file naming", 546, 207, 124, 16);
    r.naming->setEnabled(false);
    r.start = MakeButton(p, names[3], "start", 6, 232, 76, 24);
    r.start->setEnabled(false);
    r.bar = Make<QProgressBar>(p, names[4], 170, 235, 500, 18);
    r.bar->setRange(0, 100);
    r.bar->setValue(0);
    r.bar->setTextVisible(false);  // the "Completed:" label shows the figure
    r.status = Make<QLabel>(p, names[5], 170, 259, 330, 16);
    r.completed = MakeText<QLabel>(p, names[6], "Completed:", 504, 259, 100, 16);
    r.eta = Make<QLabel>(p, names[7], 606, 259, 64, 16);
    r.eta->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    r.totals = Make<TClickLabel>(p, names[8], 440, 280, 230, 16);
    r.totals->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    r.totals->setCursor(Qt::PointingHandCursor);
    r.totals->hide();
    return r;
}

