#pragma once
// Qt's own texts in Simplified Chinese: the standard buttons of message
// boxes, the open and save dialogs, the edit and browser context menus.
// The program's own texts are Chinese already.

class QCoreApplication;

namespace yhz {

// Loads Qt's zh_CN catalogues from Qt's translations folder and makes
// Chinese the default locale. False when the base catalogue is missing (Qt
// then speaks English; the program runs all the same).
bool loadChineseTranslations(QCoreApplication& app);

}  // namespace yhz
