// Times what a folder scan costs: building the table database, the IJG
// quality estimate alone, and listing a folder of generated JPEGs (warm
// cache) through ScanJpeg, the threaded folder scan and `quillmark-cli scan`,
// beside two yardsticks: reading each file's first 64 KiB, and libjpeg's own
// header parse. Prints figures only.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/jpeg_guard.h"
#include "inspection/folder_listing.h"
#include "inspection/ijg_quality.h"
#include "inspection/quant_table_db.h"
#include "tests/support/test_files.h"

#include <jpeglib.h>

using namespace quill;
using Clock = std::chrono::steady_clock;

namespace {

double secondsOf(const std::function<void()>& f, int repeats) {
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

void makeFolder(const fs::path& dir, int count) {
    fs::create_directories(dir);
    int existing = 0;
    for (const auto& e : fs::directory_iterator(dir)) existing += e.path().extension() == ".jpg";
    if (existing == count) return;
    std::printf("making %d files in %s ...\n", count, dir.c_str());
    for (int i = 0; i < count; ++i) {
        test::JpegSpec s;
        s.width = 320 + (i * 37) % 320;
        s.height = 240 + (i * 53) % 240;
        s.quality = 50 + (i * 7) % 50;
        s.progressive = i % 4 == 1;
        s.h0 = i % 3 == 0 ? 1 : 2;
        s.v0 = i % 3 == 2 ? 1 : 2;
        // Camera-like files carry an Exif segment in front of the tables.
        test::Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
        exif.resize(i % 2 ? 12000 : 200, 0x11);
        s.segments.push_back({0xE1, exif});
        if (i % 5 == 0) s.segments.push_back({0xFE, test::Bytes{'b', 'e', 'n', 'c', 'h'}});
        char name[32];
        std::snprintf(name, sizeof name, "img_%05d.jpg", i);
        test::writeBytes(dir / name, test::makeJpeg(s));
    }
}

bool libjpegHeader(const fs::path& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = false;
    {
        JpegDecompressor d(0);
        if (d.created) {
            ok = runJpegPhase(d.err, [&] {
                jpeg_stdio_src(&d.cinfo, f);
                for (int m = 0; m < 16; ++m) jpeg_save_markers(&d.cinfo, JPEG_APP0 + m, 0xFFFF);
                jpeg_save_markers(&d.cinfo, JPEG_COM, 0xFFFF);
                jpeg_read_header(&d.cinfo, FALSE);
            });
        }
    }
    std::fclose(f);
    return ok;
}

// Mean cost of the IJG estimate over the filled database pairs in [first, last].
double ijgQualityMicros(const QuantTableDb& db, int first, int last) {
    std::vector<std::array<QuantValues, 2>> pairs;
    for (int index = first; index <= last; ++index) {
        if (db.entry(kLuminance, index) == QuantEntry{} || db.entry(kChrominance, index) == QuantEntry{})
            continue;
        std::array<QuantValues, 2> pair{};
        for (int list = 0; list < 2; ++list)
            for (int k = 0; k < 64; ++k) pair[list][kZigzagOrder[k]] = db.entry(list, index)[k];
        pairs.push_back(pair);
    }
    const int rounds = 200;
    volatile int sink = 0;
    const double seconds = secondsOf([&] {
        for (int r = 0; r < rounds; ++r)
            for (const auto& p : pairs) sink = sink + ijgQuality(p[0], &p[1]);
    }, 3);
    return seconds / (rounds * double(pairs.size())) * 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "quill-bench-inspection";
    const int count = argc > 2 ? std::atoi(argv[2]) : 2000;
    makeFolder(dir, count);
    setMessageSink([](const char*) {});
    const std::vector<fs::path> files = *listCandidates(dir);
    const double n = double(files.size());

    const int builds = 200;
    const double dbTime = secondsOf([&] {
        for (int i = 0; i < builds; ++i) {
            QuantTableDb db;
            if (db.filledCount(0, 0, 0) != 1) std::abort();
        }
    }, 3);
    std::printf("QuantTableDb construction:        %8.1f us\n", dbTime / builds * 1e6);

    auto report = [&](const char* what, double seconds) {
        std::printf("%-34s %8.0f files/s  (%6.1f us/file)\n", what, n / seconds, seconds / n * 1e6);
    };

    std::vector<char> buffer(65536);
    report("read first 64 KiB of each file:", secondsOf([&] {
        for (const fs::path& p : files) {
            const int fd = ::open(p.c_str(), O_RDONLY);
            if (fd < 0) continue;
            if (::read(fd, buffer.data(), buffer.size()) < 0) std::abort();
            ::close(fd);
        }
    }, 5));
    report("libjpeg header parse (stdio):", secondsOf([&] {
        for (const fs::path& p : files) libjpegHeader(p);
    }, 5));

    const QuantTableDb db;
    std::printf("ijgQuality, IJG tables:            %8.3f us/pair\n", ijgQualityMicros(db, 0, 99));
    std::printf("ijgQuality, camera tables:         %8.3f us/pair\n",
                ijgQualityMicros(db, 1487, 3905));
    report("ScanJpeg, one thread:", secondsOf([&] {
        for (const fs::path& p : files) {
            JpegInfo info;
            if (!db.ScanJpeg(p, info)) std::abort();
        }
    }, 5));
    FolderScanOptions one;
    one.threads = 1;
    report("listFolderByName, one thread:", secondsOf([&] { listFolderByName(dir, one); }, 5));
    report("listFolderByName, threads:", secondsOf([&] { listFolderByName(dir); }, 5));

    const std::string cli = std::string("'") + QUILLMARK_CLI + "' scan '" + dir.string() + "' >/dev/null";
    report("quillmark-cli scan:", secondsOf([&] {
        if (std::system(cli.c_str()) != 0) std::abort();
    }, 5));

    if (test::haveTool("exiftool")) {
        const std::string ex = "exiftool -fast -q -q '" + dir.string() + "' >/dev/null";
        report("exiftool -fast:", secondsOf([&] { std::system(ex.c_str()); }, 1));
    } else {
        std::printf("exiftool not installed (Debian: libimage-exiftool-perl)\n");
    }
    return 0;
}
