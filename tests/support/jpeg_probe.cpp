#include "tests/support/jpeg_probe.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <map>
#include <tuple>

namespace quill::test {
namespace {

struct ProbeError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void probeExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ProbeError*>(cinfo->err)->jump, 1);
}

void silent(j_common_ptr) {}

std::uint32_t get16(const Bytes& b, size_t at, bool big) {
    return big ? (std::uint32_t(b[at]) << 8) | b[at + 1] : (std::uint32_t(b[at + 1]) << 8) | b[at];
}
std::uint32_t get32(const Bytes& b, size_t at, bool big) {
    return big ? (get16(b, at, true) << 16) | get16(b, at + 2, true)
               : (get16(b, at + 2, false) << 16) | get16(b, at, false);
}
// Appends the low `bytes` bytes of v in the file's byte order.
void put(Bytes& b, std::uint32_t v, int bytes, bool big) {
    for (int i = 0; i < bytes; ++i) b.push_back(std::uint8_t(v >> 8 * (big ? bytes - 1 - i : i)));
}
// A SHORT value sits in the first two of the entry's four value bytes.
void putEntry(Bytes& b, std::uint32_t tag, std::uint32_t type, std::uint32_t count, std::uint32_t value, bool big) {
    put(b, tag, 2, big);
    put(b, type, 2, big);
    put(b, count, 4, big);
    if (type == 3) {
        put(b, value, 2, big);
        put(b, 0, 2, big);
    } else {
        put(b, value, 4, big);
    }
}

// The entries of the IFD at `at` as tag -> (type, value), the next IFD's
// offset under tag 0x10000; empty when the IFD does not fit.
std::map<std::uint32_t, std::pair<int, std::uint32_t>> readIfd(const Bytes& t, std::uint32_t at,
                                                               bool big) {
    std::map<std::uint32_t, std::pair<int, std::uint32_t>> e;
    if (at == 0 || std::size_t(at) + 2 > t.size()) return e;
    const std::uint32_t n = get16(t, at, big);
    if (std::size_t(at) + 2 + 12 * n + 4 > t.size()) return e;
    for (std::uint32_t i = 0; i < n; ++i) {
        const size_t p = at + 2 + 12 * i;
        const int type = int(get16(t, p + 2, big));
        e[get16(t, p, big)] = {type, type == 3 ? get16(t, p + 8, big) : get32(t, p + 8, big)};
    }
    e[0x10000] = {4, get32(t, at + 2 + 12 * n, big)};
    return e;
}

}  // namespace

JpegProbe probeJpeg(const Bytes& data) {
    JpegProbe p;
    jpeg_decompress_struct cinfo{};
    ProbeError err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = probeExit;
    err.pub.output_message = silent;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return JpegProbe{};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
    for (int m = 0; m < 16; ++m) jpeg_save_markers(&cinfo, JPEG_APP0 + m, 0xFFFF);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    p.width = int(cinfo.image_width);
    p.height = int(cinfo.image_height);
    p.components = cinfo.num_components;
    p.colorSpace = cinfo.jpeg_color_space;
    p.progressive = cinfo.progressive_mode;
    for (int c = 0; c < cinfo.num_components; ++c) {
        p.sampling.emplace_back(cinfo.comp_info[c].h_samp_factor, cinfo.comp_info[c].v_samp_factor);
        p.quantSlot.push_back(cinfo.comp_info[c].quant_tbl_no);
    }
    for (int t = 0; t < 4; ++t) {
        if (!cinfo.quant_tbl_ptrs[t]) continue;
        p.hasQuant[t] = true;
        for (int k = 0; k < 64; ++k) p.quant[t][k] = cinfo.quant_tbl_ptrs[t]->quantval[k];
    }
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        p.segments.push_back({m->marker, Bytes(m->data, m->data + m->data_length)});
    p.jfif = cinfo.saw_JFIF_marker;
    p.jfifMajor = cinfo.JFIF_major_version;
    p.jfifMinor = cinfo.JFIF_minor_version;
    p.densityUnit = cinfo.density_unit;
    p.xDensity = cinfo.X_density;
    p.yDensity = cinfo.Y_density;
    p.adobe = cinfo.saw_Adobe_marker;
    p.restartInterval = cinfo.restart_interval;
    jpeg_destroy_decompress(&cinfo);
    for (std::size_t i = 0; i + 1 < data.size(); ++i)
        p.restartMarkers += data[i] == 0xFF && data[i + 1] >= 0xD0 && data[i + 1] <= 0xD7;
    p.ok = true;
    return p;
}

