#include "tests/support/test_files.h"

#include <jpeglib.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace quill::test {
namespace {

J_COLOR_SPACE toJ(Space s) {
    switch (s) {
        case Space::Gray: return JCS_GRAYSCALE;
        case Space::RGB: return JCS_RGB;
        case Space::YCbCr: return JCS_YCbCr;
        case Space::CMYK: return JCS_CMYK;
        case Space::YCCK: return JCS_YCCK;
    }
    return JCS_UNKNOWN;
}

int componentsOf(Space s) {
    switch (s) {
        case Space::Gray: return 1;
        case Space::CMYK:
        case Space::YCCK: return 4;
        default: return 3;
    }
}

std::uint8_t defaultPixel(int x, int y, int c) {
    // Gradients plus a few hard edges, different per component.
    int v = (x * 7 + y * 3 + c * 60) & 0xFF;
    if (((x / 5) + (y / 7) + c) % 4 == 0) v ^= 0x80;
    return static_cast<std::uint8_t>(v);
}

struct ThrowingError {
    jpeg_error_mgr pub;
};

[[noreturn]] void testErrorExit(j_common_ptr cinfo) {
    char msg[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, msg);
    std::fprintf(stderr, "test JPEG encoder error: %s\n", msg);
    std::abort();
}

}  // namespace

Segment exifOrientationSegment(int orientation, bool bigEndian) {
    auto u16 = [&](Bytes& b, unsigned v) {
        b.push_back(std::uint8_t(bigEndian ? v >> 8 : v));
        b.push_back(std::uint8_t(bigEndian ? v : v >> 8));
    };
    Bytes b = {'E', 'x', 'i', 'f', 0, 0};
    b.push_back(bigEndian ? 'M' : 'I');
    b.push_back(bigEndian ? 'M' : 'I');
    u16(b, 42);
    u16(b, bigEndian ? 0 : 8), u16(b, bigEndian ? 8 : 0);  // IFD0 at 8
    u16(b, 1);                                              // one entry
    u16(b, 0x0112), u16(b, 3);                              // Orientation, SHORT
    u16(b, bigEndian ? 0 : 1), u16(b, bigEndian ? 1 : 0);   // count 1
    u16(b, unsigned(orientation)), u16(b, 0);
    u16(b, 0), u16(b, 0);  // no next IFD
    return {0xE1, b};
}

Bytes makeJpeg(const JpegSpec& spec) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    err.error_exit = testErrorExit;
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);

    const int comps = componentsOf(spec.input);
    cinfo.image_width = spec.width;
    cinfo.image_height = spec.height;
    cinfo.input_components = comps;
    cinfo.in_color_space = toJ(spec.input);
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, toJ(spec.stored));
    jpeg_set_quality(&cinfo, spec.quality, spec.forceBaseline);
    for (std::size_t i = 0; i < spec.quantTables.size(); ++i) {
        unsigned table[64];
        std::copy(spec.quantTables[i].begin(), spec.quantTables[i].end(), table);
        jpeg_add_quant_table(&cinfo, static_cast<int>(i), table, 100, spec.forceBaseline);
    }
    cinfo.comp_info[0].h_samp_factor = spec.h0;
    cinfo.comp_info[0].v_samp_factor = spec.v0;
    for (int c = 1; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    cinfo.write_JFIF_header = spec.writeJfif;
    cinfo.write_Adobe_marker = spec.writeAdobe;
    cinfo.density_unit = spec.densityUnit;
    cinfo.X_density = spec.xDensity;
    cinfo.Y_density = spec.yDensity;
    cinfo.arith_code = spec.arithmetic;
    cinfo.optimize_coding = spec.optimize;
    cinfo.restart_interval = spec.restartInterval;
    if (spec.progressive) jpeg_simple_progression(&cinfo);
    std::vector<jpeg_scan_info> script;
    for (const ScanStep& step : spec.scans) {
        jpeg_scan_info scan{};
        scan.comps_in_scan = int(step.components.size());
        std::copy(step.components.begin(), step.components.end(), scan.component_index);
        scan.Ss = step.ss, scan.Se = step.se, scan.Ah = step.ah, scan.Al = step.al;
        script.push_back(scan);
    }
    if (!script.empty()) {
        cinfo.scan_info = script.data();
        cinfo.num_scans = int(script.size());
    }

    jpeg_start_compress(&cinfo, TRUE);
    for (const Segment& s : spec.segments)
        jpeg_write_marker(&cinfo, s.marker, s.data.data(), static_cast<unsigned>(s.data.size()));
    std::vector<JSAMPLE> row(static_cast<size_t>(spec.width) * comps);
    while (cinfo.next_scanline < cinfo.image_height) {
        int y = cinfo.next_scanline;
        for (int x = 0; x < spec.width; ++x)
            for (int c = 0; c < comps; ++c)
                row[size_t(x) * comps + c] = spec.pixel ? spec.pixel(x, y, c) : defaultPixel(x, y, c);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes result(out, out + outSize);
    std::free(out);
    return result;
}

Decoded decodeJpeg(const Bytes& data) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    err.error_exit = testErrorExit;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), data.size());
    Decoded d;
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    d.width = cinfo.output_width;
    d.height = cinfo.output_height;
    d.components = cinfo.output_components;
    d.pixels.resize(size_t(d.width) * d.height * d.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = d.pixels.data() + size_t(cinfo.output_scanline) * d.width * d.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return d;
}

fs::path writeBytes(const fs::path& path, const Bytes& data) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    // A new file, not a truncated one: ext4 flushes a file truncated and
    // rewritten, which costs milliseconds per write.
    std::error_code ec;
    fs::remove(path, ec);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return path;
}

Bytes readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quilltest.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only files and folders made by tests must not survive them.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

MemoryFile::MemoryFile(const std::string& name) : fd_(::memfd_create("quill-test", MFD_CLOEXEC)), path_(dir_ / name) {
    if (fd_ < 0) std::abort();
    fs::create_symlink("/proc/self/fd/" + std::to_string(fd_), path_);
}

MemoryFile::~MemoryFile() { ::close(fd_); }

const fs::path& MemoryFile::write(const Bytes& data) {
    if (::ftruncate(fd_, 0) != 0) std::abort();
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, off_t(done));
        if (n <= 0) std::abort();
        done += std::size_t(n);
    }
    return path_;
}

int runCommand(const std::string& command) {
    int status = std::system(command.c_str());
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CommandResult runIn(const fs::path& dir, const std::string& command) {
    TempDir capture;
    const fs::path out = capture / "stdout", err = capture / "stderr";
    CommandResult r;
    r.status = runCommand("cd '" + dir.string() + "' && " + command + " >'" + out.string() + "' 2>'" +
                          err.string() + "'");
    const Bytes o = readBytes(out), e = readBytes(err);
    r.out.assign(o.begin(), o.end());
    r.err.assign(e.begin(), e.end());
    return r;
}

bool haveTool(const std::string& name) {
    return runCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}

}  // namespace quill::test
