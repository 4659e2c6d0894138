// ScanJpeg: one file's header, up to its first SOS, into the 33 list texts.
// Scan data is never read. The library parses the header; we keep only the
// codes of APPn and COM segments (never their contents, so a file full of
// segments costs no memory) and skip segment bodies with a seek.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/file_util.h"
#include "base/group_thousands.h"
#include "base/jpeg_compat.h"
#include "base/jpeg_guard.h"

#include <jerror.h>
#include "inspection/ijg_quality.h"
#include "inspection/jpeg_header.h"
#include "inspection/quant_table_db.h"

namespace quill {
namespace {

using detail::HeaderColor;
using detail::HeaderFacts;

class FdOwner {
public:
    explicit FdOwner(int fd) : fd_(fd) {}
    ~FdOwner() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdOwner(const FdOwner&) = delete;
    FdOwner& operator=(const FdOwner&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// A data source over a file descriptor. Headers are small, but an Exif
// segment in front of them may not be: a skip only moves our offset, and
// positioned reads avoid a seek per skip.
struct FdSource {
    jpeg_source_mgr pub;
    int fd;
    off_t offset;  // of the next byte to read from the file
    JOCTET buffer[4096];
};

bool readChunk(FdSource& src) {
    ssize_t n;
    do n = ::pread(src.fd, src.buffer, sizeof src.buffer, src.offset);
    while (n < 0 && errno == EINTR);
    src.pub.next_input_byte = src.buffer;
    src.pub.bytes_in_buffer = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (n > 0) src.offset += n;
    return n > 0;
}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<FdSource*>(cinfo->src);
    if (!readChunk(*src)) {
        // Like the stdio source: end the stream with a fake EOI and warn.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        src->pub.next_input_byte = src->buffer;
        src->pub.bytes_in_buffer = 2;
    }
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    auto* src = reinterpret_cast<FdSource*>(cinfo->src);
    if (static_cast<std::size_t>(count) <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
        return;
    }
    // Past the end is fine: the next read finds the end of the file.
    src->offset += count - static_cast<long>(src->pub.bytes_in_buffer);
    src->pub.bytes_in_buffer = 0;
}

int nextByte(j_decompress_ptr cinfo) {
    jpeg_source_mgr* src = cinfo->src;
    if (src->bytes_in_buffer == 0) (*src->fill_input_buffer)(cinfo);
    --src->bytes_in_buffer;
    return *src->next_input_byte++;
}

// Processor for APP0-APP15 and COM: records the code, reads what the library
// itself would read from JFIF APP0 and Adobe APP14, and skips the rest.
boolean noteSegment(j_decompress_ptr cinfo) {
    auto* facts = static_cast<HeaderFacts*>(cinfo->client_data);
    const int code = cinfo->unread_marker;
    facts->markers |= code == JPEG_COM ? detail::kComBit : 1u << (code - JPEG_APP0);
    long length = nextByte(cinfo) << 8;
    length += nextByte(cinfo);
    length -= 2;
    if (code == JPEG_APP0 || code == JPEG_APP0 + 14) {
        JOCTET d[14];
        const int n = length >= 14 ? 14 : (length > 0 ? static_cast<int>(length) : 0);
        for (int i = 0; i < n; ++i) d[i] = static_cast<JOCTET>(nextByte(cinfo));
        length -= n;
        if (code == JPEG_APP0 && n >= 14 && !std::memcmp(d, "JFIF", 5)) {
            cinfo->saw_JFIF_marker = TRUE;
            cinfo->JFIF_major_version = d[5];
            cinfo->JFIF_minor_version = d[6];
            cinfo->density_unit = d[7];
            cinfo->X_density = static_cast<UINT16>((d[8] << 8) | d[9]);
            cinfo->Y_density = static_cast<UINT16>((d[10] << 8) | d[11]);
        } else if (code == JPEG_APP0 + 14 && n >= 12 && !std::memcmp(d, "Adobe", 5)) {
            cinfo->saw_Adobe_marker = TRUE;
            cinfo->Adobe_transform = d[11];
        }
    }
    if (length > 0) (*cinfo->src->skip_input_data)(cinfo, length);
    return TRUE;
}

// The guard's exit, except that a refusal of 12-bit samples stays quiet: we
// read those headers ourselves.
[[noreturn]] void scanErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorMgr*>(cinfo->err);
    if (!(err->pub.msg_code == JERR_BAD_PRECISION && err->pub.msg_parm.i[0] == 12))
        (*cinfo->err->output_message)(cinfo);
    std::longjmp(err->jump, 1);
}

HeaderColor colorOf(J_COLOR_SPACE space) {
    switch (space) {
        case JCS_UNKNOWN: return HeaderColor::Unknown;
        case JCS_GRAYSCALE: return HeaderColor::Gray;
        case JCS_RGB: return HeaderColor::RGB;
        case JCS_YCbCr: return HeaderColor::YCbCr;
        case JCS_CMYK: return HeaderColor::CMYK;
        case JCS_YCCK: return HeaderColor::YCCK;
        default: return HeaderColor::Unknown;
    }
}

const char* colorText(HeaderColor c) {
    switch (c) {
        case HeaderColor::Gray: return "Gray";
        case HeaderColor::RGB: return "RGB";
        case HeaderColor::YCbCr: return "YCbCr";
        case HeaderColor::CMYK: return "CMYK";
        case HeaderColor::YCCK: return "YCCK";
        default: return "Unknown";
    }
}

const char* samplingText(int h, int v) {
    if (h == 1 && v == 1) return "4：4：4";
    if ((h == 2 && v == 1) || (h == 1 && v == 2)) return "4：2：2";
    if (h == 2 && v == 2) return "4：2：0";
    if ((h == 4 && v == 1) || (h == 1 && v == 4)) return "4：1：1";
    return "Unknown";
}

std::string pair(const char* format, unsigned long a, unsigned long b) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

// Reads the header through the library into facts; the reason when the
// library refuses it. refusedFor12Bit tells a refusal for 12-bit samples
// alone. Messages name the file; a file prints its first warning only (a
// few stray bytes between segments, say), so a listing stays readable.
FileResult readWithLibrary(FdSource& src, HeaderFacts& facts, bool& refusedFor12Bit,
                           const char* subject) {
    JpegDecompressor d(0);
    if (!d.created) return FileResult::fail(FailReason::Other, "out of memory");
    d.err.pub.error_exit = scanErrorExit;
    d.err.subject = subject;
    d.cinfo.src = &src.pub;
    d.cinfo.client_data = &facts;
    int rc = 0;
    const bool ok = runJpegPhase(d.err, [&] {
        for (int m = 0; m < 16; ++m) jpeg_set_marker_processor(&d.cinfo, JPEG_APP0 + m, noteSegment);
        jpeg_set_marker_processor(&d.cinfo, JPEG_COM, noteSegment);
        rc = jpeg_read_header(&d.cinfo, FALSE);
    });
    if (!ok) {
        refusedFor12Bit = d.err.pub.msg_code == JERR_BAD_PRECISION && d.err.pub.msg_parm.i[0] == 12;
        return jpegFailure(d.err);
    }
    // A stream that ends before its first scan, or defines no table 0, has
    // no frame to describe.
    const jpeg_decompress_struct& c = d.cinfo;
    if (rc != JPEG_HEADER_OK || !c.comp_info) {
        if (d.err.endOfFile) return FileResult::fail(FailReason::Truncated);
        return FileResult::fail(FailReason::Corrupt, "no image in the stream");
    }
    if (!c.quant_tbl_ptrs[0]) return FileResult::fail(FailReason::Corrupt, "no quantization table 0");

    facts.width = c.image_width;
    facts.height = c.image_height;
    facts.components = c.num_components;
    facts.precision = c.data_precision;
    facts.color = colorOf(c.jpeg_color_space);
    facts.h0 = c.comp_info[0].h_samp_factor;
    facts.v0 = c.comp_info[0].v_samp_factor;
    facts.maxH = c.max_h_samp_factor;
    facts.maxV = c.max_v_samp_factor;
    facts.progressive = c.progressive_mode;
    facts.xDensity = c.X_density;
    facts.yDensity = c.Y_density;
    const JQUANT_TBL* luma = c.quant_tbl_ptrs[0];
    const JQUANT_TBL* chroma = c.quant_tbl_ptrs[1] ? c.quant_tbl_ptrs[1] : luma;
    for (int i = 0; i < 64; ++i) {
        facts.luminance[i] = luma->quantval[i];
        facts.chrominance[i] = c.num_components > 1 ? chroma->quantval[i] : 0;
    }
    facts.ownChromaTable = c.num_components > 1 && chroma != luma;
    return {};
}

}  // namespace

bool QuantTableDb::ScanJpeg(const fs::path& path, JpegInfo& info, FileResult* why) const {
    auto fail = [why](FileResult reason) {
        if (why) *why = std::move(reason);
        return false;
    };
    // Non-blocking open so a FIFO given by name cannot hang us; only regular
    // files are read.
    FdOwner file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) return fail(failureFromErrno(errno));
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return fail(failureFromErrno(errno));
    if (!S_ISREG(st.st_mode)) return fail(FileResult::fail(FailReason::NotJpeg, "not a regular file"));

