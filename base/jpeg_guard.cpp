#include "base/jpeg_guard.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include <jerror.h>

#include "base/jpeg_compat.h"

namespace quill {
namespace {

std::atomic<MessageSink> gSink{nullptr};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorMgr*>(cinfo->err);
    // Kept before printing can change it: a failed fwrite raises directly.
    err->systemError = errno;
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(err->jump, 1);
}

void outputMessage(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    const char* subject = reinterpret_cast<JpegErrorMgr*>(cinfo->err)->subject;
    if (!subject) {
        emitMessage(text);
        return;
    }
    char line[JMSG_LENGTH_MAX + 4096];
    std::snprintf(line, sizeof line, "%s: %s", subject, text);
    emitMessage(line);
}

// libjpeg's own rule (print the first warning only) plus a note of the end
// of the data, which says why a frame came out incomplete.
void noteMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<JpegErrorMgr*>(cinfo->err);
    if (level < 0) {
        if (err->pub.msg_code == JWRN_JPEG_EOF) err->endOfFile = true;
        if (err->pub.num_warnings == 0) (*err->pub.output_message)(cinfo);
        ++err->pub.num_warnings;
    } else if (err->pub.trace_level >= level) {
        (*err->pub.output_message)(cinfo);
    }
}

void scanLimitMonitor(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* err = reinterpret_cast<JpegErrorMgr*>(cinfo->err);
    if (err->maxScans > 0 && dinfo->input_scan_number > err->maxScans) {
        emitMessage("Too many progressive scans");
        err->scanLimitHit = true;
        std::longjmp(err->jump, 1);
    }
}

}  // namespace

void setMessageSink(MessageSink sink) { gSink.store(sink); }

void emitMessage(const char* text) {
    if (MessageSink sink = gSink.load()) {
        sink(text);
    } else {
        std::fprintf(stderr, "%s\n", text);
    }
}

FileResult jpegFailure(JpegErrorMgr& err) {
    if (err.scanLimitHit)
        return FileResult::fail(FailReason::Corrupt, "too many progressive scans");
    char text[JMSG_LENGTH_MAX];
    jpeg_common_struct common{};
    common.err = &err.pub;
    (*err.pub.format_message)(&common, text);
    switch (err.pub.msg_code) {
        case JERR_FILE_READ:
        case JERR_FILE_WRITE:
            return failureFromErrno(err.systemError);
        case JERR_NO_SOI:
            return FileResult::fail(FailReason::NotJpeg);
        default:
            break;
    }
    // Data that ends early reads as garbage to the marker parser: the end
    // of the file is the reason, not what libjpeg made of the fake EOI.
    if (err.endOfFile) return FileResult::fail(FailReason::Truncated);
    switch (err.pub.msg_code) {
        case JERR_INPUT_EOF:
            return FileResult::fail(FailReason::Truncated);
        case JERR_OUT_OF_MEMORY:
        case JERR_NO_BACKING_STORE:  // over the memory limit
        case JERR_IMAGE_TOO_BIG:
        case JERR_WIDTH_OVERFLOW:
            return FileResult::fail(FailReason::TooLarge, text);
        case JERR_NOTIMPL:
        case JERR_CONVERSION_NOTIMPL:
        case JERR_BAD_PRECISION:
        case JERR_NOT_COMPILED:
            return FileResult::fail(FailReason::Unsupported, text);
        case JERR_BAD_CROP_SPEC:
            return FileResult::fail(FailReason::Other, text);
        default:
            return FileResult::fail(FailReason::Corrupt, text);
    }
}

FileResult frameFault(j_decompress_ptr cinfo, const JpegErrorMgr& err, bool afterScans) {
    const int n = cinfo->num_components;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (cinfo->comp_info[i].component_id != cinfo->comp_info[j].component_id) continue;
            return FileResult::fail(FailReason::Corrupt,
                                    "components " + std::to_string(i + 1) + " and " +
                                        std::to_string(j + 1) + " share the id " +
                                        std::to_string(cinfo->comp_info[i].component_id));
        }
        if (afterScans && !cinfo->comp_info[i].quant_table) {
            if (err.endOfFile) return FileResult::fail(FailReason::Truncated);
            return FileResult::fail(FailReason::Corrupt,
                                    "no scan carries component " + std::to_string(i + 1));
        }
    }
    return {};
}

void initJpegError(JpegErrorMgr& err, int maxScans) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = outputMessage;
    err.pub.emit_message = noteMessage;
    err.maxScans = maxScans;
}

void limitProgressiveScans(j_decompress_ptr cinfo, JpegErrorMgr& err) {
    if (err.maxScans <= 0) return;
    err.progress = {};
    err.progress.progress_monitor = scanLimitMonitor;
    cinfo->progress = &err.progress;
}

void limitScansToFrame(j_decompress_ptr cinfo, JpegErrorMgr& err) {
    constexpr std::uint64_t kBlockVisits = std::uint64_t(1) << 27;
    constexpr std::uint64_t kFewestScans = 64;
    std::uint64_t blocks = 0;
    for (int ci = 0; ci < cinfo->num_components; ++ci)
        blocks += std::uint64_t(cinfo->comp_info[ci].width_in_blocks) *
                  cinfo->comp_info[ci].height_in_blocks;
    const std::uint64_t byWork = blocks ? kBlockVisits / blocks : kMaxProgressiveScans;
    const int limit = int(std::clamp<std::uint64_t>(byWork, kFewestScans, kMaxProgressiveScans));
    err.maxScans = err.maxScans > 0 ? std::min(err.maxScans, limit) : limit;
    if (!cinfo->progress) limitProgressiveScans(cinfo, err);
}

JpegDecompressor::JpegDecompressor(int maxScans) {
    initJpegError(err, maxScans);
    cinfo.err = &err.pub;
    created = runJpegPhase(err, [this] { jpeg_create_decompress(&cinfo); });
    if (created) {
        cinfo.mem->max_memory_to_use = kJpegMaxMemory;
        limitProgressiveScans(&cinfo, err);
    }
}

JpegCompressor::JpegCompressor() {
    initJpegError(err);
    cinfo.err = &err.pub;
    created = runJpegPhase(err, [this] { jpeg_create_compress(&cinfo); });
    if (created) cinfo.mem->max_memory_to_use = kJpegMaxMemory;
}

}  // namespace quill
