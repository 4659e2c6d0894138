// ScanJpeg on files encoded here with libjpeg (and patched where the encoder
// cannot write the case), with jpegtran as an oracle for transposed tables.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>

#include "base/file_util.h"
#include "base/group_thousands.h"
#include "base/jpeg_guard.h"
#include "inspection/quant_table_db.h"
#include "tests/support/jpeg_patch.h"
#include "tests/support/jpeg_probe.h"
#include "tests/support/test_files.h"

namespace quill {
namespace {

using test::Bytes;
using test::JpegSpec;
using test::makeJpeg;
using test::Space;

class ScanJpegTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setMessageSink([](const char*) {}); }
    static void TearDownTestSuite() { setMessageSink(nullptr); }

    std::optional<JpegInfo> scan(const Bytes& data, const std::string& name = "x.jpg") {
        const fs::path path = name == "x.jpg" ? memory.write(data) : test::writeBytes(dir / name, data);
        JpegInfo info;
        if (!db.ScanJpeg(path, info)) return std::nullopt;
        return info;
    }
    JpegInfo scanOk(const Bytes& data) {
        auto info = scan(data);
        EXPECT_TRUE(info.has_value());
        return info.value_or(JpegInfo{});
    }

    QuantTableDb db;
    test::TempDir dir;
    test::MemoryFile memory{"x.jpg"};
};

JpegSpec sized(int w, int h, int hs, int vs) {
    return {.width = w, .height = h, .h0 = hs, .v0 = vs};
}

