// The file management commands driven through the window on files made
// here: the answers typed into their dialogs, the files on disk and the rows
// afterwards. Names that are not UTF-8 are deleted and renamed too.
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <sys/stat.h>

#include <deque>

namespace quill {
namespace {

using test::Bytes;
using test::child;
using Names = std::vector<std::string>;
using Seen = std::vector<test::SeenMessage>;

const std::string kNotUtf8 = "\xff\xfe.jpg";
const std::string kShiftJis = "\x93\xc7\x82\xdd.jpg";  // 読み

// Keys go where a user's keys go: to the dialog's focus widget.
QWidget* focused(QDialog* d) { return d->focusWidget() ? d->focusWidget() : d; }
void type(QDialog* d, const QString& text) { QTest::keyClicks(focused(d), text); }
void press(QDialog* d, Qt::Key key) { QTest::keyClick(focused(d), key); }
QString focusName(QDialog* d) { return focused(d)->objectName(); }
// A dialog that the keys did not end fails the test instead of hanging it.
void expectEnded(QDialog* d) {
    if (!d->isVisible()) return;
    ADD_FAILURE() << d->objectName().toStdString() << " left open";
    d->done(0);
}

// Answers each message dialog in turn: 1 by the Return key, 2 by "キャンセル".
struct Answers : test::MessageAnswers {
    explicit Answers(std::deque<int> a) : MessageAnswers(std::move(a), 2, true) {}
};

class FileCommands : public test::FrameTest {
protected:
    // Makes the files in a folder of their own, lists it and selects the named rows.
    void make(const Names& files, const Names& selected, const std::string& sub = "photos") {
        folder = data / sub;
        for (const std::string& name : files) test::writeBytes(folder / name, jpeg);
        listAndSelect(selected);
    }

