#include "tools/sample_generate_window.h"

#include <QLabel>
#include <QProgressBar>

#include "platform/qt/text.h"

TSampleGenerateForm::TSampleGenerateForm(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), owner_(owner) {
    setObjectName("TSampleGenerateForm");
    setFixedSize(260, 64);
    setAutoFillBackground(true);
    SampleLabel = new QLabel("Generating Sample...", this);
    SampleLabel->setObjectName("SampleLabel");
    SampleLabel->setAlignment(Qt::AlignCenter);
    SampleLabel->setGeometry(8, 8, 244, 18);
    PB = new QProgressBar(this);
    PB->setObjectName("PB");
    PB->setRange(0, 100);
    PB->setGeometry(8, 32, 244, 20);
}

void TSampleGenerateForm::showWith(const std::string& text) {
    SampleLabel->setText(platform::qt::toQt(text));
    PB->setValue(0);
    if (owner_) {
        const QPoint centre = owner_->mapToGlobal(owner_->rect().center());
        move(centre.x() - width() / 2, centre.y() - height() / 2);
    }
    show();
    repaint();
}

// The writer runs on the GUI thread: each step paints at once.
void TSampleGenerateForm::setPosition(int percent) {
    PB->setValue(percent);
    PB->repaint();
}

void TSampleGenerateForm::hideAndReset() {
    hide();
    PB->setValue(0);
}
