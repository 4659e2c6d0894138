// The lossless commands run from the window on files made here, and the
// batch runner behind them: outputs against convertLossless, the progress
// dialog while the worker is held on a latch, cancel, overwrite with its
// questions, the delete worker, and a worker brought by another command.
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "lossless/lossless_op.h"
#include "lossless/ui/batch_runner.h"
#include "lossless/ui/batch_workers.h"
#include "tests/gui/gui_harness.h"
#include "base/file_util.h"
#include "tests/support/jpeg_probe.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>

#include <sys/stat.h>

#include <deque>
#include <latch>

namespace quill {
namespace {

using test::Bytes;
using test::child;
using test::processEvents;
using test::TempDir;

// Answers every message dialog with the next answer (1 "実行"/"閉じる", 2 "キャンセル").
using Answers = test::MessageAnswers;

// What convertLossless writes for the file as the list describes it.
Bytes expectedOutput(const fs::path& source, LosslessOp op, bool hasApp0, bool progressive,
                     bool forceProgressive = false) {
    TempDir scratch;
    const fs::path copy = test::writeBytes(scratch / "in.jpg", test::readBytes(source));
    const fs::path out = scratch / "out.jpg";
    EXPECT_TRUE(convertLossless(losslessOptionsFor(op, copy, out, hasApp0, progressive, forceProgressive)));
    return test::readBytes(out);
}

class LosslessCommands : public test::FrameTest {
protected:
    fs::path photo(const std::string& name, test::JpegSpec spec = {}) {
        return test::writeBytes(folder / name, test::makeJpeg(spec));
    }
};

TEST_F(LosslessCommands, CleanShowsItsProgressThenWritesWhatConvertLosslessWrites) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        photo(name, {.width = 48, .height = 32, .segments = {{0xE1, Bytes(200, 7)}, {0xFE, Bytes(30, 'x')}}});
    photo("unselected.jpg");
    listAndSelect({"a.jpg", "b.jpg", "c.jpg"});

    // The dialog is looked at while the worker is held at the first file.
    std::latch reached(1), go(1);
    setBatchStepHook([&](const BatchJob&, int i, BatchStep s) {
        if (i != 0 || s != BatchStep::FileStarted) return;
        reached.count_down();
        go.wait();
    });
    auto watcher = test::whenShown<QDialog>(QStringLiteral("progressDialog"), [&](QDialog* d) {
        reached.wait();
        processEvents();
        EXPECT_EQ(d->windowTitle(), "クリーン変換中...");
        EXPECT_EQ(child<QLabel>(d, "counter")->text(), "[ 1 / 3 ]");
        EXPECT_EQ(child<QLabel>(d, "path")->text().remove(QChar(0x200B)).toStdString(),
                  (folder / "a.jpg").string());
        auto* bar = child<QProgressBar>(d, "bar");
        EXPECT_EQ(bar->text(), "33%");
        const QImage image = bar->grab().toImage();
        EXPECT_EQ(image.pixel(image.width() / 3 - 4, 3),
                  bar->palette().color(QPalette::Highlight).rgb());
        EXPECT_EQ(image.pixel(image.width() / 3 + 4, 3),
                  bar->palette().color(QPalette::Base).rgb());
        EXPECT_EQ(d->focusWidget() ? d->focusWidget()->objectName() : QString(), "cancel");
        test::expectNamedControls(d);
        EXPECT_LE((d->frameGeometry().center() - frame->frameGeometry().center()).manhattanLength(),
                  2);
        EXPECT_EQ(frame->listReady, 0);
        go.count_down();
    });
    clickTool(ID_OP_CLEAN);
    setBatchStepHook({});
    EXPECT_EQ(watcher.shown(), 1);