Bytes runJpegtran(const std::string& args, const Bytes& input) {
    TempDir dir;
    const fs::path in = writeBytes(dir / "in.jpg", input);
    const fs::path out = dir / "out.jpg";
    const std::string cmd =
        "jpegtran " + args + " -outfile '" + out.string() + "' '" + in.string() + "' 2>/dev/null";
    if (runCommand(cmd) != 0) return {};
    return readBytes(out);
}

Bytes makeExifPayload(bool big, std::uint32_t width, std::uint32_t height, int orientation,
                      const Bytes& thumbnail) {
    Bytes b = {'E', 'x', 'i', 'f', 0, 0};
    Bytes t;
    t.push_back(big ? 'M' : 'I');
    t.push_back(big ? 'M' : 'I');
    put(t, 42, 2, big);
    put(t, 8, 4, big);  // IFD0 right after the header
    // IFD0: Orientation, ExifIFD pointer.
    put(t, 2, 2, big);
    putEntry(t, 0x0112, 3, 1, std::uint32_t(orientation), big);
    const std::uint32_t subOffset = 8 + 2 + 2 * 12 + 4;
    putEntry(t, 0x8769, 4, 1, subOffset, big);
    const std::uint32_t ifd1 = subOffset + 2 + 3 * 12 + 4;
    put(t, thumbnail.empty() ? 0 : ifd1, 4, big);
    // Exif sub-IFD: ExifVersion-like tag, X and Y dimensions as SHORT.
    put(t, 3, 2, big);
    putEntry(t, 0x9000, 7, 4, 0x30323330, big);
    putEntry(t, 0xA002, 3, 1, width, big);
    putEntry(t, 0xA003, 3, 1, height, big);
    put(t, 0, 4, big);
    if (!thumbnail.empty()) {
        // IFD1: a JPEG thumbnail (Compression 6), its bytes at the end.
        put(t, 3, 2, big);
        putEntry(t, 0x0103, 3, 1, 6, big);
        putEntry(t, 0x0201, 4, 1, ifd1 + 2 + 3 * 12 + 4, big);
        putEntry(t, 0x0202, 4, 1, std::uint32_t(thumbnail.size()), big);
        put(t, 0, 4, big);
        t.insert(t.end(), thumbnail.begin(), thumbnail.end());
    }
    b.insert(b.end(), t.begin(), t.end());
    return b;
}

ExifView readExif(const Bytes& payload) {
    ExifView v;
    if (payload.size() < 6 + 8) return v;
    const Bytes t(payload.begin() + 6, payload.end());
    const bool big = t[0] == 'M';
    auto ifd0 = readIfd(t, get32(t, 4, big), big);
    if (ifd0.empty()) return v;
    v.ok = true;
    v.orientation = int(ifd0[0x0112].second);
    auto ifd1 = readIfd(t, ifd0[0x10000].second, big);
    v.hasIfd1 = !ifd1.empty();
    const std::uint32_t at = ifd1[0x0201].second, length = ifd1[0x0202].second;
    if (at && at + length <= t.size()) v.thumbnail.assign(t.begin() + at, t.begin() + at + length);
    return v;
}

bool readExifDims(const Bytes& payload, ExifDims& out) {
    if (payload.size() < 6 + 8) return false;
    const Bytes t(payload.begin() + 6, payload.end());
    const bool big = t[0] == 'M';
    auto ifd0 = readIfd(t, get32(t, 4, big), big);
    auto sub = readIfd(t, ifd0[0x8769].second, big);
    if (sub.empty()) return false;
    if (sub.count(0xA002)) std::tie(out.widthType, out.width) = sub[0xA002];
    if (sub.count(0xA003)) std::tie(out.heightType, out.height) = sub[0xA003];
    return true;
}

}  // namespace quill::test
