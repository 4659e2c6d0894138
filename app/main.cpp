// quillmark: one running copy per user; `quillmark FOLDER` lists FOLDER at
// start as if it had been chosen with the folder command. --help and
// --version answer before Qt starts, so they need no display.
#include "app/main_frame.h"
#include "app/qt_translations.h"
#include "platform/single_instance.h"
#include "platform/termination_signal.h"
#include "resources/icons.h"
#include "settings/app_settings.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

void printUsage() {
    std::printf(
        "usage: quillmark [FOLDER]\n"
        "\n"
        "Lists the JPEG files of FOLDER, or of a folder chosen in the window, with\n"
        "33 facts about each, and changes them without loss. One copy runs per\n"
        "user; a second start ends at once.\n"
        "\n"
        "options:\n"
        "  -h, --help     show this text and exit\n"
        "  --version      show the version and exit\n"
        "Qt's own options (-platform NAME, -style NAME, ...) are accepted too.\n"
        "\n"
        "settings: %s\n",
        quill::settingsFilePath().c_str());
}

// Options that end the program before it opens a window; -1 when none is given.
int answerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            printUsage();
            return 0;
        }
        if (!std::strcmp(argv[i], "--version")) {
            std::printf("quillmark %s\n", QUILL_VERSION);
            return 0;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = answerInfoOption(argc, argv); status >= 0) return status;

    quill::SingleInstance instance;
    if (!instance.acquire()) return 0;

    QApplication app(argc, argv);
    quill::installJapaneseQtTexts(app);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationVersion(QStringLiteral(QUILL_VERSION));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILL_APP_ID));
    QApplication::setWindowIcon(quill::appIcon());

    // exit() leaves nested loops too (a running batch cancels and waits for
    // its worker); the window then saves its settings as it is destroyed.
    // Once only: a second exit() would end the loop that batch waits in.
    if (const int fd = quill::terminationSignalPipe(); fd >= 0) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
            notifier->setEnabled(false);
            QCoreApplication::exit(0);
        });
    }

    quill::CMainFrame frame;
    frame.showAtStart();

    const QStringList args = QApplication::arguments();
    const int at = args.size() > 1 && args.at(1) == QLatin1String("--") ? 2 : 1;
    if (args.size() > at && !args.at(at).isEmpty()) {
        const QString folder = args.at(at);
        QTimer::singleShot(0, &frame, [&frame, folder] { frame.listChosenFolder(folder); });
    }
    return QApplication::exec();
}
