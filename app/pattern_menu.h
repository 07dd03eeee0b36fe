#pragma once
// The nice-number choices of the page "号码过滤": a small button beside the
// digit rules whose menu holds the shapes and the tail digits, every entry
// checkable and off at first. The expansion reads them by name.

#include <QToolButton>

namespace yhz {

QToolButton* makePatternButton(QWidget* parent, int x, int y, int w, int h);

}  // namespace yhz
