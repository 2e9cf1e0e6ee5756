// Start-up: the application, its title, the main window and the message loop.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(TForm1::kApplicationTitle));
    TForm1::ApplyApplicationStyle();
    try {
        TForm1 window;
        Form1 = &window;
        window.show();
        app.exec();
        Form1 = nullptr;
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QString::fromLatin1(TForm1::kApplicationTitle), QString::fromUtf8(e.what()));
    }
    return 0;
}
