// The about window (a picture, the engine version, the makers' addresses and
// a small game: the plug into the socket reveals the credits button) and the
// credits window with its scrolling text.
#pragma once

#include <QDialog>
#include <string>

#include "platform/shell.h"

class QLabel;
class QScrollArea;
class QTimer;

// The makers' addresses and author line, in one place.
inline constexpr const char* kHomepageAddress = "https://pellmor.example.org/";
inline constexpr const char* kEmailAddress = "pellmor@example.org";
inline constexpr const char* kCodedBy = "coded by the Pellmor team";
inline constexpr const char* kEngineVersion = "engine 1.76";

class TForm5 : public QDialog {
public:
    // The states of a drag over a picture.
    enum DragState { dsDragEnter, dsDragLeave, dsDragMove };

    TForm5(QWidget* owner, platform::Shell& shell, const std::string& exeDir);

    // Clicks that close the window (modal result 1).
    void aboutImageClick();
    void homepageLabelClick();
    void emailLabelClick();
    void engineLabelClick();
    void codedByLabelClick();
    void pluggedImageClick();
    void homepageURLClick();
    void emailClick();
    // A drag passing over the socket or the plug.
    void wallPlugDragOver(QWidget* source, DragState state);
    void plugInMouthDragOver(QWidget* source, DragState state);
    void creditButtonClick();

    QLabel *aboutImage = nullptr, *homepageLabel = nullptr, *homepageURL = nullptr, *emailLabel = nullptr,
           *email = nullptr, *engineLabel = nullptr, *codedByLabel = nullptr, *pluggedImage = nullptr,
           *wallPlug = nullptr, *creditButton = nullptr, *plugInMouth = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DragTo(QWidget* target);

    platform::Shell& shell_;
    std::string exeDir_;
    // The picture being dragged (the plug or the socket) and the one under it.
    QWidget* dragSource_ = nullptr;
    QWidget* dragOver_ = nullptr;
};

class TForm6 : public QDialog {
public:
    static constexpr int kScrollRange = 1300;
    static constexpr int kStartPosition = 1139;
    static constexpr int kTickMs = 50;

    TForm6(QWidget* owner, const std::string& exeDir);
    ~TForm6() override;

    // Starts the scroller: one step every 50 ms, back to the top after 1139.
    void ExecuteScroll();
    void Image1Click();
    void Memo1Click();
    void Panel1Click();
    // One step of the scroller.
    void ScrollStep();

    QLabel* Image1 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QLabel* Memo1 = nullptr;
    QTimer* CreditThread = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The credits text, line by line.
const char* CreditsText();
