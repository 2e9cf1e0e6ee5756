#include "app/about_window.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include "app/jpeg_picture.h"

namespace {

constexpr int kAboutWidth = 400;
constexpr int kAboutHeight = 240;
constexpr int kCreditsWidth = 460;
constexpr int kCreditsHeight = 250;

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y, int w, int h,
                  const QColor& colour) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(x, y, w, h);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    return l;
}

// A picture from the program's folder; without its file a plain plate of
// the colour stands in.
QLabel* MakePicture(QWidget* parent, const char* name, const std::string& file, int x, int y, int w, int h,
                    const QColor& fallback) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(x, y, w, h);
    QImage picture = LoadJpegPicture(file);
    if (!picture.isNull()) {
        l->setPixmap(QPixmap::fromImage(picture));
    } else {
        l->setAutoFillBackground(true);
        QPalette p = l->palette();
        p.setColor(QPalette::Window, fallback);
        l->setPalette(p);
    }
    return l;
}

void CentreOnScreen(QWidget* w) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = screen->availableGeometry();
        w->move(r.center() - QPoint(w->width() / 2, w->height() / 2));
    }
}

}  // namespace

// ---------------------------------------------------------------- about

TForm5::TForm5(QWidget* owner, platform::Shell& shell, const std::string& exeDir)
    : QDialog(owner), shell_(shell), exeDir_(exeDir) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("about"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setFixedSize(kAboutWidth, kAboutHeight);
    setAutoFillBackground(true);
    QPalette bg = palette();
    bg.setColor(QPalette::Window, Qt::white);
    setPalette(bg);

    const QColor grey(0x80, 0x80, 0x80), navy(0x00, 0x00, 0x80);
    aboutImage = MakePicture(this, "aboutImage", exeDir + "about.jpg", 0, 0, kAboutWidth, 120, QColor(0x22, 0x4a, 0x68));
    homepageLabel = MakeLabel(this, "homepageLabel", "homepage:", 12, 130, 70, 16, grey);
    homepageURL = MakeLabel(this, "homepageURL", kHomepageAddress, 84, 130, 190, 16, navy);
    emailLabel = MakeLabel(this, "emailLabel", "email:", 12, 148, 70, 16, grey);
    email = MakeLabel(this, "email", kEmailAddress, 84, 148, 140, 16, navy);
    engineLabel = MakeLabel(this, "engineLabel", kEngineVersion, 12, 166, 120, 16, grey);
    codedByLabel = MakeLabel(this, "codedByLabel", kCodedBy, 12, 192, 200, 16, Qt::black);
    pluggedImage = MakePicture(this, "pluggedImage", exeDir + "plugged.jpg", 280, 128, 56, 56, QColor(0x40, 0xa0, 0x40));
    wallPlug = MakePicture(this, "wallPlug", exeDir + "socket.jpg", 340, 128, 56, 56, QColor(0xc0, 0xc0, 0xc0));
    creditButton =
        MakePicture(this, "creditButton", exeDir + "credits_button.jpg", 340, 196, 56, 28, QColor(0x22, 0x4a, 0x68));
    plugInMouth = MakePicture(this, "plugInMouth", exeDir + "plug.jpg", 280, 190, 56, 40, QColor(0x60, 0x60, 0x60));
    for (QLabel* l : {homepageURL, email, wallPlug, creditButton, plugInMouth}) l->setCursor(Qt::PointingHandCursor);
    pluggedImage->hide();
    creditButton->hide();
    for (QLabel* l : {aboutImage, homepageLabel, homepageURL, emailLabel, email, engineLabel, codedByLabel,
                      pluggedImage, wallPlug, creditButton, plugInMouth})
        l->installEventFilter(this);
    CentreOnScreen(this);
}

void TForm5::aboutImageClick() { done(1); }
void TForm5::homepageLabelClick() { done(1); }
void TForm5::emailLabelClick() { done(1); }
void TForm5::engineLabelClick() { done(1); }
void TForm5::codedByLabelClick() { done(1); }
void TForm5::pluggedImageClick() { done(1); }

void TForm5::homepageURLClick() { shell_.open(kHomepageAddress); }
void TForm5::emailClick() { shell_.open(std::string("mailto:") + kEmailAddress); }

void TForm5::wallPlugDragOver(QWidget* source, DragState state) {
    if (source == wallPlug || state != dsDragEnter) return;
    pluggedImage->show();
    creditButton->show();
}

void TForm5::plugInMouthDragOver(QWidget* source, DragState state) {
    if (source == plugInMouth || state != dsDragEnter) return;
    pluggedImage->hide();
    creditButton->hide();
}

void TForm5::creditButtonClick() {
    TForm6 credits(this, exeDir_);
    credits.ExecuteScroll();
    credits.exec();
}

