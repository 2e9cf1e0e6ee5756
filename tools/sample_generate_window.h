// The "Generating Sample..." window shown over the main window while a clip
// is written from the utility menu: a label and a bar, no frame.
#pragma once

#include <QWidget>

#include "tools/clip_writer.h"

class QLabel;
class QProgressBar;

class TSampleGenerateForm : public QWidget, public SampleProgressWindow {
    Q_OBJECT
public:
    explicit TSampleGenerateForm(QWidget* owner = nullptr);

    void showWith(const std::string& text) override;
    void setPosition(int percent) override;
    void hideAndReset() override;

    QLabel* SampleLabel = nullptr;
    QProgressBar* PB = nullptr;

private:
    QWidget* owner_;
};