    FdSource src{};
    src.fd = file.get();
    src.offset = 0;
    src.pub.init_source = initSource;
    src.pub.fill_input_buffer = fillInput;
    src.pub.skip_input_data = skipInput;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = termSource;
    if (!readChunk(src) || src.pub.bytes_in_buffer < 2 || src.buffer[0] != 0xFF ||
        src.buffer[1] != 0xD8)
        return fail(FileResult::fail(FailReason::NotJpeg));

    HeaderFacts facts;
    bool refusedFor12Bit = false;
    if (FileResult read = readWithLibrary(src, facts, refusedFor12Bit, path.c_str()); !read) {
        if (!refusedFor12Bit) {
            if (read.reason == FailReason::Truncated) read = truncatedAt(std::uint64_t(st.st_size));
            return fail(std::move(read));
        }
        facts = HeaderFacts{};
        if (!detail::readHeaderFacts12(file.get(), facts))
            return fail(FileResult::fail(FailReason::Corrupt, "12-bit header"));
    }
    if (facts.maxH <= 0 || facts.maxV <= 0 || facts.components <= 0)
        return fail(FileResult::fail(FailReason::Corrupt, "no frame"));

    auto& f = info.fields;
    f[kColName] = path.filename().string();
    f[kColSize] = GroupThousands(std::to_string(static_cast<unsigned long long>(st.st_size)));
    f[kColModified] = formatLocalTime(st.st_mtim);
    f[kColImageSize] = pair("%lu x %lu", facts.width, facts.height);
    const unsigned mcuW = unsigned(facts.maxH) * kDctSize;
    const unsigned mcuH = unsigned(facts.maxV) * kDctSize;
    f[kColRegularSize] = pair("%lu x %lu", (facts.width + mcuW - 1) / mcuW * mcuW,
                              (facts.height + mcuH - 1) / mcuH * mcuH);
    f[kColBlockUnit] = pair("%lu x %lu", mcuW, mcuH);
    // The database knows tables by their low 8 bits; the IJG estimate needs
    // the whole values of 16-bit tables.
    QuantValues luma8 = facts.luminance, chroma8 = facts.chrominance;
    for (int i = 0; i < 64; ++i) {
        luma8[i] &= 0xFF;
        chroma8[i] &= 0xFF;
    }
    EstimateQuality(*this, luma8, chroma8, f[kColLumaQuality], f[kColChromaQuality], f[kColGrade]);
    f[kColDepth] = std::to_string(facts.precision * facts.components);
    f[kColColorSpace] = std::string(colorText(facts.color));
    f[kColSampling] = std::string(samplingText(facts.h0, facts.v0));
    f[kColCoding] = std::string(facts.progressive ? "Progressive" : "Baseline");
    f[kColXDensity] = std::to_string(facts.xDensity);
    f[kColYDensity] = std::to_string(facts.yDensity);
    for (int n = 0; n < 16; ++n)
        if (facts.markers & (1u << n)) f[kColApp0 + n] = std::string(kPresentMark);
    if (facts.markers & detail::kComBit) f[kColCom] = std::string(kPresentMark);
    f[kColOther] = std::to_string(
        ijgQuality(facts.luminance, facts.ownChromaTable ? &facts.chrominance : nullptr));
    return true;
}

}  // namespace quill
