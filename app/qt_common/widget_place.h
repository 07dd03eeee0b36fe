#pragma once
// The windows place their controls at fixed pixels and name each with its
// control name, so that the core and the tests find it.

#include <QWidget>
#include <string_view>

#include "app/qt_common/qt_text.h"

namespace yhz {

template <typename W>
W* place(W* widget, std::string_view name, int x, int y, int w, int h) {
    widget->setObjectName(fromName(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

}  // namespace yhz