    for (const std::string name : {"a", "b", "c"})
        EXPECT_EQ(test::readBytes(folder / (name + "_cleaned.jpg")),
                  expectedOutput(folder / (name + ".jpg"), LosslessOp::OpClean, true, false))
            << name;
    EXPECT_FALSE(fs::exists(folder / "unselected_cleaned.jpg"));
    EXPECT_EQ(listed(), (std::vector<std::string>{"a.jpg", "a_cleaned.jpg", "b.jpg", "b_cleaned.jpg", "c.jpg",
                                                  "c_cleaned.jpg", "unselected.jpg"}));
    EXPECT_EQ(frame->listReady, 1);
    EXPECT_EQ(frame->fileList().selectedCount(), 0);
}

TEST_F(LosslessCommands, MenuRotationToolbarGrayscaleAndTheTogglesTakeEffectAndPersist) {
    // A progressive source rotates into a progressive file; with the
    // force-progressive toggle a baseline source cleans into one.
    const fs::path p = photo("p.jpg", {.width = 40, .height = 24, .forceBaseline = false, .progressive = true});
    const fs::path b = photo("b.jpg", {.width = 24, .height = 40});
    listAndSelect({"p.jpg"});
    frame->transformMenu()->actions().at(0)->trigger();
    EXPECT_EQ(test::readBytes(folder / "p_rotationR90.jpg"),
              expectedOutput(p, LosslessOp::OpRotateRight90, true, true));

    listAndSelect({"b.jpg"});
    clickTool(ID_OP_GRAYSCALE);
    EXPECT_EQ(test::readBytes(folder / "b_grayscale.jpg"), expectedOutput(b, LosslessOp::OpGrayscale, true, false));

    for (int id : {ID_TOGGLE_FORCE_PROGRESSIVE, ID_TOGGLE_OVERWRITE, ID_TOGGLE_OVERWRITE})
        clickTool(id);
    listAndSelect({"b.jpg"});
    frame->onCommand(ID_OP_CLEAN);
    EXPECT_EQ(test::readBytes(folder / "b_cleaned.jpg"), expectedOutput(b, LosslessOp::OpClean, true, false, true));

    frame.reset();
    const Bytes ini = test::readBytes(dir / "status.ini");
    const std::string text(ini.begin(), ini.end());
    EXPECT_NE(text.find("21=0"), std::string::npos);
    EXPECT_NE(text.find("22=1"), std::string::npos);
    frame = makeFrame();
    EXPECT_FALSE(frame->commandAction(ID_TOGGLE_OVERWRITE)->isChecked());
    EXPECT_TRUE(frame->commandAction(ID_TOGGLE_FORCE_PROGRESSIVE)->isChecked());
    EXPECT_EQ(frame->settings.forceProgressive, 1);
}

// The last item of the drop-down, after a separator; the options of the
// settings reach the batch (times kept, orientation reset by a rotation).
TEST_F(LosslessCommands, AutoRotateAndTheOptionsFromTheSettings) {
    const test::Bytes thumbnail = test::makeJpeg({.width = 32, .height = 16});
    auto tagged = [&](const std::string& name, int orientation) {
        const fs::path p = photo(name, {.width = 48, .height = 32, .writeJfif = false,
                                        .segments = {{0xE1, test::makeExifPayload(false, 48, 32, orientation,
                                                                                  thumbnail)}}});
        EXPECT_TRUE(setFileTimes(p, {1000000000, 0}, {1000000000, 0}));
        return p;
    };
    auto exifOf = [](const fs::path& p) {
        for (const test::Segment& s : test::probeJpeg(test::readBytes(p)).segments)
            if (s.marker == 0xE1) return test::readExif(s.data);
        return test::ExifView{};
    };
    tagged("six.jpg", 6);
    tagged("up.jpg", 1);
    frame->settings.keepTime = 1;
    frame->settings.resetOrientation = 1;
    listAndSelect({"six.jpg", "up.jpg"});
    auto progress = test::expectProgress("Exifの向きに従って回転中...");
    const QList<QAction*> items = frame->transformMenu()->actions();
    ASSERT_TRUE(items.at(items.size() - 2)->isSeparator());
    items.last()->trigger();
    EXPECT_EQ(listed(), (std::vector<std::string>{"six.jpg", "six_rotationAuto.jpg", "up.jpg"}));
    const fs::path turned = folder / "six_rotationAuto.jpg";
    EXPECT_EQ(test::probeJpeg(test::readBytes(turned)).width, 32);
    EXPECT_EQ(exifOf(turned).orientation, 1);
    EXPECT_EQ(test::probeJpeg(exifOf(turned).thumbnail).height, 32);
    EXPECT_EQ(statFile(turned)->modified.tv_sec, 1000000000);

    listAndSelect({"six.jpg"});
    items.first()->trigger();
    EXPECT_EQ(exifOf(folder / "six_rotationR90.jpg").orientation, 1);
}

// Esc while the second of five files is worked on (with two workers, while
// the first two are): the files in flight finish, no other starts.
TEST_F(LosslessCommands, EscapeFinishesTheFilesInFlightAndStartsNoOther) {
    for (const int workers : {1, 2}) {
        SCOPED_TRACE(workers);
        const fs::path dir = folder / std::to_string(workers);
        BatchJob job;
        job.command = ID_OP_ROTATE_180;
        job.workers = workers;
        for (const char* n : {"1", "2", "3", "4", "5"})
            job.sourcePaths.push_back(test::writeBytes(dir / (std::string(n) + ".jpg"), test::makeJpeg({})));
        std::latch reached(workers), go(1);
        setBatchStepHook([&](const BatchJob&, int i, BatchStep s) {
            if (s != BatchStep::FileStarted || i > 1 || i < 2 - workers) return;
            reached.count_down();
            go.wait();
        });
        auto watcher = test::whenShown<QDialog>(QStringLiteral("progressDialog"), [&](QDialog* d) {
            reached.wait();
            processEvents();
            if (workers == 2) {
                // The oldest file in flight.
                EXPECT_EQ(child<QLabel>(d, "counter")->text(), "[ 1 / 5 ]");
            }
            QTest::keyClick(d, Qt::Key_Escape);
            QTest::keyClick(d, Qt::Key_Escape);
            auto* cancel = child<QPushButton>(d, "cancel");
            EXPECT_EQ(cancel->text(), "キャンセル中...");
            EXPECT_FALSE(cancel->isEnabled());
            EXPECT_TRUE(d->isVisible());
            go.count_down();
        });
        EXPECT_EQ(runBatch(frame.get(), job), 1);
        setBatchStepHook({});
        EXPECT_EQ(watcher.shown(), 1);
        EXPECT_EQ(job.successCount, 2);
        for (const char* n : {"1", "2"})
            EXPECT_EQ(test::readBytes(dir / (std::string(n) + "_rotationR180.jpg")),
                      expectedOutput(dir / (std::string(n) + ".jpg"), LosslessOp::OpRotate180, false, false));
        for (const char* n : {"3", "4", "5"}) EXPECT_FALSE(fs::exists(dir / (std::string(n) + "_rotationR180.jpg")));
    }
}

TEST_F(LosslessCommands, OverwriteReplacesAndAsksBeforeReadOnlySources) {
    const fs::path w = photo("w.jpg"), yes = photo("yes.jpg"), no = photo("no.jpg"), gone = photo("gone.jpg");
    const Bytes original = test::readBytes(w);
    const Bytes converted = expectedOutput(w, LosslessOp::OpFlipHorizontal, true, false);
    ::chmod(yes.c_str(), 0444);
    ::chmod(no.c_str(), 0444);
    listAndSelect({"gone.jpg", "no.jpg", "w.jpg", "yes.jpg"});
    frame->onCommand(ID_TOGGLE_OVERWRITE);

    // The source vanishes once its new file exists: its attributes cannot be read.
    setBatchStepHook([&](const BatchJob&, int i, BatchStep s) {
        if (i == 0 && s == BatchStep::FileConverted) fs::remove(gone);
    });
    Answers answers({1, 2, 1});  // error closed, "no" declined, "yes" confirmed
    frame->onCommand(ID_OP_FLIP_H);
    setBatchStepHook({});

    ASSERT_EQ(answers.seen.size(), 3u);
    EXPECT_EQ(answers.seen[0].title, "上書き保存エラー");
    EXPECT_EQ(answers.seen[0].text.toStdString(), "'" + gone.string() +
                                                      "'\nファイル属性を取得出来ませんでした。\n"
                                                      "このファイルは上書き保存出来ません。");
    EXPECT_FALSE(answers.seen[0].twoButtons);
    EXPECT_EQ(answers.seen[1].title, "上書き保存の確認");
    EXPECT_EQ(answers.seen[1].text.toStdString(),
              "'" + no.string() + "'\nこのファイルは読み取り専用です。\n上書き保存しますか？");
    EXPECT_TRUE(answers.seen[1].twoButtons);
    EXPECT_EQ(answers.seen[2].title, "上書き保存の確認");

    EXPECT_EQ(test::readBytes(folder / "gone_h_flip.jpg"), converted);
    EXPECT_EQ(test::readBytes(no), original);
    EXPECT_EQ(test::readBytes(folder / "no_h_flip.jpg"), converted);
    EXPECT_EQ(test::readBytes(w), converted);
    EXPECT_EQ(test::readBytes(yes), converted);
    EXPECT_NE(fs::status(yes).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(listed(), (std::vector<std::string>{"gone_h_flip.jpg", "no.jpg", "no_h_flip.jpg", "w.jpg", "yes.jpg"}));
}

// With the trash option the same files leave the folder for the trash of
// the desktop ($XDG_DATA_HOME/Trash, here a temporary one) instead.
TEST(BatchRunner, DeleteWorkerAsksBeforeReadOnlyFilesSkipsMissingOnesAndKeepsFolders) {
    for (bool trash : {false, true}) {
        SCOPED_TRACE(trash);
        TempDir dir;
        const QByteArray home = qgetenv("HOME"), data = qgetenv("XDG_DATA_HOME");
        // The home trash serves files on the home's file system.
        qputenv("HOME", QByteArray(dir.path().c_str()));
        qputenv("XDG_DATA_HOME", QByteArray((dir / "data").c_str()));
        const fs::path plain = test::writeBytes(dir / "plain.jpg", {1}), keep = test::writeBytes(dir / "keep.jpg", {2}),
                       drop = test::writeBytes(dir / "drop.jpg", {3});
        ::chmod(keep.c_str(), 0444);
        ::chmod(drop.c_str(), 0444);
        fs::create_directory(dir / "folder.jpg");
        BatchJob job;
        job.command = ID_FILE_DELETE;
        job.useTrash = trash;
        job.sourcePaths = {plain, dir / "missing.jpg", keep, drop, dir / "folder.jpg"};
        auto progress = test::expectProgress("ファイル削除中...");
        Answers answers({2, 1});
        EXPECT_EQ(runBatch(nullptr, job), 1);
        qputenv("HOME", home);
        qputenv("XDG_DATA_HOME", data);

        ASSERT_EQ(answers.seen.size(), 2u);
        EXPECT_EQ(answers.seen[0].title, "削除確認");
        EXPECT_EQ(answers.seen[0].text.toStdString(), "'" + keep.string() + "'\n は読み取り専用です。\n本当によろしいですか？");
        EXPECT_FALSE(fs::exists(plain));
        EXPECT_TRUE(fs::exists(keep));
        EXPECT_FALSE(fs::exists(drop));
        EXPECT_TRUE(fs::is_directory(dir / "folder.jpg"));
        EXPECT_EQ(job.successCount, 2);
        ASSERT_EQ(job.failedFiles.size(), 1u);
        EXPECT_EQ(job.failedFiles[0].path, dir / "folder.jpg");
        EXPECT_FALSE(job.failedFiles[0].why.ok());
        const fs::path trashed = dir / "data" / "Trash" / "files";
        EXPECT_EQ(fs::exists(trashed / "plain.jpg") && fs::exists(trashed / "drop.jpg"), trash);
        EXPECT_EQ(fs::exists(dir / "data" / "Trash" / "info" / "plain.jpg.trashinfo"), trash);
    }
}

TEST(BatchRunner, AWorkerOfAnotherCommandEndsTheDialogWithItsResult) {
    BatchJob job;
    job.command = ID_RECOMPRESS;
    job.sourcePaths = {"x", "y"};
    std::vector<int> positions;
    job.worker = [&](BatchJob& j) {
        forEachBatchFile(j, [&](int) { positions.push_back(j.position); });
        j.failedFiles.push_back({"y", FileResult::fail(FailReason::NotImage)});
        return 0;
    };
    auto progress = test::expectProgress("再圧縮JPEG作成中...");
    EXPECT_EQ(runBatch(nullptr, job), 0);
    EXPECT_EQ(positions, (std::vector<int>{1, 2}));
    EXPECT_EQ(job.dialog, nullptr);
}

}  // namespace
}  // namespace quill
