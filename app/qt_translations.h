// Japanese for the texts that Qt's own widgets bring along: the folder and
// file dialogs, the date picker's calendar, the edit context menus. Our own
// texts are Japanese already.
#pragma once

class QCoreApplication;
class QTranslator;

namespace quill {

// Makes Japanese the default locale and installs Qt's Japanese translation
// when the system has it. Returns the installed translator (owned by app),
// or nullptr when none was found; the program then shows Qt's English texts.
QTranslator* installJapaneseQtTexts(QCoreApplication& app);

}  // namespace quill
