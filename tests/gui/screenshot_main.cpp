// quill-screenshot OUT.png FOLDER [WIDTH HEIGHT]: renders the main window
// listing FOLDER, with the first row selected and previewed, into a PNG.
// Runs on any Qt platform; scripts/screenshot.sh uses the offscreen one.
// QT_SCALE_FACTOR and QUILL_SCREENSHOT_FONT show other scales and fonts.
// Settings go to a temporary folder, so the user's status.ini is untouched.
#include "app/main_frame.h"
#include "preview/preview_pane.h"
#include "resources/icons.h"

#include <QApplication>
#include <QFont>
#include <QItemSelectionModel>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: quill-screenshot OUT.png FOLDER [WIDTH HEIGHT]\n");
        return 2;
    }
    const int width = args.size() > 4 ? args.at(3).toInt() : 1100;
    const int height = args.size() > 4 ? args.at(4).toInt() : 620;
    // QUILL_SCREENSHOT_FONT="IPAGothic,11" stands in for a desktop's font.
    const QStringList font = qEnvironmentVariable("QUILL_SCREENSHOT_FONT").split(QLatin1Char(','));
    if (font.size() == 2) QApplication::setFont(QFont(font.at(0), font.at(1).toInt()));
    QTemporaryDir settingsDir;
    QApplication::setWindowIcon(quill::appIcon());
    quill::CMainFrame frame(std::filesystem::path(settingsDir.filePath("status.ini").toStdString()));
    frame.resize(width, height);
    frame.show();
    QApplication::processEvents();
    frame.listChosenFolder(args.at(2));
    quill::FileListView& list = frame.fileList();
    if (list.rowCount() > 0) {
        list.table()->selectionModel()->setCurrentIndex(
            list.model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        frame.previewThread.wait();
    }
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    if (!frame.grab().save(args.at(1))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