TEST_F(ScanJpegTest, SizesAndBlockUnitsPerSampling) {
    const struct {
        int h, v;
        const char* regular;
        const char* unit;
        const char* label;
    } cases[] = {
        {2, 2, "1008 x 752", "16 x 16", "4：2：0"}, {1, 1, "1000 x 752", "8 x 8", "4：4：4"},
        {2, 1, "1008 x 752", "16 x 8", "4：2：2"},  {1, 2, "1000 x 752", "8 x 16", "4：2：2"},
        {4, 1, "1024 x 752", "32 x 8", "4：1：1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        const JpegInfo info = scanOk(makeJpeg(sized(1000, 750, c.h, c.v)));
        EXPECT_EQ(info.fields[kColImageSize], "1000 x 750");
        EXPECT_EQ(info.fields[kColRegularSize], c.regular);
        EXPECT_EQ(info.fields[kColBlockUnit], c.unit);
        EXPECT_EQ(info.fields[kColSampling], c.label);
    }
    const JpegInfo small = scanOk(makeJpeg(sized(16, 16, 2, 2)));
    EXPECT_EQ(small.fields[kColRegularSize], "16 x 16");
    const JpegInfo odd = scanOk(makeJpeg(sized(17, 1, 2, 2)));
    EXPECT_EQ(odd.fields[kColRegularSize], "32 x 16");
}

TEST_F(ScanJpegTest, EveryFieldOfAPlainFile) {
    JpegSpec s = sized(64, 48, 2, 2);
    s.quality = 90;
    s.densityUnit = 1;
    s.xDensity = 72;
    s.yDensity = 96;
    const Bytes data = makeJpeg(s);
    const JpegInfo info = scanOk(data);
    const auto st = statFile(memory.path());
    ASSERT_TRUE(st);
    EXPECT_EQ(info.fields[kColName], "x.jpg");
    EXPECT_EQ(info.fields[kColSize], GroupThousands(std::to_string(data.size())));
    EXPECT_EQ(info.fields[kColModified], formatLocalTime(st->modified));
    EXPECT_EQ(info.fields[kColLumaQuality], "IJG 90");
    EXPECT_EQ(info.fields[kColChromaQuality], "IJG 90");
    EXPECT_EQ(info.fields[kColGrade], "B");
    EXPECT_EQ(info.fields[kColXDensity], "72");
    EXPECT_EQ(info.fields[kColYDensity], "96");
    EXPECT_EQ(info.fields[kColApp0], "O");
    for (int c = kColApp0 + 1; c < kColOther; ++c) EXPECT_EQ(info.fields[c], "") << c;
    EXPECT_EQ(info.fields[kColOther], "90");
}

// Sizes past 32 bits: a sparse file of 5 GiB costs no disk space, and the
// bytes after EOI are never read.
TEST_F(ScanJpegTest, SizeTextIsGroupedByThousandsPast32Bits) {
    const fs::path big = test::writeBytes(dir / "big.jpg", makeJpeg(sized(8, 8, 1, 1)));
    std::error_code ec;
    fs::resize_file(big, 5ull << 30, ec);
    if (ec) GTEST_SKIP() << "no sparse files here";
    JpegInfo info;
    ASSERT_TRUE(db.ScanJpeg(big, info));
    EXPECT_EQ(info.fields[kColSize], "5,368,709,120");
}

TEST_F(ScanJpegTest, ColourSpacesAndDepth) {
    // All but gray carry an Adobe segment in place of JFIF.
    auto spec = [](Space input, Space stored, int sampling) {
        JpegSpec s = sized(40, 30, sampling, sampling);
        s.input = input;
        s.stored = stored;
        s.writeAdobe = stored != Space::Gray;
        s.writeJfif = !s.writeAdobe;
        return s;
    };
    const JpegSpec gray = spec(Space::Gray, Space::Gray, 1);
    const struct {
        JpegSpec spec;
        const char *space, *depth, *sampling, *app0, *app14;
    } cases[] = {{gray, "Gray", "8", "4：4：4", "O", ""},
                 {spec(Space::CMYK, Space::CMYK, 1), "CMYK", "32", "4：4：4", "", "O"},
                 {spec(Space::CMYK, Space::YCCK, 2), "YCCK", "32", "4：2：0", "", "O"},
                 {spec(Space::RGB, Space::RGB, 1), "RGB", "24", "4：4：4", "", "O"}};
    for (const auto& c : cases) {
        const JpegInfo info = scanOk(makeJpeg(c.spec));
        EXPECT_EQ(info.fields[kColColorSpace], c.space);
        EXPECT_EQ(info.fields[kColDepth], c.depth) << c.space;
        EXPECT_EQ(info.fields[kColSampling], c.sampling) << c.space;
        EXPECT_EQ(info.fields[kColApp0], c.app0) << c.space;
        EXPECT_EQ(info.fields[kColApp0 + 14], c.app14) << c.space;
    }
    const JpegInfo g = scanOk(makeJpeg(gray));
    EXPECT_EQ(g.fields[kColChromaQuality], "None");
    EXPECT_EQ(g.fields[kColLumaQuality], "IJG 75");
}

TEST_F(ScanJpegTest, CodingProcesses) {
    JpegSpec s = sized(48, 40, 2, 1);
    s.progressive = true;
    EXPECT_EQ(scanOk(makeJpeg(s)).fields[kColCoding], "Progressive");
    s.arithmetic = true;
    EXPECT_EQ(scanOk(makeJpeg(s)).fields[kColCoding], "Progressive");
    s.progressive = false;
    JpegInfo arith = scanOk(makeJpeg(s));
    EXPECT_EQ(arith.fields[kColCoding], "Baseline");
    EXPECT_EQ(arith.fields[kColLumaQuality], "IJG 75");
    s.arithmetic = false;
    EXPECT_EQ(scanOk(test::withFrameType(makeJpeg(s), 0xC1)).fields[kColCoding], "Baseline");
    // Lossless and hierarchical frames are not read.
    EXPECT_FALSE(scan(test::withFrameType(makeJpeg(s), 0xC3)));
    EXPECT_FALSE(scan(test::withFrameType(makeJpeg(s), 0xC5)));
}

TEST_F(ScanJpegTest, TwelveBitFramesAreListed) {
    JpegSpec s = sized(1000, 750, 2, 2);
    s.segments.push_back({0xFE, Bytes{'c'}});
    const JpegInfo eight = scanOk(makeJpeg(s));
    const JpegInfo twelve = scanOk(test::withPrecision(makeJpeg(s), 12));
    EXPECT_EQ(twelve.fields[kColDepth], "36");
    // Everything but the depth reads as it does for the 8-bit original.
    for (int c = 0; c < kColumnCount; ++c) {
        if (c != kColDepth && c != kColModified) {
            EXPECT_EQ(twelve.fields[c], eight.fields[c]) << c;
        }
    }

    JpegSpec gray = sized(20, 20, 1, 1);
    gray.input = gray.stored = Space::Gray;
    gray.progressive = true;
    const JpegInfo g = scanOk(test::withPrecision(makeJpeg(gray), 12));
    EXPECT_EQ(g.fields[kColDepth], "12");
    EXPECT_EQ(g.fields[kColCoding], "Progressive");
    EXPECT_EQ(g.fields[kColChromaQuality], "None");
    // Precisions nobody writes are refused as the library refuses them.
    EXPECT_FALSE(scan(test::withPrecision(makeJpeg(s), 16)));
    EXPECT_FALSE(scan(test::tablesOnly(test::withPrecision(makeJpeg(s), 12))));
}

TEST_F(ScanJpegTest, DensitiesWithoutJfifReadOne) {
    JpegSpec s = sized(32, 32, 1, 1);
    s.writeJfif = false;
    const JpegInfo info = scanOk(makeJpeg(s));
    EXPECT_EQ(info.fields[kColXDensity], "1");
    EXPECT_EQ(info.fields[kColYDensity], "1");
    EXPECT_EQ(info.fields[kColApp0], "");
    // Without JFIF or Adobe segments, component ids 1, 2, 3 mean YCbCr.
    EXPECT_EQ(info.fields[kColColorSpace], "YCbCr");
}

TEST_F(ScanJpegTest, SegmentsBeforeTheScanOnly) {
    JpegSpec s = sized(32, 32, 2, 2);
    Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
    exif.resize(65533, 0x20);  // the largest segment there is
    s.segments = {{0xE1, exif}, {0xE2, Bytes(300, 7)}, {0xFE, Bytes{'a'}}, {0xFE, Bytes{'b'}},
                  {0xEF, Bytes{}}};
    JpegInfo info = scanOk(makeJpeg(s));
    EXPECT_EQ(info.fields[kColApp0 + 1], "O");
    EXPECT_EQ(info.fields[kColApp0 + 2], "O");
    EXPECT_EQ(info.fields[kColApp0 + 15], "O");
    EXPECT_EQ(info.fields[kColCom], "O");
    EXPECT_EQ(info.fields[kColApp0 + 3], "");

    JpegSpec plain = sized(32, 32, 2, 2);
    info = scanOk(test::withSegmentAtEnd(makeJpeg(plain), 0xFE, Bytes{'e', 'n', 'd'}));
    EXPECT_EQ(info.fields[kColCom], "");
}

TEST_F(ScanJpegTest, QuantizationSlots) {
    // Only table 0 defined: the chrominance label comes from table 0.
    JpegSpec s = sized(32, 32, 2, 2);
    s.quality = 60;
    const Bytes renumbered = test::withTableRenumbered(makeJpeg(s), 1, 2);
    JpegInfo info = scanOk(renumbered);
    EXPECT_EQ(info.fields[kColLumaQuality], "IJG 60");
    EXPECT_EQ(info.fields[kColChromaQuality], "Unknown");  // luma table in the chroma list
    // No table 0 at all: nothing to grade, not listed.
    EXPECT_FALSE(scan(test::withTableRenumbered(makeJpeg(s), 0, 3)));

    QuantEntry ones;
    ones.fill(1);
    info = scanOk(test::withQuantTable(test::withQuantTable(makeJpeg(s), 0, ones), 1, ones));
    EXPECT_EQ(info.fields[kColLumaQuality], "Supreme");
    EXPECT_EQ(info.fields[kColGrade], "S");
}

QuantValues transposed(const QuantValues& t) {
    QuantValues out{};
    for (int i = 0; i < 64; ++i) out[i] = t[8 * (i % 8) + i / 8];
    return out;
}

// libjpeg's own tables at every quality: their labels, and their IJG
// quality in colour and gray files, with 8-bit and 16-bit tables (16-bit
// below quality 20 when not limited to baseline), as written and transposed.
TEST_F(ScanJpegTest, IjgLabelsAndQualityAtEveryQuality) {
    for (int q = 1; q <= 100; ++q) {
        SCOPED_TRACE(q);
        JpegSpec s = sized(16, 16, 2, 2);
        s.quality = q;
        const JpegInfo info = scanOk(makeJpeg(s));
        char ijg[16];
        std::snprintf(ijg, sizeof ijg, "IJG %02d", q);
        const std::string luma = q == 100 ? "Supreme" : q == 1 ? "Inferior" : ijg;
        const std::string chroma = q == 100 ? "Supreme" : q <= 3 ? "Inferior" : ijg;
        EXPECT_EQ(info.fields[kColLumaQuality], luma);
        EXPECT_EQ(info.fields[kColChromaQuality], chroma);

        const std::string quality = std::to_string(q);
        for (const bool baseline : {true, false}) {
            for (const bool gray : {false, true}) {
                SCOPED_TRACE(std::string(baseline ? "8-bit" : "16-bit") + (gray ? " gray" : " colour"));
                if (gray) s.input = s.stored = Space::Gray;
                s.forceBaseline = baseline;
                s.quantTables.clear();
                const Bytes written = makeJpeg(s);
                EXPECT_EQ(scanOk(written).fields[kColOther], quality);
                const test::JpegProbe tables = test::probeJpeg(written);
                s.quantTables = {transposed(tables.quant[0])};
                if (!gray) s.quantTables.push_back(transposed(tables.quant[1]));
                s.forceBaseline = false;  // writes the values as given
                EXPECT_EQ(scanOk(makeJpeg(s)).fields[kColOther], quality) << "transposed";
                s.input = Space::RGB;
                s.stored = Space::YCbCr;
            }
        }
    }
}

TEST_F(ScanJpegTest, JpegtranRotatedCopiesKeepTheirLabels) {
    if (!test::haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    JpegSpec s = sized(64, 48, 2, 2);
    s.quality = 75;
    const Bytes src = makeJpeg(s);
    auto scanJpegtran = [&](const char* args) {
        const Bytes out = test::runJpegtran(args, src);
        EXPECT_FALSE(out.empty()) << "jpegtran " << args;
        return scanOk(out);
    };
    for (const char* op : {"-rotate 90", "-rotate 270", "-transpose", "-rotate 180", "-flip horizontal"}) {
        SCOPED_TRACE(op);
        const JpegInfo info = scanJpegtran(op);
        EXPECT_EQ(info.fields[kColLumaQuality], "IJG 75");
        EXPECT_EQ(info.fields[kColChromaQuality], "IJG 75");
    }
    const JpegInfo info = scanJpegtran("-grayscale");
    EXPECT_EQ(info.fields[kColChromaQuality], "None");
    EXPECT_EQ(info.fields[kColColorSpace], "Gray");
}

TEST_F(ScanJpegTest, FilesThatAreNotListed) {
    const Bytes data = makeJpeg(sized(64, 64, 2, 2));
    EXPECT_FALSE(scan(Bytes{}, "empty.jpg"));
    EXPECT_FALSE(scan(Bytes{0xFF}, "one.jpg"));
    EXPECT_FALSE(scan(Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, "text.jpg"));
    EXPECT_FALSE(scan(Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, "png.jpg"));
    EXPECT_FALSE(scan(Bytes{0xFF, 0xD8}, "soi.jpg"));
    EXPECT_FALSE(scan(test::tablesOnly(data), "tables.jpg"));
    JpegInfo info;
    EXPECT_FALSE(db.ScanJpeg(dir / "missing.jpg", info));
    EXPECT_FALSE(db.ScanJpeg(dir.path(), info));
    // A FIFO named like a photo is refused at once instead of waiting for a writer.
    const fs::path fifo = dir / "fifo.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(db.ScanJpeg(fifo, info));
}

TEST_F(ScanJpegTest, HostileHeaders) {
    const Bytes data = makeJpeg(sized(32, 32, 2, 2));
    // A hundred thousand empty APP segments: listed, nothing kept per segment.
    Bytes many;
    for (int i = 0; i < 100000; ++i) {
        const Bytes seg = test::segment(0xE3 + i % 8, Bytes{});
        many.insert(many.end(), seg.begin(), seg.end());
    }
    JpegInfo info = scanOk(test::withBytesAfterSoi(data, many));
    EXPECT_EQ(info.fields[kColApp0 + 3], "O");
    EXPECT_EQ(info.fields[kColApp0 + 10], "O");

    // A segment length running past the end of the file.
    Bytes runaway = test::withBytesAfterSoi(data, Bytes{0xFF, 0xE1, 0xFF, 0xFF, 'E'});
    runaway.resize(runaway.size() / 2);
    EXPECT_FALSE(scan(runaway));

    // Declared dimensions beyond the library's limit.
    Bytes huge = data;
    const std::size_t sof = test::findFrame(huge);
    huge[sof + 5] = huge[sof + 6] = huge[sof + 7] = huge[sof + 8] = 0xFF;
    EXPECT_FALSE(scan(huge));
    EXPECT_FALSE(scan(test::withPrecision(huge, 12)));
}

// A file cut before its first scan is not listed; cut in its scan data, it
// is listed with the row of the whole file (but its size); the longer the
// cut, the more is listed, never less. Our own header parser reads the 12-bit
// frames, so they are cut the same way.
TEST_F(ScanJpegTest, CutsBeforeTheScanAreRefusedAndCutsInItListed) {
    JpegSpec s = sized(24, 24, 2, 1);
    s.segments = {{0xE1, Bytes(40, 1)}, {0xFE, Bytes{'x'}}};
    for (const Bytes& whole : {makeJpeg(s), test::withPrecision(makeJpeg(s), 12)}) {
        const std::size_t sos = test::findMarker(whole, 0xDA);
        const std::size_t scanData = sos + 2 + (std::size_t(whole[sos + 2]) << 8 | whole[sos + 3]);
        const JpegInfo full = scanOk(whole);
        bool listed = false;
        for (std::size_t cut = 0; cut < whole.size(); ++cut) {
            SCOPED_TRACE("cut at " + std::to_string(cut));
            const auto info = scan(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(cut)));
            ASSERT_TRUE(info || !listed) << "a shorter cut was listed";
            ASSERT_TRUE(!info || cut > sos);
            ASSERT_TRUE(info || cut < scanData);
            listed = info.has_value();
            for (int c = 0; listed && c < kColumnCount; ++c) {
                if (c == kColSize || c == kColModified) continue;
                ASSERT_EQ(info->fields[c], full.fields[c]) << c;
            }
        }
    }
}

// Any one header byte set to 0x00 or 0xFF: not listed, or listed with every
// field a listed row always has.
TEST_F(ScanJpegTest, DamagedHeaderBytesGiveNoRowOrAWholeOne) {
    JpegSpec s = sized(24, 24, 2, 1);
    s.segments = {{0xE1, Bytes(40, 1)}, {0xFE, Bytes{'x'}}};
    for (const Bytes& whole : {makeJpeg(s), test::withPrecision(makeJpeg(s), 12)}) {
        const std::size_t header = test::findMarker(whole, 0xDA) + 14;
        for (std::size_t at = 2; at < header; ++at)
            for (std::uint8_t value : {0x00, 0xFF}) {
                Bytes bad = whole;
                bad[at] = value;
                const auto info = scan(bad);
                if (!info) continue;
                for (int c : {kColName, kColSize, kColImageSize, kColRegularSize, kColBlockUnit, kColLumaQuality,
                              kColChromaQuality, kColGrade, kColDepth, kColColorSpace, kColSampling, kColCoding,
                              kColXDensity, kColYDensity})
                    ASSERT_FALSE(info->fields[c].empty()) << "byte " << at << " = " << int(value) << ", column " << c;
            }
    }
}

}  // namespace
}  // namespace quill
