// The small dialogs driven as a user would, offscreen: buttons, Esc, the
// placement rule, the options round trip, the viewer launch and its error,
// and window placement records applied to real windows.
#include <QCheckBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTimeEdit>
#include <QTranslator>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include "app/about_dialog.h"
#include "app/batch_rename_dialog.h"
#include "app/message_dialog.h"
#include "app/options_dialog.h"
#include "app/qt_translations.h"
#include "app/rename_dialog.h"
#include "app/viewer.h"
#include "app/window_placement.h"
#include "imaging/ui/compression_dialog.h"
#include "preview/image_file_dialog.h"
#include "settings/app_settings.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_files.h"

namespace quill {
namespace {

using namespace quill::test;

// Shows a message and ends it with `finish`.
int showAndEnd(int kind, QWidget* owner, std::function<void(QDialog*)> finish) {
    auto watch = whenShown<QDialog>("messageDialog", std::move(finish));
    return showMessage(owner, kind, QStringLiteral("確認"), QStringLiteral("3 個のファイルを削除します。"));
}

// Kind 0 informs, 1 asks; any other kind is a plain note. Every button
// answers with its number, Esc and the close box with 2.
TEST(MessageDialog, KindsChooseIconAndButtons) {
    const struct {
        int kind;
        bool icon;
        const char* button1;
        bool button2;
        const char* shot;
    } kinds[] = {{0, true, "閉じる", false, "message_info"},
                 {1, true, "実行", true, "message_question"},
                 {2, false, "閉じる", false, "message_plain"},
                 {-1, false, "閉じる", false, nullptr},
                 {99, false, "閉じる", false, nullptr}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        const int answer = showAndEnd(k.kind, nullptr, [&k](QDialog* d) {
            EXPECT_EQ(d->windowTitle(), QStringLiteral("確認"));
            EXPECT_EQ(child<QLabel>(d, "text")->text(),
                      QStringLiteral("3 個のファイルを削除します。"));
            EXPECT_EQ(child<QLabel>(d, "icon")->isVisibleTo(d), k.icon);
            EXPECT_TRUE(child<QPushButton>(d, "button1")->isVisibleTo(d));
            EXPECT_EQ(child<QPushButton>(d, "button1")->text(), QString::fromUtf8(k.button1));
            EXPECT_EQ(child<QPushButton>(d, "button2")->isVisibleTo(d), k.button2);
            if (k.shot) screenshot(d, k.shot);
            click(d, "button1");
        });
        EXPECT_EQ(answer, 1);
        EXPECT_EQ(showAndEnd(k.kind, nullptr, escape), 2);
        EXPECT_EQ(showAndEnd(k.kind, nullptr, [](QDialog* d) { d->close(); }), 2);
        if (k.button2) {
            EXPECT_EQ(showAndEnd(k.kind, nullptr, [](QDialog* d) { click(d, "button2"); }), 2);
        }
    }
}

TEST(MessageDialog, WorkerThreadGetsTheAnswerFromTheInterfaceThread) {
    auto watch = whenShown<QDialog>("messageDialog", [&](QDialog* d) {
        EXPECT_EQ(d->thread(), QApplication::instance()->thread());
        EXPECT_EQ(d->windowTitle(), QStringLiteral("読み取り専用"));
        click(d, "button1");
    });
    int result = 0;
    Latch answered;
    std::thread worker([&] {
        result = showMessage(nullptr, 1, QStringLiteral("読み取り専用"), QStringLiteral("上書きしますか?"));
        answered.open();
    });
    answered.wait();
    worker.join();
    EXPECT_EQ(result, 1);
}

TEST(DialogPlacement, CentredOnlyOverAnOwnerWiderAndTaller) {
    QWidget owner;
    QRect dialog;
    auto showOverOwner = [&] {
        showAndEnd(0, &owner, [&](QDialog* d) {
            dialog = d->frameGeometry();
            click(d, "button1");
        });
    };
    owner.setGeometry(40, 30, 700, 500);
    owner.show();
    showOverOwner();
    const QRect ownerRect = owner.frameGeometry();
    EXPECT_EQ(dialog.left(), ownerRect.left() + (ownerRect.width() - dialog.width()) / 2);
    EXPECT_EQ(dialog.top(), ownerRect.top() + (ownerRect.height() - dialog.height()) / 2);

    // Wider but not taller: the dialog stays at the owner's client origin.
    owner.setGeometry(60, 70, 700, 60);
    showOverOwner();
    EXPECT_EQ(dialog.topLeft(), owner.geometry().topLeft());
}

// Runs the options dialog on settings; act answers it.
int runOptions(AppSettings& settings, std::function<void(QWidget*)> act) {
    auto watch = whenShown<QDialog>("optionsDialog", [&act](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("オプション設定"));
        act(d);
    });
    return runOptionsDialog(nullptr, settings);
}

// Picks `path` in the viewer file dialog that the "..." button opens.
void browseTo(QWidget* options, const QString& path, bool accept) {
    auto watch = whenShown<QFileDialog>("viewerFileDialog", [path, accept](QFileDialog* files) {
        screenshot(files, "viewer_file_dialog");
        files->selectFile(path);
        QMetaObject::invokeMethod(files, accept ? "accept" : "reject");
    });
    child<QPushButton>(options, "browseViewer")->click();
}

bool pickersEnabled(QWidget* options) {
    return child<QDateEdit>(options, "datePicker")->isEnabled() &&
           child<QTimeEdit>(options, "timePicker")->isEnabled();
}

// The viewer, the time stamp and our own options (off by default, named for
// screen readers), each stored on "設定する" as it was left.
TEST(OptionsDialog, SetStoresViewerTimeStampAndOwnOptions) {
    TempDir dir;
    QString viewer = QString::fromStdString((writeBytes(dir / "my viewer", {'#', '!'})).string());
    const struct {
        const char* name;
        std::int32_t AppSettings::*field;
    } options[] = {{"keepIcc", &AppSettings::keepIcc},
                   {"keepTime", &AppSettings::keepTime},
                   {"resetOrientation", &AppSettings::resetOrientation},
                   {"useTrash", &AppSettings::useTrash}};
    AppSettings s;
    s.viewerPath = "/old/viewer";
    s.timestamp.milliseconds = 250;
    s.keepTime = 1;
    const int result = runOptions(s, [&](QWidget* w) {
        EXPECT_FALSE(child<QCheckBox>(w, "useViewer")->isChecked());
        EXPECT_EQ(child<QLineEdit>(w, "viewerPath")->text(), "/old/viewer");
        EXPECT_EQ(child<QDateEdit>(w, "datePicker")->date(), QDate(2000, 1, 1));
        EXPECT_FALSE(child<QPushButton>(w, "browseViewer")->isEnabled());
        EXPECT_FALSE(pickersEnabled(w));
        child<QCheckBox>(w, "useViewer")->click();
        EXPECT_TRUE(child<QPushButton>(w, "browseViewer")->isEnabled());
        browseTo(w, viewer, true);
        EXPECT_EQ(child<QLineEdit>(w, "viewerPath")->text(), viewer);
        child<QCheckBox>(w, "useTimestamp")->click();
        EXPECT_TRUE(pickersEnabled(w));
        child<QDateEdit>(w, "datePicker")->setDate(QDate(2021, 3, 4));
        child<QTimeEdit>(w, "timePicker")->setTime(QTime(5, 6, 7));
        for (const auto& o : options) {
            QCheckBox* box = child<QCheckBox>(w, o.name);
            EXPECT_EQ(box->isChecked(), o.field == &AppSettings::keepTime);
            EXPECT_FALSE(box->accessibleName().isEmpty()) << o.name;
            box->click();
        }
        screenshot(w, "options_dialog");
        click(w, "button1");
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(s.useViewer, 1);
    EXPECT_EQ(QString::fromStdString(s.viewerPath), viewer);
    EXPECT_EQ(s.applyTimestamp, 1);
    // 2021-03-04 was a Thursday; the milliseconds stay as they were.
    EXPECT_EQ(s.timestamp, (SystemTime{2021, 3, 4, 4, 5, 6, 7, 250}));
    for (const auto& o : options)
        EXPECT_EQ(s.*o.field, o.field == &AppSettings::keepTime ? 0 : 1) << o.name;
}

TEST(OptionsDialog, CancelDiscardsEverythingIncludingABrowsedPath) {
    TempDir dir;
    QString viewer = QString::fromStdString((writeBytes(dir / "v", {'x'})).string());
    AppSettings s;
    s.useViewer = 1;
    s.viewerPath = "/keep/this";
    s.applyTimestamp = 7;  // any non-zero value shows as checked
    s.timestamp = SystemTime{2019, 12, 2, 31, 23, 59, 58, 0};
    AppSettings before = s;
    const int result = runOptions(s, [&](QWidget* w) {
        EXPECT_TRUE(child<QCheckBox>(w, "useViewer")->isChecked());
        EXPECT_TRUE(child<QPushButton>(w, "browseViewer")->isEnabled());
        EXPECT_TRUE(child<QCheckBox>(w, "useTimestamp")->isChecked());
        EXPECT_TRUE(pickersEnabled(w));
        EXPECT_EQ(child<QDateEdit>(w, "datePicker")->date(), QDate(2019, 12, 31));
        EXPECT_EQ(child<QTimeEdit>(w, "timePicker")->time(), QTime(23, 59, 58));
        browseTo(w, viewer, true);
        child<QCheckBox>(w, "useTimestamp")->click();
        child<QDateEdit>(w, "datePicker")->setDate(QDate(2022, 2, 2));
        for (const char* name : {"keepIcc", "keepTime", "resetOrientation", "useTrash"})
            child<QCheckBox>(w, name)->click();
        click(w, "button2");
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(s, before);
    EXPECT_EQ(runOptions(s, escape), 2);
    EXPECT_EQ(s, before);
}

// A bad stored stamp shows the default; a checked viewer with no path stores
// the empty path; unchecking keeps the stored path and stamp, and so does a
// cancelled browse.
TEST(OptionsDialog, EmptyPathBadStampAndUncheckingKeepStoredValues) {
    AppSettings s;
    s.timestamp = SystemTime{2021, 13, 0, 40, 25, 61, 61, 5000};
    int result = runOptions(s, [](QWidget* w) {
        EXPECT_EQ(child<QDateEdit>(w, "datePicker")->date(), QDate(2000, 1, 1));
        EXPECT_EQ(child<QTimeEdit>(w, "timePicker")->time(), QTime(0, 0, 0));
        child<QCheckBox>(w, "useViewer")->click();
        child<QCheckBox>(w, "useTimestamp")->click();
        click(w, "button1");
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(s.useViewer, 1);
    EXPECT_EQ(s.viewerPath, "");
    EXPECT_EQ(s.timestamp, (SystemTime{2000, 1, 6, 1, 0, 0, 0, 0}));

    s.viewerPath = "/usr/bin/viewer";
    s.timestamp = SystemTime{2021, 3, 4, 4, 5, 6, 7, 0};
    result = runOptions(s, [](QWidget* w) {
        browseTo(w, "/nonexistent/whatever", false);
        EXPECT_EQ(child<QLineEdit>(w, "viewerPath")->text(), "/usr/bin/viewer");
        child<QCheckBox>(w, "useViewer")->click();
        child<QCheckBox>(w, "useTimestamp")->click();
        child<QDateEdit>(w, "datePicker")->setDate(QDate(2030, 1, 1));
        click(w, "button1");
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(s.useViewer, 0);
    EXPECT_EQ(s.viewerPath, "/usr/bin/viewer");
    EXPECT_EQ(s.applyTimestamp, 0);
    EXPECT_EQ(s.timestamp, (SystemTime{2021, 3, 4, 4, 5, 6, 7, 0}));
}

TEST(AboutBox, ShowsNameAndVersionAndEndsWithOk) {
    auto watch = whenShown<QDialog>("aboutDialog", [](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Quillmarkのバージョン情報"));
        EXPECT_EQ(child<QLabel>(d, "version")->text(), QStringLiteral("Quillmark Version 0.38"));
        screenshot(d, "about_box");
        click(d, "button1");
    });
    showAboutBox(nullptr);
}

// Every dialog, as a keyboard and screen-reader user meets it: each control
// it shows has a name, the focus starts where one types (else on the default
// button), Return has a default button to press, and Esc cancels.
TEST(Dialogs, NamedControlsFocusReturnAndEscape) {
    TempDir dir;
    test::writeBytes(dir / "photo.jpg", test::makeJpeg({}));
    AppSettings settings;
    BatchRenameRecord record;
    const struct {
        const char* dialog;
        const char* focus;
        std::function<int()> run;  // 2 when cancelled
    } cases[] = {
        {"messageDialog", "button1", [] { return showMessage(nullptr, kMessageQuestion, "t", "m"); }},
        {"aboutDialog", "button1", [] { return (showAboutBox(nullptr), 2); }},
        {"optionsDialog", "useViewer", [&] { return runOptionsDialog(nullptr, settings); }},
        {"renameDialog", "newName", [&] { return runRenameDialog(nullptr, dir / "photo.jpg"); }},
        {"batchRenameDialog", "prefix", [&] { return runBatchRenameDialog(nullptr, record); }},
        {"compressionDialog", "3000", [&] { return runCompressionDialog(nullptr, settings.compression); }},
        {"imageFileDialog", "fileNameEdit",
         [&] { return chooseImageFiles(nullptr, QString::fromStdString(dir.path().string())).isEmpty() ? 2 : 1; }},
    };
    for (const auto& c : cases) {
        auto watch = whenShown<QDialog>(c.dialog, [&](QDialog* d) {
            expectNamedControls(d);
            QApplication::setActiveWindow(d);
            QWidget* focus = QApplication::focusWidget();
            EXPECT_EQ(focus ? focus->objectName().toStdString() : "", c.focus) << c.dialog;
            const auto buttons = d->findChildren<QPushButton*>();
            EXPECT_TRUE(std::any_of(buttons.begin(), buttons.end(), [d](QPushButton* b) {
                return b->isDefault() && b->isVisibleTo(d);
            })) << c.dialog;
            QTest::keyClick(focus ? focus : d, Qt::Key_Escape);
        });
        EXPECT_EQ(c.run(), 2) << c.dialog;
    }
    EXPECT_TRUE(fs::exists(dir / "photo.jpg"));
}

TEST(Viewer, MissingViewerReportsTheErrorAndLaunchesNothing) {
    TempDir dir;
    fs::create_directories(dir / "a folder");
    for (std::string viewer : {std::string(), (dir / "no such viewer").string(), (dir / "a folder").string()}) {
        AppSettings s;
        s.useViewer = 1;
        s.viewerPath = viewer;
        MessageAnswers answers({1});
        openInViewer(nullptr, s, fs::path("/photos/a.jpg"));
        EXPECT_EQ(
            answers.seen,
            (std::vector<SeenMessage>{{"ビューワーエラー", "指定したビューワーがありません。"}}))
            << viewer;
    }
}

// The viewer runs detached; it answers through a FIFO, whose read waits for
// it to write and close.
TEST(Viewer, ConfiguredViewerGetsThePathAsOneArgument) {
    TempDir dir;
    const fs::path fifo = dir / "args";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path script = dir / "viewer.sh";
    const std::string text = "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" + fifo.string() + "'\n";
    writeBytes(script, Bytes(text.begin(), text.end()));
    fs::permissions(script, fs::perms::owner_all);
    AppSettings s;
    s.useViewer = 1;
    s.viewerPath = script.string();
    // A Shift_JIS name is not UTF-8: its bytes must arrive unchanged.
    const std::string photo = "/photos/my \"best\" 写真/a b\x82\xa0.jpg";
    openInViewer(nullptr, s, photo);
    const Bytes got = readBytes(fifo);
    EXPECT_EQ(std::string(got.begin(), got.end()), "1|" + photo);
}

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

TEST(Viewer, WithoutAViewerTheAssociatedProgramOpensTheFile) {
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    AppSettings s;
    s.viewerPath = "/does/not/matter";
    openInViewer(nullptr, s, fs::path("/photos/a b/c\x82\xa0.jpg"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls.front().toEncoded(), "file:///photos/a%20b/c%82%A0.jpg");
    EXPECT_EQ(localFilePath(recorder.urls.front()), fs::path("/photos/a b/c\x82\xa0.jpg"));
}

TEST(WindowPlacement, RectangleAndStateSurviveARestart) {
    QWidget first;
    first.setGeometry(50, 40, 320, 200);
    first.show();
    WindowPlacement p = placementOf(first);
    EXPECT_TRUE(p.valid());
    EXPECT_EQ(p.showCmd, kShowNormal);
    EXPECT_EQ(p.normalRight - p.normalLeft, 320);
    EXPECT_EQ(p.normalBottom - p.normalTop, 200);

    QWidget second;
    ASSERT_TRUE(applyPlacement(second, p));
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(second.geometry(), first.geometry());

    first.showMaximized();
    processEvents();
    WindowPlacement maxed = placementOf(first);
    EXPECT_EQ(maxed.showCmd, kShowMaximized);
    EXPECT_EQ(maxed.normalLeft, p.normalLeft);
    EXPECT_EQ(maxed.normalBottom, p.normalBottom);
    QWidget third;
    ASSERT_TRUE(applyPlacement(third, maxed));
    EXPECT_TRUE(third.isMaximized());
    third.showNormal();
    processEvents();
    EXPECT_EQ(third.geometry().size(), QSize(320, 200));

    // Minimised from maximised comes back minimised, to be restored maximised.
    first.setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
    WindowPlacement mini = placementOf(first);
    EXPECT_EQ(mini.showCmd, kShowMinimized);
    EXPECT_EQ(mini.flags, kRestoreToMaximized);
    EXPECT_EQ(mini.normalRight - mini.normalLeft, 320);
    QWidget fourth;
    ASSERT_TRUE(applyPlacement(fourth, mini));
    EXPECT_EQ(fourth.windowState(), Qt::WindowMinimized | Qt::WindowMaximized);
    mini.flags = 0;
    QWidget fifth;
    ASSERT_TRUE(applyPlacement(fifth, mini));
    EXPECT_EQ(fifth.windowState(), Qt::WindowMinimized);
}

TEST(WindowPlacement, UnusableRecordsLeaveTheWindowAlone) {
    WindowPlacement p;
    p.length = 44;
    p.showCmd = kShowNormal;
    p.normalLeft = 10, p.normalTop = 10, p.normalRight = 300, p.normalBottom = 200;
    QWidget w;
    WindowPlacement wrongLength = p;
    wrongLength.length = 40;
    WindowPlacement empty = p;
    empty.normalRight = empty.normalLeft;
    WindowPlacement offScreen = p;
    offScreen.normalLeft = 50000, offScreen.normalRight = 50300;
    WindowPlacement huge = p;
    huge.normalLeft = INT32_MIN, huge.normalRight = INT32_MAX;
    for (const WindowPlacement& bad : {wrongLength, empty, offScreen, huge, WindowPlacement{}}) {
        EXPECT_FALSE(applyPlacement(w, bad));
        EXPECT_FALSE(w.isVisible());
    }
    // A record saying "hidden" still shows the window.
    WindowPlacement hidden = p;
    hidden.showCmd = 0;
    ASSERT_TRUE(applyPlacement(w, hidden));
    EXPECT_TRUE(w.isVisible());
}

TEST(WindowPlacement, CentredOnThePrimaryScreen) {
    QWidget w;
    w.resize(300, 200);
    showCentred(w);
    QRect s = QGuiApplication::primaryScreen()->geometry();
    QRect f = w.frameGeometry();
    EXPECT_EQ(f.left(), s.left() + (s.width() - f.width()) / 2);
    EXPECT_EQ(f.top(), s.top() + (s.height() - f.height()) / 2);
}

// Qt's own dialogs (the folder chooser, the viewer browser) speak Japanese
// like the rest of the program, and the calendar of the date picker too.
TEST(QtTexts, StandardDialogsAndCalendarAreJapanese) {
    const QLocale before;
    QTranslator* translator = installJapaneseQtTexts(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "qtbase_ja.qm missing (scripts/install-deps.sh installs it)";
    const QString lookIn = QCoreApplication::translate("QFileDialog", "Look in:");
    const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
    const QString month = QLocale().monthName(3);
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(before);
    EXPECT_NE(lookIn, "Look in:");
    EXPECT_EQ(cancel, QStringLiteral("キャンセル"));
    EXPECT_EQ(month, QStringLiteral("3月"));
}

}  // namespace
}  // namespace quill

#include "settings_dialogs_test.moc"
