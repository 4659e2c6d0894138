// Prints timings of the imaging core beside the libjpeg-turbo command-line
// tools doing the same work: a reduced preview decode of a 24-megapixel
// JPEG against `djpeg -scale 1/8`, a full encode against `cjpeg` with the
// same settings, and the time of a size-limit quality search per picture.
// Usage: bench_imaging [WIDTH HEIGHT [RUNS]]
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "imaging/encode_jpeg.h"
#include "imaging/loaded_image.h"
#include "imaging/recompress.h"

using namespace quill;
namespace fs = std::filesystem;

namespace {

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

// A photograph-like picture: broad gradients, soft shapes and fine grain.
Dib makePicture(int w, int h) {
    Dib dib = allocateDib(w, h);
    std::uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = dib.row(h - 1 - y);
        for (int x = 0; x < w; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 28) - 8;
            const int ring = ((x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2)) / (w * 4 + 1) % 64;
            p[0] = std::uint8_t(std::clamp(40 + x * 120 / w + ring + grain, 0, 255));
            p[1] = std::uint8_t(std::clamp(70 + y * 110 / h + grain, 0, 255));
            p[2] = std::uint8_t(std::clamp(200 - x * 90 / w - ring / 2 + grain, 0, 255));
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

}  // namespace

int main(int argc, char** argv) {
    const int w = argc > 2 ? std::atoi(argv[1]) : 6000;
    const int h = argc > 2 ? std::atoi(argv[2]) : 4000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
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
    fs::remove_all(dir);
    return 0;
}
