#pragma once
// Makers for the fixed-position controls the windows lay out by name.
#include <QGroupBox>
#include <QLatin1String>
#include <QString>
#include <QWidget>

namespace platform::qt {

template <class W>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
    W* widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

template <class W>
W* MakeText(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h) {
    auto* widget = Make<W>(parent, name, x, y, w, h);
    widget->setText(QString::fromUtf8(caption));
    return widget;
}

inline QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* title, int x, int y, int w, int h) {
    auto* g = Make<QGroupBox>(parent, name, x, y, w, h);
    g->setTitle(QString::fromUtf8(title));
    return g;
}

}  // namespace platform::qt
