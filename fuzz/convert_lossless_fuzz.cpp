// convertLossless on arbitrary bytes with options taken from the first two
// bytes: never crashes or hangs, and a failure leaves no file behind.
#include <cstdlib>
#include <filesystem>

#include "base/jpeg_guard.h"
#include "fuzz/fuzz_file.h"
#include "lossless/convert_lossless.h"

namespace {

// Frames up to the memory limit are legal but take seconds each under the
// sanitizers; the fuzzer learns more from many small ones.
bool frameIsSmall(const std::uint8_t* data, std::size_t size) {
    quill::JpegDecompressor d;
    if (!d.created) return false;
    bool small = false;
    quill::runJpegPhase(d.err, [&] {
        jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
        if (jpeg_read_header(&d.cinfo, FALSE) == JPEG_HEADER_OK)
            small = std::uint64_t(d.cinfo.image_width) * d.cinfo.image_height <= (1u << 22);
    });
    return small;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    static const bool quiet = (quill::setMessageSink([](const char*) {}), true);
    (void)quiet;
    namespace fs = std::filesystem;
    if (!frameIsSmall(data + 2, size - 2)) return 0;
    const std::uint8_t a = data[0], b = data[1];
    quill::LosslessOptions o;
    o.sourcePath = quill::fuzz::inputFile(data + 2, size - 2);
    o.outputPath = quill::fuzz::scratchDirectory() / "out.jpg";
    // A new name each time (the output is removed below): a replacing move
    // flushes file and folder, and on a busy disk one such flush held a
    // unit for 16 s.
    o.replaceExisting = false;
    o.transform = static_cast<quill::TransformKind>(a % 8);
    o.stripMarkers = a & 0x08;
    o.keepJfif = a & 0x10;
    o.progressive = a & 0x20;
    o.grayscale = a & 0x40;
    o.forceRegularSize = a & 0x80;
    o.crop = b & 0x01;
    // Small crop rectangles the fuzzer can steer; reversed edges are allowed.
    o.cropLeft = (b >> 1) & 0x07;
    o.cropTop = (b >> 4) & 0x07;
    o.cropRight = o.cropLeft + 1 + ((b >> 2) & 0x1F);
    o.cropBottom = o.cropTop + 1 + ((b >> 3) & 0x1F);
    const bool ok = quill::convertLossless(o).ok();
    std::error_code ec;
    const bool exists = fs::exists(o.outputPath, ec);
    if (ok != exists) std::abort();
    fs::remove(o.outputPath, ec);
    // Nothing else may be left in the directory (staged partial files).
    if (fs::directory_iterator(quill::fuzz::scratchDirectory()) != fs::directory_iterator())
        std::abort();
    return 0;
}
