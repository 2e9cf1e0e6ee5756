// A control of the tool windows, made under its name at a fixed place.
#pragma once

#include <QWidget>

template <class W>
W* MakeControl(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* widget = new W(parent);
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}
