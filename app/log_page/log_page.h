// The logs page of the main window: the processing log and its buttons.
#pragma once

#include <QObject>

class QFrame;
class QListWidget;
class QPushButton;
class QWidget;

class TLogPage : public QObject {
public:
    // Lays the page's controls out on sheet and connects their handlers.
    explicit TLogPage(QWidget* sheet);

    void ccopyButtonClick();
    void clearLogClick();

    QListWidget* log = nullptr;
    QPushButton *copyPanel = nullptr, *clearPanel = nullptr;
    QFrame* copyAnimPanel = nullptr;
};
