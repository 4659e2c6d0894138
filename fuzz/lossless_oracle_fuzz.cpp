// convertLossless as a plain re-encoding (no transform; baseline or
// progressive from the first byte): when the source decodes without a
// warning and the conversion succeeds, the output must decode to exactly the
// source's pixels, since every coefficient and the table each component was
// quantized with carry over. Catches silent damage the crash targets cannot.
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/jpeg_guard.h"
#include "fuzz/fuzz_file.h"
#include "lossless/convert_lossless.h"

namespace {

struct Picture {
    bool ok = false;
    unsigned width = 0, height = 0;
    int components = 0;
    std::vector<unsigned char> samples;
};

// Decodes without block smoothing (it would guess at coefficients a
// sequential output states as zero). Not ok on an error or any warning, or
// for frames too large to decode quickly under the sanitizers.
Picture decode(const unsigned char* data, std::size_t size) {
    Picture p;
    quill::JpegDecompressor d;
    if (!d.created) return p;
    j_decompress_ptr c = &d.cinfo;
    unsigned width = 0, height = 0;
    int components = 0;
    if (!quill::runJpegPhase(d.err, [&] {
            jpeg_mem_src(c, data, static_cast<unsigned long>(size));
            if (jpeg_read_header(c, TRUE) != JPEG_HEADER_OK) return;
            if (std::uint64_t(c->image_width) * c->image_height > (1u << 18)) return;
            c->do_block_smoothing = FALSE;
            jpeg_start_decompress(c);
            width = c->output_width;
            height = c->output_height;
            components = c->output_components;
        }) ||
        width == 0)
        return p;
    p.samples.resize(std::size_t(width) * height * std::size_t(components));
    unsigned char* out = p.samples.data();
    const bool read = quill::runJpegPhase(d.err, [&] {
        while (c->output_scanline < c->output_height) {
            JSAMPROW row = out + std::size_t(c->output_scanline) * width * std::size_t(components);
            jpeg_read_scanlines(c, &row, 1);
        }
        jpeg_finish_decompress(c);
    });
    p.ok = read && d.err.pub.num_warnings == 0;
    p.width = width;
    p.height = height;
    p.components = components;
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static const bool quiet = (quill::setMessageSink([](const char*) {}), true);
    (void)quiet;
    namespace fs = std::filesystem;
    const Picture source = decode(data + 1, size - 1);
    if (!source.ok) return 0;

    quill::LosslessOptions o;
    o.sourcePath = quill::fuzz::inputFile(data + 1, size - 1);
    o.outputPath = quill::fuzz::scratchDirectory() / "out.jpg";
    // A new name each time (the output is removed below): a replacing move
    // flushes file and folder, and on a busy disk one such flush held a
    // unit for 16 s.
    o.replaceExisting = false;
    // The library's own JFIF/Adobe segments only: copied ones could make a
    // decoder infer another colour space than the source's.
    o.stripMarkers = true;
    o.keepJfif = true;
    o.progressive = data[0] & 1;
    if (!quill::convertLossless(o).ok()) return 0;
    std::vector<unsigned char> bytes;
    {
        std::FILE* f = std::fopen(o.outputPath.c_str(), "rb");
        if (!f) std::abort();
        unsigned char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    std::error_code ec;
    fs::remove(o.outputPath, ec);
    const Picture output = decode(bytes.data(), bytes.size());
    if (!output.ok || output.width != source.width || output.height != source.height ||
        output.components != source.components || output.samples != source.samples)
        std::abort();
    return 0;
}
