#include "platform/qt/controls_qt.h"

#include "platform/qt/gui_thread.h"
#include "platform/qt/text.h"

namespace platform::qt {

namespace {

// Runs fn with the widget on its thread and waits; a destroyed widget gives
// the fallback.
template <class W, class R, class F>
R askWidget(const QPointer<W>& w, R fallback, F fn) {
    R result = fallback;
    W* raw = w.data();
    if (!raw) return result;
    runOnGui(raw, [&] {
        if (w) result = fn(w.data());
    });
    return result;
}

template <class W, class F>
void tellWidget(const QPointer<W>& w, F fn) {
    W* raw = w.data();
    if (!raw) return;
    QPointer<W> guard = w;
    postToGui(raw, [guard, fn] {
        if (guard) fn(guard.data());
    });
}

}  // namespace

QColor fromBgr(int32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

int32_t toBgr(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

void QtLabel::setCaption(const std::string& text) {
    tellWidget(w_, [text](QLabel* l) { l->setText(toQtKept(l, "caption", text)); });
}
std::string QtLabel::caption() const {
    return askWidget(w_, std::string(), [](QLabel* l) { return fromQtKept(l, "caption", l->text()); });
}
void QtLabel::setVisible(bool visible) {
    tellWidget(w_, [visible](QLabel* l) { l->setVisible(visible); });
}
bool QtLabel::visible() const {
    return askWidget(w_, false, [](QLabel* l) { return !l->isHidden(); });
}
void QtLabel::setColor(int32_t bgr) {
    QColor c = fromBgr(bgr);
    tellWidget(w_, [c](QLabel* l) {
        QPalette p = l->palette();
        p.setColor(QPalette::Window, c);
        l->setPalette(p);
        l->setAutoFillBackground(true);
    });
}

void QtProgressBar::setPosition(int percent) {
    tellWidget(w_, [percent](QProgressBar* b) { b->setValue(percent); });
}
int QtProgressBar::position() const {
    return askWidget(w_, 0, [](QProgressBar* b) { return b->value(); });
}

void QtListBox::add(const std::string& line) {
    tellWidget(w_, [line](QListWidget* l) {
        auto* item = new QListWidgetItem;
        item->setText(toQtKept(item, line));
        l->addItem(item);
    });
}
void QtListBox::clear() {
    tellWidget(w_, [](QListWidget* l) { l->clear(); });
}
int QtListBox::count() const {
    return askWidget(w_, 0, [](QListWidget* l) { return l->count(); });
}
std::string QtListBox::item(int index) const {
    return askWidget(w_, std::string(), [index](QListWidget* l) {
        QListWidgetItem* it = l->item(index);
        return it ? fromQtKept(it) : std::string();
    });
}
bool QtListBox::selected(int index) const {
    return askWidget(w_, false, [index](QListWidget* l) {
        QListWidgetItem* it = l->item(index);
        return it && it->isSelected();
    });
}
void QtListBox::setSelected(int index, bool on) {
    tellWidget(w_, [index, on](QListWidget* l) {
        if (QListWidgetItem* it = l->item(index)) it->setSelected(on);
    });
}
int QtListBox::selectedCount() const {
    return askWidget(w_, 0, [](QListWidget* l) { return static_cast<int>(l->selectedItems().size()); });
}
void QtListBox::scrollToEnd() {
    tellWidget(w_, [](QListWidget* l) { l->scrollToBottom(); });
}

void QtButton::setCaption(const std::string& text) {
    tellWidget(w_, [text](QAbstractButton* b) { b->setText(toQtKept(b, "caption", text)); });
}
std::string QtButton::caption() const {
    return askWidget(w_, std::string(), [](QAbstractButton* b) { return fromQtKept(b, "caption", b->text()); });
}
void QtButton::setHint(const std::string& text) {
    tellWidget(w_, [text](QAbstractButton* b) { b->setToolTip(toQtKept(b, "hint", text)); });
}
std::string QtButton::hint() const {
    return askWidget(w_, std::string(), [](QAbstractButton* b) { return fromQtKept(b, "hint", b->toolTip()); });
}
void QtButton::setEnabled(bool on) {
    tellWidget(w_, [on](QAbstractButton* b) { b->setEnabled(on); });
}
bool QtButton::enabled() const {
    return askWidget(w_, false, [](QAbstractButton* b) { return b->isEnabled(); });
}

void QtCheckBox::setChecked(bool on) {
    tellWidget(w_, [on](QAbstractButton* b) { b->setChecked(on); });
}
bool QtCheckBox::checked() const {
    return askWidget(w_, false, [](QAbstractButton* b) { return b->isChecked(); });
}
void QtCheckBox::setEnabled(bool on) {
    tellWidget(w_, [on](QAbstractButton* b) { b->setEnabled(on); });
}
bool QtCheckBox::enabled() const {
    return askWidget(w_, false, [](QAbstractButton* b) { return b->isEnabled(); });
}

void QtEdit::setText(const std::string& text) {
    // Through the shared table: the change handlers are window code, which
    // reads the text back with fromQt.
    QString t = toQt(text);
    QLineEdit* raw = w_.data();
    if (!raw) return;
    QPointer<QLineEdit> guard = w_;
    runOnGui(raw, [&] {
        if (guard) guard->setText(t);
    });
}
std::string QtEdit::text() const {
    return askWidget(w_, std::string(), [](QLineEdit* e) { return fromQt(e->text()); });
}

}  // namespace platform::qt
