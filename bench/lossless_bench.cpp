// Times rotate-r90, progressive and clean on one 24-megapixel 4:2:0 JPEG,
// ours (in process) against jpegtran doing the same work (a child process),
// alternating runs, and prints the median of each and their ratio. Then six
// such rotations: quillmark-cli over all six (its default workers, one per
// core) against jpegtran doing them one after another, both as child
// processes, interleaved, with wall and processor time.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lossless/convert_lossless.h"
#include "lossless/lossless_op.h"
#include "tests/support/test_files.h"

using namespace quill;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A photo-like picture: smooth gradients, some edges and fine noise, so the
// entropy coder has as much to do as on a camera file.
test::Bytes makePhoto(int w, int h) {
    test::JpegSpec spec;
    spec.width = w;
    spec.height = h;
    spec.quality = 90;
    spec.h0 = spec.v0 = 2;
    test::Segment exif{0xE1, test::Bytes{'E', 'x', 'i', 'f', 0, 0}};
    exif.data.resize(8000, 0x20);
    spec.segments.push_back(exif);
    spec.pixel = [](int x, int y, int c) {
        unsigned n = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ unsigned(c) * 83492791u;
        n = (n ^ (n >> 13)) * 0x5bd1e995u;
        int v = (x / 24 + y / 16 + c * 40) % 256;
        if (((x / 200) + (y / 150)) % 2) v = 255 - v;
        v += int(n >> 28) - 8;
        return std::uint8_t(std::clamp(v, 0, 255));
    };
    return test::makeJpeg(spec);
}

// Processor seconds (user + system) of the finished children so far.
double childCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

struct Timed {
    std::vector<double> wall, cpu;
};

bool timeCommand(const std::string& cmd, Timed& t) {
    const double cpu0 = childCpuSeconds();
    const auto t0 = Clock::now();
    if (test::runCommand(cmd) != 0) return false;
    t.wall.push_back(secondsSince(t0));
    t.cpu.push_back(childCpuSeconds() - cpu0);
    return true;
}

// Six rotations of copies of src: each CLI given (by default the one built
// here) over all six, against six jpegtran runs one after another.
int benchSixRotations(const fs::path& dir, const fs::path& src, int runs, std::vector<std::string> clis) {
    if (clis.empty()) clis.push_back(QUILLMARK_CLI);
    std::vector<fs::path> files;
    std::string jpegtran;
    for (int i = 0; i < 6; ++i) {
        files.push_back(dir / ("six_" + std::to_string(i) + ".jpg"));
        fs::copy_file(src, files.back(), fs::copy_options::overwrite_existing);
        jpegtran += std::string(i ? " && " : "") + "jpegtran -copy all -optimize -rotate 90 -trim -outfile '" +
                    (dir / ("six_" + std::to_string(i) + "_jt.jpg")).string() + "' '" + files.back().string() + "'";
    }
    auto oursCommand = [&](const std::string& cli) {
        std::string cmd = "'" + cli + "' rotate-r90";
        for (const fs::path& f : files) cmd += " '" + f.string() + "'";
        return cmd + " >/dev/null";
    };
    auto removeOutputs = [&] {
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().find("_rotationR90") != std::string::npos) fs::remove(e.path());
    };
    std::vector<Timed> ours(clis.size());
    Timed theirs;
    for (int r = 0; r < runs; ++r) {
        if (!timeCommand(jpegtran, theirs)) {
            std::fprintf(stderr, "jpegtran failed\n");
            return 1;
        }
        for (std::size_t c = 0; c < clis.size(); ++c) {
            removeOutputs();
            if (!timeCommand(oursCommand(clis[c]), ours[c])) {
                std::fprintf(stderr, "%s failed\n", clis[c].c_str());
                return 1;
            }
        }
    }
    double load[3] = {};
    if (::getloadavg(load, 3) < 1) load[0] = -1;
    std::printf("\nsix rotations (median of %d interleaved runs; load average %.1f):\n", runs, load[0]);
    std::printf("%-40s %8s %8s %12s\n", "", "wall s", "cpu s", "wall ratio");
    const double jt = median(theirs.wall);
    std::printf("%-40s %8.3f %8.3f %12s\n", "jpegtran, one after another", jt, median(theirs.cpu), "1");
    for (std::size_t c = 0; c < clis.size(); ++c) {
        const std::string name = fs::path(clis[c]).parent_path().filename().string() + "/quillmark-cli";
        std::printf("%-40s %8.3f %8.3f %12.3f\n", name.c_str(), median(ours[c].wall), median(ours[c].cpu),
                    median(ours[c].wall) / jt);
    }
    std::printf("target: wall ratio <= 0.65\n");
    return 0;
}

}  // namespace

// bench_lossless [RUNS] [CLI...]
int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::vector<std::string> clis(argv + std::min(argc, 2), argv + argc);
    if (!test::haveTool("jpegtran")) {
        std::fprintf(stderr, "jpegtran not found (Debian: libjpeg-turbo-progs)\n");
        return 2;
    }
    test::TempDir dir;
    const fs::path src = dir / "photo.jpg";
    const fs::path ours = dir / "ours.jpg";
    const fs::path theirs = dir / "theirs.jpg";
    std::printf("making a 6000 x 4000 4:2:0 source...\n");
    test::writeBytes(src, makePhoto(6000, 4000));
    std::printf("source: %llu bytes\n", (unsigned long long)fs::file_size(src));

    struct Case {
        const char* name;
        LosslessOp op;
        const char* jpegtranArgs;
    };
    const Case cases[] = {
        {"rotate-r90", LosslessOp::OpRotateRight90, "-copy all -optimize -rotate 90 -trim"},
        {"progressive", LosslessOp::OpProgressive, "-copy all -progressive"},
        {"clean", LosslessOp::OpClean, "-copy none -optimize"},
    };
    std::vector<double> ratios;
    std::printf("%-12s %10s %10s %8s   (median of %d runs)\n", "operation", "ours s", "jpegtran s",
                "ratio", runs);
    for (const Case& c : cases) {
        const LosslessOptions options = losslessOptionsFor(c.op, src, ours, true, false, false);
        const std::string cmd = std::string("jpegtran ") + c.jpegtranArgs + " -outfile '" +
                                theirs.string() + "' '" + src.string() + "'";
        std::vector<double> a, b;
        for (int i = 0; i < runs; ++i) {
            auto t0 = Clock::now();
            if (!convertLossless(options)) {
                std::fprintf(stderr, "%s: conversion failed\n", c.name);
                return 1;
            }
            a.push_back(secondsSince(t0));
            t0 = Clock::now();
            if (test::runCommand(cmd) != 0) {
                std::fprintf(stderr, "%s: jpegtran failed\n", c.name);
                return 1;
            }
            b.push_back(secondsSince(t0));
        }
        const double ma = median(a), mb = median(b);
        ratios.push_back(ma / mb);
        std::printf("%-12s %10.3f %10.3f %8.3f\n", c.name, ma, mb, ma / mb);
    }
    std::printf("median ratio (ours / jpegtran): %.3f  (target <= 1.05)\n", median(ratios));
    return benchSixRotations(dir.path(), src, runs, clis);
}
