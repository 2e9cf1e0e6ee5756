// Qt backends of the control handles: each wraps one widget. Calls from
// another thread are posted to the GUI thread; getters wait for the answer.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>

#include "platform/controls.h"

namespace platform::qt {

class QtLabel final : public platform::Label {
public:
    explicit QtLabel(QLabel* w) : w_(w) {}
    void setCaption(const std::string& text) override;
    std::string caption() const override;
    void setVisible(bool visible) override;
    bool visible() const override;
    void setColor(int32_t bgr) override;

private:
    QPointer<QLabel> w_;
};

class QtProgressBar final : public platform::ProgressBar {
public:
    explicit QtProgressBar(QProgressBar* w) : w_(w) {}
    void setPosition(int percent) override;
    int position() const override;

private:
    QPointer<QProgressBar> w_;
};

class QtListBox final : public platform::ListBox {
public:
    explicit QtListBox(QListWidget* w) : w_(w) {}
    void add(const std::string& line) override;
    void clear() override;
    int count() const override;
    std::string item(int index) const override;
    bool selected(int index) const override;
    void setSelected(int index, bool on) override;
    int selectedCount() const override;
    void scrollToEnd() override;

private:
    QPointer<QListWidget> w_;
};

class QtButton final : public platform::Button {
public:
    explicit QtButton(QAbstractButton* w) : w_(w) {}
    void setCaption(const std::string& text) override;
    std::string caption() const override;
    void setHint(const std::string& text) override;
    std::string hint() const override;
    void setEnabled(bool on) override;
    bool enabled() const override;

private:
    QPointer<QAbstractButton> w_;
};

class QtCheckBox final : public platform::CheckBox {
public:
    explicit QtCheckBox(QAbstractButton* w) : w_(w) {}
    void setChecked(bool on) override;
    bool checked() const override;
    void setEnabled(bool on) override;
    bool enabled() const override;

private:
    QPointer<QAbstractButton> w_;
};

// Writing the text runs the edit's textChanged handlers before returning.
class QtEdit final : public platform::Edit {
public:
    explicit QtEdit(QLineEdit* w) : w_(w) {}
    void setText(const std::string& text) override;
    std::string text() const override;

private:
    QPointer<QLineEdit> w_;
};

// Colour as 0x00BBGGRR into a Qt colour.
QColor fromBgr(int32_t bgr);
// And back.
int32_t toBgr(const QColor& colour);

}  // namespace platform::qt
