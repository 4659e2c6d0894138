// Prints timings of the imaging core beside the libjpeg-turbo command-line
// tools doing the same work: a reduced preview decode of a 24-megapixel
// JPEG against `djpeg -scale 1/8`, a full encode against `cjpeg` with the
// same settings, the time of a size-limit quality search per picture, and
// that search against one plain re-compression at the quality it finds,
// the two interleaved so that both see the same machine load.
// Usage: bench_imaging [WIDTH HEIGHT [RUNS [LIMIT]]]; with LIMIT only the
// last comparison runs (default limit 2,500,000 bytes as entered).
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "imaging/encode_jpeg.h"
#include "imaging/loaded_image.h"
#include "imaging/quality_search.h"
#include "imaging/recompress.h"

using namespace quill;
namespace fs = std::filesystem;

namespace {

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Wall-clock and processor time (all threads) of one run of `work`.
struct Times {
    double wall = 0, cpu = 0;
};
Times timed(const std::function<void()>& work) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = processSeconds();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), processSeconds() - c0};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double bestSeconds(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

bool shell(const std::string& cmd) {
    const int status = std::system(cmd.c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A photograph-like picture: broad gradients, soft rings with a hard rim,
// wavy texture, sharp-edged patches and fine grain. Re-compressed from its
// quality-90 JPEG it needs about quality 70 to fit 2,500,000 bytes.
Dib makePicture(int w, int h) {
    Dib dib = allocateDib(w, h);
    std::uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = dib.row(h - 1 - y);
        for (int x = 0; x < w; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int((seed >> 24) % 17) - 8;
            const int ring = ((x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2)) / (w * 4 + 1) % 64;
            int texture = int(24 * std::sin(x * 0.05 + 3 * std::sin(y * 0.013)) * std::sin(y * 0.031 + x * 0.002));
            if ((x / 300 + y / 200) % 3 == 0 && x % 300 < 150) texture += 50;
            p[0] = std::uint8_t(std::clamp(40 + x * 120 / w + ring + grain + texture, 0, 255));
            p[1] = std::uint8_t(std::clamp(70 + y * 110 / h + grain + texture / 2, 0, 255));
            p[2] = std::uint8_t(std::clamp(200 - x * 90 / w - ring / 2 + grain - texture / 3, 0, 255));
        }
    }
    return dib;
}

bool writePpm(const fs::path& path, const Dib& dib) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const int w = dib.width(), h = dib.height();
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    std::vector<std::uint8_t> line(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* p = dib.row(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            line[3 * x] = p[3 * x + 2];
            line[3 * x + 1] = p[3 * x + 1];
            line[3 * x + 2] = p[3 * x];
        }
        std::fwrite(line.data(), 1, line.size(), f);
    }
    return std::fclose(f) == 0;
}

// The size-limit search against a plain re-compression at the quality it
// finds, interleaved run by run: whole files (load, encode, write) and the
// encoding alone.
int compareSearchWithPlain(const fs::path& jpeg, int runs, std::uint32_t limit) {
    CompressionSettings limited;
    limited.sizeLimitEnabled = 1;
    limited.sizeLimit = limit;
    const RecompressFileResult found = recompressFile(limited, jpeg, true);
    if (found.outcome != RecompressOutcome::Written) {
        std::fprintf(stderr, "no quality fits %u bytes\n", limit);
        return 1;
    }
    CompressionSettings plain;
    plain.quality = found.quality;
    LoadedImage loaded;
    if (!loaded.LoadImageFile(jpeg, 0)) return 1;
    std::vector<Times> filePlain, fileSearch, encodePlain, encodeSearch;
    std::vector<std::uint8_t> data;
    for (int i = 0; i < runs; ++i) {
        filePlain.push_back(timed([&] {
            if (recompressFile(plain, jpeg, true).outcome != RecompressOutcome::Written) std::abort();
        }));
        fileSearch.push_back(timed([&] {
            if (recompressFile(limited, jpeg, true).quality != found.quality) std::abort();
        }));
        encodePlain.push_back(timed([&] {
            if (encodeJpegToMemory(plain, loaded.info, loaded.pixels.get(), found.quality, UINT64_MAX,
                                   data) != EncodeStatus::Ok)
                std::abort();
        }));
        encodeSearch.push_back(timed([&] {
            if (searchQuality(limited, loaded.info, loaded.pixels.get(), sizeLimitBytes(limit), data).quality !=
                found.quality)
                std::abort();
        }));
    }
    std::printf("size limit %u (%ju bytes): quality %d (%ju bytes); %d interleaved runs, best / median,\n"
                "wall clock and processor time of all threads\n",
                limit, std::uintmax_t(sizeLimitBytes(limit)), found.quality, std::uintmax_t(data.size()), runs);
    auto row = [](const char* what, const std::vector<Times>& plainTimes, const std::vector<Times>& searchTimes) {
        for (bool cpu : {false, true}) {
            std::vector<double> a, b;
            for (const Times& t : plainTimes) a.push_back(cpu ? t.cpu : t.wall);
            for (const Times& t : searchTimes) b.push_back(cpu ? t.cpu : t.wall);
            const double bestA = *std::min_element(a.begin(), a.end()), bestB = *std::min_element(b.begin(), b.end());
            std::printf("  %-38s %s plain %4.0f / %4.0f ms, search %4.0f / %4.0f ms, ratio %.2f / %.2f\n",
                        cpu ? "" : what, cpu ? "cpu " : "wall", bestA * 1e3, median(a) * 1e3, bestB * 1e3,
                        median(b) * 1e3, bestB / bestA, median(b) / median(a));
        }
    };
    row("re-compression (load, encode, write):", filePlain, fileSearch);
    row("encoding alone:", encodePlain, encodeSearch);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int w = argc > 2 ? std::atoi(argv[1]) : 6000;
    const int h = argc > 2 ? std::atoi(argv[2]) : 4000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const bool searchOnly = argc > 4;
    const std::uint32_t searchLimit = searchOnly ? std::uint32_t(std::atol(argv[4])) : 2500000u;
    const fs::path dir = fs::temp_directory_path() / ("bench_imaging-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::printf("picture %d x %d (%.1f megapixels), best of %d runs\n", w, h, w * double(h) / 1e6, runs);

    const Dib picture = makePicture(w, h);
    // The source photo: 4:2:0, quality 90, as cameras write them.
    CompressionSettings photo;
    photo.quality = 90;
    photo.sampling = 2;
    photo.dctMethod = 1;
    const fs::path jpeg = dir / "photo.jpg";
    if (!EncodeJpeg(photo, jpeg, picture.info, picture.pixels.get(), false, 0)) {
        std::fprintf(stderr, "cannot write %s\n", jpeg.c_str());
        return 1;
    }
    std::printf("source JPEG: %ju bytes\n", std::uintmax_t(fs::file_size(jpeg)));
    if (searchOnly) {
        const int status = compareSearchWithPlain(jpeg, runs, searchLimit);
        fs::remove_all(dir);
        return status;
    }

    // 1. Preview decode (previewWidth 300: 1/8 with the fast DCT, no fancy upsampling).
    const double ours = bestSeconds(runs, [&] {
        LoadedImage img;
        if (!img.LoadImageFile(jpeg, 300)) std::abort();
    });
    const std::string djpegCmd = "djpeg -scale 1/8 -dct fast -nosmooth -outfile /dev/null '" + jpeg.string() + "'";
    const double theirs = bestSeconds(runs, [&] {
        if (!shell(djpegCmd)) std::abort();
    });
    std::printf("preview decode 1/8: LoadImageFile %.1f ms, djpeg -scale 1/8 -dct fast -nosmooth %.1f ms, ratio %.2f\n",
                ours * 1e3, theirs * 1e3, ours / theirs);
    const double plainDjpeg = bestSeconds(runs, [&] {
        if (!shell("djpeg -scale 1/8 -outfile /dev/null '" + jpeg.string() + "'")) std::abort();
    });
    std::printf("  (djpeg -scale 1/8 with its default DCT and upsampling: %.1f ms, ratio %.2f)\n",
                plainDjpeg * 1e3, ours / plainDjpeg);

    // 2. Full encode with the default settings (quality 85, fast DCT, 4:4:4, baseline).
    const CompressionSettings defaults;
    const fs::path out = dir / "out.jpg";
    const double encode = bestSeconds(runs, [&] {
        if (!EncodeJpeg(defaults, out, picture.info, picture.pixels.get(), false, 0)) std::abort();
    });
    const fs::path ppm = dir / "picture.ppm";
    writePpm(ppm, picture);
    const std::string cjpegCmd = "cjpeg -quality 85 -dct fast -sample 1x1 -outfile '" + (dir / "cjpeg.jpg").string() +
                                 "' '" + ppm.string() + "'";
    const double cjpeg = bestSeconds(runs, [&] {
        if (!shell(cjpegCmd)) std::abort();
    });
    std::printf("full encode: EncodeJpeg %.1f ms (%ju bytes), cjpeg -quality 85 -dct fast -sample 1x1 %.1f ms (%ju bytes), ratio %.2f\n",
                encode * 1e3, std::uintmax_t(fs::file_size(out)), cjpeg * 1e3,
                std::uintmax_t(fs::file_size(dir / "cjpeg.jpg")), encode / cjpeg);

    // 3. Size-limit search per picture (load at full size, search from 100 down, write).
    for (std::uint32_t limit : {4000000u, 2000000u, 500000u}) {
        CompressionSettings s;
        s.sizeLimitEnabled = 1;
        s.sizeLimit = limit;
        int quality = 0;
        const double search = bestSeconds(std::max(1, runs / 2), [&] {
            fs::remove(dir / "photo_compress.jpg");
            RecompressFileResult r = recompressFile(s, jpeg, true);
            quality = r.outcome == RecompressOutcome::Written ? r.quality : 0;
        });
        std::printf("size-limit search, limit %u (%ju bytes): %.2f s per picture, quality found %d (%d encodings)\n",
                    limit, std::uintmax_t(sizeLimitBytes(limit)), search, quality, quality ? 101 - quality : 100);
    }
    const int status = compareSearchWithPlain(jpeg, runs, searchLimit);
    fs::remove_all(dir);
    return status;
}
