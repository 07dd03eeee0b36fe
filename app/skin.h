#pragma once
// The window skin: style, palette, fonts and the picture buttons.

class QApplication;

namespace yhz {

void applySkin(QApplication& app);
void detachSkin(QApplication& app);

}  // namespace yhz
