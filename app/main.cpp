// quillmark: one running copy per user; `quillmark FOLDER` lists FOLDER at
// start as if it had been chosen with the folder command.
#include "app/main_frame.h"
#include "app/qt_translations.h"
#include "platform/single_instance.h"
#include "resources/icons.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    quill::SingleInstance instance;
    if (!instance.acquire()) return 0;

    QApplication app(argc, argv);
    quill::installJapaneseQtTexts(app);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setWindowIcon(quill::appIcon());

    quill::CMainFrame frame;
    frame.showAtStart();

    const QStringList args = QApplication::arguments();
    if (args.size() > 1 && !args.at(1).isEmpty()) {
        const QString folder = args.at(1);
        QTimer::singleShot(0, &frame, [&frame, folder] { frame.listChosenFolder(folder); });
    }
    return QApplication::exec();
}