    const Bytes jpeg = test::makeJpeg({.width = 16, .height = 8});
};

TEST_F(FileCommands, EmptyListAndNoSelectionAreSaidInTheStatusBar) {
    for (int id : {ID_FILE_DELETE, ID_FILE_DELETE_IDENTICAL, ID_FILE_RENAME, ID_FILE_RENAME_BATCH}) {
        frame->onCommand(id);
        EXPECT_EQ(frame->statusText(), "ファイルリストが空です。") << id;
    }
    make({"a.jpg"}, {});
    for (int id : {ID_FILE_DELETE, ID_FILE_RENAME, ID_FILE_RENAME_BATCH}) {
        frame->setStatusText({});
        frame->onCommand(id);
        EXPECT_EQ(frame->statusText(), "選択されたファイルがありません。") << id;
    }
    EXPECT_EQ(listed(), Names{"a.jpg"});
}

TEST_F(FileCommands, DeleteAsksFirstThenForEachReadOnlyFile) {
    make({"a.jpg", "keep.jpg", kShiftJis, "ro_yes.jpg", kNotUtf8},
         {"a.jpg", kShiftJis, "ro_yes.jpg", kNotUtf8});
    ::chmod((folder / kShiftJis).c_str(), 0444);
    ::chmod((folder / "ro_yes.jpg").c_str(), 0444);
    {
        Answers declined({2});
        frame->onCommand(ID_FILE_DELETE);
        EXPECT_EQ(declined.seen, (Seen{{"ファイル削除", "本当によろしいですか？", true}}));
        EXPECT_EQ(listed().size(), 5u);
    }
    select({"a.jpg", kShiftJis, "ro_yes.jpg", kNotUtf8});
    Answers answers({1, 1, 2});  // the command, then "ro_yes" confirmed, the Shift_JIS one declined
    frame->onCommand(ID_FILE_DELETE);
    ASSERT_EQ(answers.seen.size(), 3u);
    EXPECT_EQ(answers.seen[2].title, "削除確認");
    EXPECT_EQ(answers.seen[2].text.toStdString(),
              "'" + folder.string() + "/読み.jpg'\n は読み取り専用です。\n本当によろしいですか？");
    EXPECT_EQ(listed(), (Names{"keep.jpg", kShiftJis}));
    EXPECT_EQ(frame->listReady, 1);
}

TEST_F(FileCommands, DeleteIdenticalNeedsTheSameBytesAndKeepsTheHighestRow) {
    // X and Y: one byte size and one pixel size, different photographs.
    const Bytes x = test::makeJpeg({.width = 16, .height = 8, .segments = {{0xFE, Bytes(30, 'x')}}});
    const Bytes y = test::makeJpeg({.width = 16, .height = 8, .segments = {{0xFE, Bytes(30, 'y')}}});
    ASSERT_EQ(x.size(), y.size());
    for (const char* name : {"A.jpg", "B.jpg", "C.jpg", "R.jpg"}) test::writeBytes(folder / name, jpeg);
    test::writeBytes(folder / "X.jpg", x);
    test::writeBytes(folder / "Y.jpg", y);
    ::chmod((folder / "R.jpg").c_str(), 0444);  // nobody was asked about it
    // A link listed above its target: deleting the target would lose the photo.
    fs::create_symlink(folder / "A.jpg", folder / "0.jpg");
    frame->onCommand(ID_FOLDER_SELECT);

    Answers answers({1});
    frame->onCommand(ID_FILE_DELETE_IDENTICAL);
    EXPECT_EQ(answers.seen,
              (Seen{{"同一ファイルの削除", "同一ファイルを削除してもよろしいですか？", true}}));
    EXPECT_EQ(listed(), (Names{"0.jpg", "A.jpg", "R.jpg", "X.jpg", "Y.jpg"}));
    EXPECT_EQ(test::readBytes(folder / "Y.jpg"), y);
}

// With the trash option both deletes move the files to the desktop's trash
// ($XDG_DATA_HOME/Trash; HOME too, as the home trash serves the home's file
// system only).
TEST_F(FileCommands, WithTheTrashOptionBothDeletesUseTheTrash) {
    struct Env {
        const QByteArray home = qgetenv("HOME"), dataHome = qgetenv("XDG_DATA_HOME");
        ~Env() {
            qputenv("HOME", home);
            qputenv("XDG_DATA_HOME", dataHome);
        }
    } restore;
    qputenv("HOME", QByteArray(dir.path().c_str()));
    qputenv("XDG_DATA_HOME", QByteArray((dir / "share").c_str()));
    frame->settings.useTrash = 1;
    make({"a.jpg", "b.jpg", "c.jpg"}, {"a.jpg"});  // the same bytes all three
    Answers answers({1, 1});
    frame->onCommand(ID_FILE_DELETE);
    frame->onCommand(ID_FILE_DELETE_IDENTICAL);
    EXPECT_EQ(listed(), Names{"b.jpg"});
    const fs::path trash = dir / "share" / "Trash";
    for (const char* name : {"a.jpg", "c.jpg"}) {
        EXPECT_EQ(test::readBytes(trash / "files" / name), jpeg) << name;
        EXPECT_TRUE(fs::exists(trash / "info" / (std::string(name) + ".trashinfo"))) << name;
    }
}

TEST_F(FileCommands, RenameOneByOne) {
    make({"photo.JPEG", "q.jpg", "r.jpg", "s.jpg", "t.jpg", "trip.jpg", "taken.JPEG"},
         {"photo.JPEG", "q.jpg", "r.jpg", "s.jpg", "t.jpg"});
    int shown = 0;
    std::vector<std::function<void(QDialog*)>> acts = {
        [&](QDialog* d) {
            EXPECT_EQ(child<QLineEdit>(d, "currentName")->text(), "photo.JPEG");
            EXPECT_EQ(child<QLabel>(d, "extension")->text(), ".JPEG");
            EXPECT_EQ(focusName(d), "newName");
            EXPECT_EQ(child<QLineEdit>(d, "newName")->selectedText(), "photo");
            type(d, "taken");  // replaces the selected name
            press(d, Qt::Key_Return);
            EXPECT_TRUE(d->isVisible());
            type(d, "trip");  // the error left the name selected
            press(d, Qt::Key_Return);
        },
        [&](QDialog* d) { test::click(d, "cancelAll"); },
    };
    auto watch = test::wheneverShown<QDialog>(QStringLiteral("renameDialog"), [&](QDialog* d) {
        acts.at(static_cast<std::size_t>(shown++))(d);
        expectEnded(d);
    });
    Answers errors({1});
    frame->onCommand(ID_FILE_RENAME);

    EXPECT_EQ(shown, 2);
    EXPECT_EQ(errors.seen,
              (Seen{{"リネームエラー", "既に同じ名前のファイルが存在します。", false}}));
    EXPECT_EQ(listed(), (Names{"q.jpg", "r.jpg", "s.jpg", "t.jpg", "taken.JPEG", "trip.JPEG", "trip.jpg"}));
}

TEST_F(FileCommands, RenameANameThatIsNotUtf8) {
    make({"r.jpg", kNotUtf8}, {"r.jpg", kNotUtf8});
    int shown = 0;
    auto watch = test::wheneverShown<QDialog>(QStringLiteral("renameDialog"), [&](QDialog* d) {
        if (++shown == 1) {
            press(d, Qt::Key_Escape);  // "キャンセル": on to the next file
        } else {
            press(d, Qt::Key_Return);  // unchanged: the file itself is there
            type(d, "ok");
            press(d, Qt::Key_Return);
        }
        expectEnded(d);
    });
    Answers errors({1});
    frame->onCommand(ID_FILE_RENAME);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(errors.seen,
              (Seen{{"リネームエラー", "既に同じ名前のファイルが存在します。", false}}));
    EXPECT_EQ(listed(), (Names{"ok.jpg", "r.jpg"}));
    EXPECT_EQ(test::readBytes(folder / "ok.jpg"), jpeg);
}

TEST_F(FileCommands, RenameInBatches) {
    const Names abc{"a.jpg", "b.jpg", "c.jpeg"};
    const Names abcd{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    const struct {
        const char* what;
        Names files, selected;
        int scheme;  // 3 typed fields, 4 and 5 their buttons, 2 cancelled
        QString prefix, digits, suffix;
        Names after;
    } cases[] = {
        {"digits 4", abc, abc, 3, "img", "4", "", {"img0001.jpg", "img0002.jpg", "img0003.jpg"}},
        {"digits 1, suffix", abc, abc, 3, "img", "1", "x", {"img1x.jpg", "img2x.jpg", "img3x.jpg"}},
        {"digits 12", abc, abc, 3, "", "12", "", {"001.jpg", "002.jpg", "003.jpg"}},
        {"name taken", {"a.jpg", "b.jpg", "c.jpeg", "img0002.jpg"}, abc, 3, "img", "4", "",
         {"img0001.jpg", "img0002.jpg", "img0002[01].jpg", "img0003.jpg"}},
        {"fixed", abcd, abcd, 4, "", "", "", {"001.jpg", "003.jpg", "004.jpg", "006.jpg"}},
        {"fixed, 003 taken", {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "003.jpg"}, abcd, 4, "", "", "",
         {"001.jpg", "003.jpg", "004.jpg", "006.jpg", "b_.jpg"}},
        {"extension", {"a.jpg", "b.JPG", "c.jpeg", "c.jpg", "d.JPEG"}, {"a.jpg", "b.JPG", "c.jpeg", "d.JPEG"}, 5,
         "", "", "", {"a.jpg", "b.JPG", "c.jpg", "c[01].jpg", "d.jpg"}},
        {"cancelled", abc, abc, 2, "", "", "", abc},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        make(c.files, c.selected, "case" + std::to_string(++n));
        auto watch = test::whenShown<QDialog>(QStringLiteral("batchRenameDialog"), [&](QDialog* d) {
            EXPECT_EQ(focusName(d), "prefix");
            if (c.scheme == 3) {
                for (const auto& [text, next] :
                     {std::pair{c.prefix, "digits"}, {c.digits, "suffix"}}) {
                    type(d, text);
                    press(d, Qt::Key_Tab);
                    EXPECT_EQ(focusName(d).toStdString(), next);
                }
                type(d, c.suffix);
            } else if (c.scheme != 2) {
                child<QRadioButton>(d, c.scheme == 4 ? "fixed" : "extension")->click();
                EXPECT_FALSE(child<QGroupBox>(d, "sequenceFields")->isEnabled());
            }
            press(d, c.scheme == 2 ? Qt::Key_Escape : Qt::Key_Return);
            expectEnded(d);
        });
        frame->onCommand(ID_FILE_RENAME_BATCH);
        EXPECT_EQ(listed(), c.after);
    }
}

}  // namespace
}  // namespace quill
