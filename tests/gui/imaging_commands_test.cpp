// The compression settings dialog driven as a user would (every field
// through status.ini, the enabling rules, the number checks, Cancel), the
// recompression and new-JPEG commands against the core worker, and the
// image panel of the new-JPEG file dialog.
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "base/file_result.h"
#include "base/file_util.h"
#include "imaging/recompress.h"
#include "imaging/ui/compression_dialog.h"
#include "preview/image_file_dialog.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/image_writers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <random>

namespace quill {
namespace {

using namespace test;

QWidget* control(QWidget* dialog, int id) { return child<QWidget>(dialog, QByteArray::number(id).constData()); }
void clickControl(QWidget* dialog, int id) { static_cast<QAbstractButton*>(control(dialog, id))->click(); }
void type(QWidget* dialog, int id, const QString& text) { static_cast<QLineEdit*>(control(dialog, id))->setText(text); }
QScrollBar* bar(QWidget* dialog, int id) { return static_cast<QScrollBar*>(control(dialog, id)); }
QString label(QWidget* dialog, int id) { return static_cast<QLabel*>(control(dialog, id))->text(); }
void pressReturn(QWidget* dialog) { QTest::keyClick(dialog->focusWidget(), Qt::Key_Return); }

// Runs the compression dialog on settings; act answers it.
int run(CompressionSettings& settings, std::function<void(QDialog*)> act) {
    auto watch = whenShown<QDialog>("compressionDialog", std::move(act));
    return runCompressionDialog(nullptr, settings);
}

TEST(CompressionDialog, EveryFieldGoesThroughStatusIniAndComesBackUnchanged) {
    // One user action per field, and what it stores. Huffman optimisation is
    // checked before "Progressive" disables it.
    struct Row {
        std::function<void(QDialog*)> act;
        std::function<void(CompressionSettings&)> stored;
    };
    const Row rows[] = {
        {[](QDialog* d) { clickControl(d, 3000); }, [](auto& s) { s.jfifMarker = 1; }},
        {[](QDialog* d) { clickControl(d, 3001); }, [](auto& s) { s.jfifVersionEnabled = 1; }},
        {[](QDialog* d) { type(d, 3006, "1"); }, [](auto& s) { s.jfifMajor = 1; }},
        {[](QDialog* d) { type(d, 3007, "15"); }, [](auto& s) { s.jfifMinor = 15; }},
        {[](QDialog* d) { clickControl(d, 3002); }, [](auto& s) { s.densityEnabled = 1; }},
        {[](QDialog* d) { clickControl(d, 3005); }, [](auto& s) { s.densityUnit = 2; }},
        {[](QDialog* d) { type(d, 3008, "300"); }, [](auto& s) { s.xDensity = 300; }},
        {[](QDialog* d) { type(d, 3009, "65535"); }, [](auto& s) { s.yDensity = 65535; }},
        {[](QDialog* d) { bar(d, 3010)->setValue(60); }, [](auto& s) { s.quality = 60; }},
        {[](QDialog* d) { clickControl(d, 3027); }, [](auto& s) { s.optimizeHuffman = 1; }},
        {[](QDialog* d) { clickControl(d, 3026); }, [](auto& s) { s.progressive = 1; }},
        {[](QDialog* d) { static_cast<QComboBox*>(control(d, 3030))->setCurrentIndex(4); },
         [](auto& s) { s.scaleIndex = 4; }},
        {[](QDialog* d) { clickControl(d, 3043); }, [](auto& s) { s.colorSpace = 3; }},
        {[](QDialog* d) { clickControl(d, 3053); }, [](auto& s) { s.sampling = 3; }},
        {[](QDialog* d) { clickControl(d, 3062); }, [](auto& s) { s.restartMode = 2; }},
        {[](QDialog* d) { bar(d, 3063)->setValue(7); }, [](auto& s) { s.restartRows = 7; }},
        {[](QDialog* d) { bar(d, 3065)->setValue(65535); }, [](auto& s) { s.restartInterval = 65535; }},
        {[](QDialog* d) { clickControl(d, 3070); }, [](auto& s) { s.smoothingEnabled = 1; }},
        {[](QDialog* d) { bar(d, 3071)->setValue(40); }, [](auto& s) { s.smoothing = 40; }},
        {[](QDialog* d) { clickControl(d, 3081); }, [](auto& s) { s.dctMethod = 1; }},
        {[](QDialog* d) { bar(d, 3090)->setValue(100); }, [](auto& s) { s.memoryLimitMb = 100; }},
        {[](QDialog* d) { clickControl(d, 3034); }, [](auto& s) { s.lanczosEnabled = 1; }},
        {[](QDialog* d) { type(d, 3035, "640"); }, [](auto& s) { s.lanczosWidth = 640; }},
        {[](QDialog* d) { type(d, 3036, "480"); }, [](auto& s) { s.lanczosHeight = 480; }},
        {[](QDialog* d) { clickControl(d, 3037); }, [](auto& s) { s.keepRatio = 1; }},
        {[](QDialog* d) { clickControl(d, 3097); }, [](auto& s) { s.sizeLimitEnabled = 1; }},
        {[](QDialog* d) { type(d, 3098, "100000000"); }, [](auto& s) { s.sizeLimit = 100000000; }},
    };
    CompressionSettings expected;
    for (const Row& r : rows) r.stored(expected);

    TempDir dir;
    {
        CMainFrame frame(dir / "status.ini");
        const int result = run(frame.settings.compression, [&](QDialog* d) {
            for (const Row& r : rows) r.act(d);
            processEvents();  // the number checks, all passing
            screenshot(d, "compression_dialog");
            pressReturn(d);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(frame.settings.compression, expected);
    }
    CMainFrame reloaded(dir / "status.ini");
    EXPECT_EQ(reloaded.settings.compression, expected);
    // Shown again and confirmed untouched, every control gives its field back.
    CompressionSettings again = reloaded.settings.compression;
    EXPECT_EQ(run(again, [](QDialog* d) { click(d, "1"); }), 1);
    EXPECT_EQ(again, expected);
}

TEST(CompressionDialog, DefaultsShowZeroOnTheirBarsCancelKeepsThemOkStoresOne) {
    CompressionSettings settings;
    settings.quality = 40;
    const CompressionSettings before = settings;
    const int result = run(settings, [&](QDialog* d) {
        EXPECT_EQ(label(d, 3072), "0");
        EXPECT_EQ(label(d, 3091), "0");
        EXPECT_EQ(bar(d, 3071)->value(), 1);
        clickControl(d, 3000);
        bar(d, 3010)->setValue(99);
        type(d, 3098, "1000");
        processEvents();
        escape(d);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(settings, before);

    EXPECT_EQ(run(settings, [](QDialog* d) { click(d, "2"); }), 2);
    EXPECT_EQ(settings, before);
    EXPECT_EQ(run(settings, [](QDialog* d) { click(d, "1"); }), 1);
    EXPECT_EQ(settings.smoothing, 1);
    EXPECT_EQ(settings.memoryLimitMb, 1);
    EXPECT_EQ(settings.quality, 40);
}

TEST(CompressionDialog, EachRuleEnablesWhatItsChoiceUses) {
    // After each click, the controls that must be enabled (+id) or disabled (-id).
    const std::vector<std::pair<int, std::vector<int>>> steps = {
        {0, {-3001, -3002, -3003, -3006, -3008, +3027, -3063, -3065, -3071, +3030, -3035, +3010, -3098}},
        {3000, {+3001, +3002, -3006, -3007, -3003, -3004, -3005, -3008, -3009}},
        {3001, {+3006, +3007, -3003, -3008}},
        {3002, {+3003, +3004, +3005, +3008, +3009}},
        {3000, {-3001, -3002, -3003, -3004, -3005, -3006, -3007, -3008, -3009}},
        {3026, {-3027}},
        {3025, {+3027}},
        {3061, {+3063, +3064, -3065, -3066}},
        {3062, {+3063, +3064, +3065, +3066}},
        {3060, {-3063, -3064, -3065, -3066}},
        {3070, {+3071, +3072}},
        {3034, {-3030, +3035, +3036, +3037}},
        {3097, {-3010, -3011, +3098}},
        {3097, {+3010, +3011, -3098}},
    };
    CompressionSettings settings;
    run(settings, [&](QDialog* d) {
        for (const auto& [clicked, states] : steps) {
            if (clicked) clickControl(d, clicked);
            for (int s : states) EXPECT_EQ(control(d, std::abs(s))->isEnabled(), s > 0) << clicked << " " << s;
        }
        click(d, "2");
    });
}

TEST(CompressionDialog, OutOfRangeNumbersAreRefusedAndResetAndBarsStepAsTheirGroup) {
    struct Typed {
        int id;
        const char* keys;
        const char* message;
        const char* reset;
    };
    const Typed typed[] = {
        {3008, "0", "1から65535の範囲でなければなりません。", "1"},
        {3007, "1", "2から20の範囲でなければなりません。", "10"},  // on its way to 12
        {3006, "2", "常に1でなければなりません。", "1"},
        {3036, "70000", "1から65535の範囲でなければなりません。", "200"},
        {3098, "9", "100バイトから100メガバイトの範囲でなければなりません。", "500000"},
    };
    MessageAnswers messages({}, 1);  // each closed by its first button
    CompressionSettings settings;
    settings.restartRows = 5;
    std::vector<int> positions;
    run(settings, [&](QDialog* d) {
        for (int id : {3000, 3001, 3002, 3034, 3097}) clickControl(d, id);
        for (const Typed& t : typed) {
            auto* edit = static_cast<QLineEdit*>(control(d, t.id));
            edit->selectAll();
            QTest::keyClicks(edit, QString::fromUtf8(t.keys));
            processEvents();
            EXPECT_EQ(edit->text(), t.reset) << t.id;
        }
        // A page is 11 on the quality bar and 101 on the restart bars; a
        // restart bar's left end is 1.
        QScrollBar* quality = bar(d, 3010);
        QScrollBar* rows = bar(d, 3063);
        for (auto [b, action] : {std::pair{quality, QAbstractSlider::SliderPageStepAdd},
                                 {quality, QAbstractSlider::SliderPageStepAdd},
                                 {rows, QAbstractSlider::SliderPageStepAdd},
                                 {rows, QAbstractSlider::SliderToMinimum},
                                 {rows, QAbstractSlider::SliderSingleStepSub}}) {
            b->triggerAction(action);
            positions.push_back(b->value());
        }
        positions.push_back(label(d, 3011).toInt());
        click(d, "1");
    });
    ASSERT_EQ(messages.seen.size(), std::size(typed));
    for (std::size_t i = 0; i < std::size(typed); ++i)
        EXPECT_EQ(messages.seen[i],
                  (SeenMessage{"設定値エラー", QString::fromUtf8(typed[i].message)}));
    EXPECT_EQ(positions, (std::vector<int>{96, 100, 106, 1, 0, 100}));
    EXPECT_EQ(settings.lanczosHeight, 200);
    EXPECT_EQ(settings.sizeLimit, 500000u);
}

// A picture in flat 8x8 blocks of random colours: every block costs bits
// even at quality 1.
Bytes blockNoise(int size) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> levels(static_cast<std::size_t>(size / 8 * size / 8 * 3));
    for (auto& l : levels) l = static_cast<std::uint8_t>(random() & 0xFF);
    return makeJpeg({.width = size, .height = size, .quality = 95, .pixel = [&](int x, int y, int c) {
                         return levels[static_cast<std::size_t>(((y / 8) * (size / 8) + x / 8) * 3 + c)];
                     }});
}

class ImagingCommands : public FrameTest {
protected:
    // What the core worker writes for copies of sources under settings.
    std::vector<Bytes> coreOutputs(const std::vector<fs::path>& sources, const CompressionSettings& settings) {
        std::vector<fs::path> copies;
        for (const fs::path& s : sources) copies.push_back(writeBytes(scratch / s.filename(), readBytes(s)));
        const RecompressResult result = runRecompression(settings, copies, false);
        std::vector<Bytes> out;
        for (const fs::path& w : result.written) out.push_back(readBytes(w));
        return out;
    }

    TempDir scratch;
};

TEST_F(ImagingCommands, RecompressWritesWhatTheCoreWritesAndNamesTheFileNoQualityFits) {
    writeBytes(folder / "flat.jpg", makeJpeg({.width = 16, .height = 16, .pixel = [](int, int, int) { return 90; }}));
    writeBytes(folder / "noise.jpg", blockNoise(512));
    writeBytes(folder / "unselected.jpg", makeJpeg({}));
    // The time-keeping option reaches the job.
    ASSERT_TRUE(setFileTimes(folder / "flat.jpg", {1000000000, 0}, {1000000000, 0}));
    frame->settings.keepTime = 1;
    listAndSelect({"flat.jpg", "noise.jpg"});

    // With a limit of 2000 (2048 bytes) the flat picture fits, the noise never.
    auto settingsWatch = whenShown<QDialog>("compressionDialog", [](QDialog* d) {
        clickControl(d, 3097);
        type(d, 3098, "2000");
        processEvents();
        pressReturn(d);
    });
    auto progress = expectProgress("再圧縮JPEG作成中...");
    MessageAnswers messages({}, 1);  // each closed by its first button
    clickTool(ID_RECOMPRESS);

    EXPECT_EQ(frame->settings.compression.sizeLimit, 2000u);
    const std::vector<Bytes> expected = coreOutputs({folder / "flat.jpg", folder / "noise.jpg"}, frame->settings.compression);
    ASSERT_EQ(expected.size(), 1u);
    EXPECT_EQ(readBytes(folder / "flat_compress.jpg"), expected[0]);
    EXPECT_EQ(statFile(folder / "flat_compress.jpg")->modified.tv_sec, 1000000000);
    EXPECT_FALSE(fs::exists(folder / "noise_compress.jpg"));
    ASSERT_EQ(messages.seen.size(), 1u);
    EXPECT_EQ(messages.seen[0].title, "再圧縮JPEG作成");
    EXPECT_FALSE(messages.seen[0].twoButtons);
    const std::string text = messages.seen[0].text.toStdString();
    EXPECT_NE(text.find((folder / "noise.jpg").string()), std::string::npos) << text;
    EXPECT_NE(text.find(reasonText(FailReason::OverSizeLimit, TextLanguage::Japanese)), std::string::npos) << text;
    EXPECT_EQ(text.find("flat.jpg"), std::string::npos) << text;
    EXPECT_EQ(listed(), (std::vector<std::string>{"flat.jpg", "flat_compress.jpg", "noise.jpg", "unselected.jpg"}));
    EXPECT_EQ(frame->listReady, 1);
}

TEST_F(ImagingCommands, NewJpegFromBmpGifAndPngThenNamesThePictureNoQualityFitsAndTheFileThatIsNone) {
    const fs::path bmp = writeBytes(folder / "a.bmp", makeBmp({.width = 20, .height = 10, .value = [](int x, int y) {
                                                                   return std::uint32_t(x * 12 << 16 | y * 20);
                                                               }}));
    const fs::path gif = writeBytes(
        folder / "b.gif",
        makeGif({.width = 12, .height = 9, .globalMap = {{0, 0, 0}, {255, 0, 0}, {0, 0, 255}, {255, 255, 255}},
                 .frames = {{.width = 12, .height = 9, .index = [](int x, int y) { return std::uint8_t((x + y) % 4); }}}}));
    const fs::path png = writeBytes(folder / "c.png", makePng({.width = 17, .height = 13, .sample = [](int x, int y, int c) {
                                                                    return unsigned(x * 15 + y * 5 + c * 40) & 0xFF;
                                                                }}));
    const fs::path bad = writeBytes(folder / "d.png", Bytes{'n', 'o', 't'});
    QStringList chosen;
    for (const fs::path& p : {bmp, gif, png}) chosen << QString::fromStdString(p.string());
    frame->imageFileChooser = [&](QWidget*) { return chosen; };

    auto okEachTime = wheneverShown<QDialog>("compressionDialog", [](QDialog* d) { click(d, "1"); });
    auto progress = expectProgress("新規JPEG作成中...");
    MessageAnswers messages({}, 1);  // each closed by its first button
    frame->onCommand(ID_NEW_JPEG);

    EXPECT_EQ((std::vector<Bytes>{readBytes(folder / "a_compress.jpg"), readBytes(folder / "b_compress.jpg"),
                                  readBytes(folder / "c_compress.jpg")}),
              coreOutputs({bmp, gif, png}, frame->settings.compression));
    EXPECT_EQ(messages.seen,
              (std::vector<SeenMessage>{{"フォーマット変換", "変換を完了しました。"}}));

    // A picture no quality fits into 100 bytes is as incomplete as a file
    // that is no picture; both are named, in order, with why.
    frame->settings.compression.sizeLimitEnabled = 1;
    frame->settings.compression.sizeLimit = 100;
    chosen = {QString::fromStdString(png.string()), QString::fromStdString(bad.string())};
    frame->onCommand(ID_NEW_JPEG);
    ASSERT_EQ(messages.seen.size(), 2u);
    EXPECT_EQ(messages.seen[1].title, "フォーマット変換");
    EXPECT_EQ(messages.seen[1].text.toStdString(),
              "convert incomplete.\n\n" + png.string() + "\n　" +
                  std::string(reasonText(FailReason::OverSizeLimit, TextLanguage::Japanese)) + "\n" + bad.string() +
                  "\n　" + failureText(FileResult::fail(FailReason::NotImage, "not a PNG file"), TextLanguage::Japanese) +
                  "\n");
    EXPECT_FALSE(fs::exists(folder / "c_compress(01).jpg"));
    EXPECT_EQ(okEachTime.shown(), 2);
}

TEST(ImagePanel, ShowsTheSelectedPngScaledIntoItsBoxWithItsFactsAndNothingForAFileItCannotRead) {
    // Left half red, right half blue, with noise in the low bits so the
    // file needs more than 1,000 bytes.
    TempDir dir;
    std::mt19937 random(3);
    const fs::path png = writeBytes(dir / "wide.png", makePng({.width = 64, .height = 32, .sample = [&](int x, int, int c) {
                                                                   const unsigned on = c == (x < 32 ? 0 : 2);
                                                                   return on * 250 + (random() & 3);
                                                               }}));
    const fs::path bad = writeBytes(dir / "bad.png", Bytes(40, 'x'));
    ImageFileDialog dialog;
    dialog.setDirectory(QString::fromStdString(dir.path().string()));
    dialog.show();
    ImagePanel* panel = dialog.panel();
    auto showAndWait = [&](const std::vector<fs::path>& selected) {
        Latch ended;
        const QString last = QString::fromStdString(selected.back().string());
        auto c = QObject::connect(panel, &ImagePanel::loadEnded, [&](const QString& path) {
            if (path == last) ended.open();
        });
        for (const fs::path& p : selected) emit dialog.currentChanged(QString::fromStdString(p.string()));
        ended.wait();
        QObject::disconnect(c);
    };

    showAndWait({bad, png});  // the newer selection wins
    screenshot(&dialog, "image_file_dialog");
    EXPECT_EQ(panel->shownPath().toStdString(), png.string());
    const auto size = fs::file_size(png);
    ASSERT_GT(size, 1000u);
    EXPECT_EQ(child<QLabel>(panel, "pixelSize")->text(), "64 x 32 pixel");
    EXPECT_EQ(child<QLabel>(panel, "bits")->text(), "24 bits");
    EXPECT_EQ(child<QLabel>(panel, "bytes")->text(),
              QStringLiteral("%1,%2 bytes").arg(size / 1000).arg(size % 1000, 3, 10, QLatin1Char('0')));
    EXPECT_EQ(child<QLabel>(panel, "modified")->text(),
              QFileInfo(QString::fromStdString(png.string())).lastModified().toString("yyyy/MM/dd HH:mm:ss"));

    // The box is taller than wide: the picture spans its width, centred
    // between black bars above and below.
    const QImage box = panel->picture()->pixmap().toImage();
    ASSERT_EQ(box.size(), panel->picture()->contentsRect().size());
    const int w = box.width(), h = box.height();
    ASSERT_LT(w / 2, h);
    auto near = [](QRgb p, int r, int g, int b) {
        return std::abs(qRed(p) - r) <= 8 && std::abs(qGreen(p) - g) <= 8 && std::abs(qBlue(p) - b) <= 8;
    };
    EXPECT_TRUE(near(box.pixel(w / 4, h / 2), 251, 1, 1));
    EXPECT_TRUE(near(box.pixel(3 * w / 4, h / 2), 1, 1, 251));
    EXPECT_TRUE(near(box.pixel(w / 2, 1), 0, 0, 0));
    EXPECT_TRUE(near(box.pixel(w / 2, h - 2), 0, 0, 0));
    const int barHeight = (h - w / 2) / 2;
    EXPECT_TRUE(near(box.pixel(w / 4, barHeight + 2), 251, 1, 1));

    showAndWait({bad});
    EXPECT_TRUE(panel->picture()->pixmap().isNull());
    EXPECT_EQ(child<QLabel>(panel, "pixelSize")->text(), "");
    EXPECT_EQ(panel->shownPath(), "");
}

}  // namespace
}  // namespace quill
