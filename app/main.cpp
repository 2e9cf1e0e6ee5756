// Start-up: the application, its title, the main window and the message loop.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/main_window/main_window.h"
#include "platform/qt/media_player_qt.h"

namespace {

// An exception escaping a handler is shown in a box and the program goes on,
// as the desktop library's standard exception box does.
class Application final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowException(e.what());
        } catch (...) {
            ShowException("Unknown exception");
        }
        return false;
    }
    static void ShowException(const char* what) {
        QMessageBox::critical(nullptr, QString::fromLatin1(TForm1::kApplicationTitle), QString::fromUtf8(what));
    }
};

}  // namespace

int main(int argc, char** argv) {
    platform::qt::ChooseMediaBackend();
    Application app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(TForm1::kApplicationTitle));
    TForm1::ApplyApplicationStyle();
    try {
        TForm1 window;
        window.show();
        app.exec();
    } catch (const std::exception& e) {
        Application::ShowException(e.what());
    }
    return 0;
}