// The drag of a picture follows the mouse while its button is held: the
// picture under the pointer hears of the drag entering and leaving it.
void TForm5::DragTo(QWidget* target) {
    if (target == dragOver_) return;
    if (dragOver_ == wallPlug) wallPlugDragOver(dragSource_, dsDragLeave);
    if (dragOver_ == plugInMouth) plugInMouthDragOver(dragSource_, dsDragLeave);
    dragOver_ = target;
    if (target == wallPlug) wallPlugDragOver(dragSource_, dsDragEnter);
    if (target == plugInMouth) plugInMouthDragOver(dragSource_, dsDragEnter);
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    auto* me = dynamic_cast<QMouseEvent*>(event);
    if (!me || me->button() == Qt::RightButton) return QDialog::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    const bool draggable = watched == wallPlug || watched == plugInMouth;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (draggable) {
                dragSource_ = widget;
                dragOver_ = widget;
                return true;
            }
            break;
        case QEvent::MouseMove:
            if (dragSource_) {
                const QPoint at = widget->mapTo(this, me->position().toPoint());
                QWidget* under = childAt(at);
                DragTo(under == wallPlug || under == plugInMouth ? under : nullptr);
                return true;
            }
            break;
        case QEvent::MouseButtonRelease: {
            if (dragSource_) {
                dragSource_ = nullptr;
                dragOver_ = nullptr;
                return true;
            }
            if (!widget->rect().contains(me->position().toPoint())) break;
            if (watched == homepageURL) homepageURLClick();
            else if (watched == email) emailClick();
            else if (watched == creditButton) creditButtonClick();
            else if (watched == aboutImage) aboutImageClick();
            else if (watched == homepageLabel) homepageLabelClick();
            else if (watched == emailLabel) emailLabelClick();
            else if (watched == engineLabel) engineLabelClick();
            else if (watched == codedByLabel) codedByLabelClick();
            else if (watched == pluggedImage) pluggedImageClick();
            return true;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- credits

TForm6::TForm6(QWidget* owner, const std::string& exeDir) : QDialog(owner) {
    setObjectName(QStringLiteral("Form6"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setFixedSize(kCreditsWidth, kCreditsHeight);
    Image1 = MakePicture(this, "Image1", exeDir + "credits_back.jpg", 0, 0, kCreditsWidth, kCreditsHeight,
                         QColor(0x22, 0x4a, 0x68));
    // The text scrolls over the background picture.
    ScrollBox1 = new QScrollArea(Image1);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setGeometry(40, 60, 380, 161);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setWidgetResizable(false);
    // The scrolled area is 1300 high, so that the scroll bar runs 0..1139.
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ScrollPage"));
    page->setFixedSize(380, kScrollRange);
    page->setAutoFillBackground(true);
    QPalette white = page->palette();
    white.setColor(QPalette::Window, Qt::white);
    page->setPalette(white);
    Memo1 = new QLabel(QString::fromUtf8(CreditsText()), page);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 0, 380, 1150);
    Memo1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    Memo1->setWordWrap(true);
    Memo1->setCursor(Qt::ArrowCursor);
    ScrollBox1->setWidget(page);
    ScrollBox1->verticalScrollBar()->setValue(kStartPosition);
    Image1->installEventFilter(this);
    Memo1->installEventFilter(this);
    CentreOnScreen(this);
}

TForm6::~TForm6() {
    if (CreditThread) CreditThread->stop();
}

void TForm6::ExecuteScroll() {
    if (CreditThread) return;
    // A timer on the GUI thread: the scroll bar is only ever moved there.
    CreditThread = new QTimer(this);
    CreditThread->setObjectName(QStringLiteral("CreditThread"));
    CreditThread->setInterval(kTickMs);
    connect(CreditThread, &QTimer::timeout, this, [this] { ScrollStep(); });
    CreditThread->start();
}

void TForm6::ScrollStep() {
    QScrollBar* bar = ScrollBox1->verticalScrollBar();
    bar->setValue(bar->value() > kStartPosition - 1 ? 0 : bar->value() + 1);
}

void TForm6::Image1Click() { done(1); }
void TForm6::Memo1Click() { done(1); }
void TForm6::Panel1Click() { done(1); }

bool TForm6::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == Image1) Image1Click();
        else if (watched == Memo1) Memo1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

const char* CreditsText() {
    return "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n"
           "Thank you to everybody who helped to make Pellmor what it is: the people who tried it, "
           "reported what went wrong, asked for what was missing and gave their time.\n\n"
           "[ hosting ]\n    the Pellmor team\n\n"
           "[ testing ]\n    the Pellmor team\n    everybody who sent a report\n\n"
           "[ ideas for features ]\n    the users of Pellmor\n\n"
           "[ features ]\n    the Pellmor team\n\n"
           "[ support ]\n    the Pellmor team\n\n"
           "[ ports to other systems ]\n    the Pellmor team\n\n"
           "[ libraries ]\n    Qt\n    libjpeg\n\n"
           "[ further thanks ]\n    everybody who shared a disc image that would not play\n\n"
           "Thanks also to the translators of the language packs, who made Pellmor speak their "
           "languages.\n\n"
           "Have fun with your discs!\n";
}
