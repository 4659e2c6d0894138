// libFuzzer target: the input, saved under a name with QUILL_FUZZ_EXTENSION,
// goes through LoadImageFile as the program's loaders see files. A JPEG is
// decoded at full size and again as a reduced preview.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/jpeg_guard.h"
#include "imaging/loaded_image.h"

namespace {

const std::string& inputPath() {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string p = std::string(tmp && *tmp ? tmp : "/tmp") + "/quill-fuzz-" + std::to_string(::getpid()) +
                        QUILL_FUZZ_EXTENSION;
        std::atexit([] { std::remove(inputPath().c_str()); });
        return p;
    }();
    return path;
}

void check(const quill::LoadedImage& image) {
    // A loaded picture is whole: touch its last byte and its header.
    if (image.empty()) std::abort();
    const quill::BitmapInfoHeader* info = image.info;
    if (info->biBitCount != 24 || info->biSize != 40) std::abort();
    volatile std::uint8_t last = image.pixels.get()[image.stride() * std::size_t(info->biHeight) + 43];
    (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quill::setMessageSink([](const char*) {});  // libjpeg's warnings on every input
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = inputPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;

    quill::LoadedImage image;
    if (image.LoadImageFile(path, 0)) check(image);
    else if (!image.empty()) std::abort();
    if (std::string(QUILL_FUZZ_EXTENSION) == ".jpg") {
        quill::LoadedImage preview;
        if (preview.LoadImageFile(path, 16)) check(preview);
        else if (!preview.empty()) std::abort();
    }
    return 0;
}
