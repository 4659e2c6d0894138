// Guarded phases over libjpeg: the error exit longjmps back into runJpegPhase,
// never through a C++ destructor. Owners of the libjpeg objects live in the
// caller; a lambda run by runJpegPhase must hold nothing with a destructor.
// Internal to the core libraries: includes jpeglib.h.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "base/file_result.h"

namespace quill {

struct JpegErrorMgr {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int maxScans;  // 0: no limit; checked by the progress monitor
    jpeg_progress_mgr progress;
    int systemError;  // errno when the error exit ran: why a read or write failed
    bool scanLimitHit;
    bool endOfFile;  // the source ran out of data (libjpeg then pads with an EOI)
    const char* subject;  // file named in front of libjpeg's messages, or null
};

// Where libjpeg's (and libpng's) messages go; stderr unless a test captures them.
using MessageSink = void (*)(const char* text);
void setMessageSink(MessageSink sink);
void emitMessage(const char* text);

// Sets up err as cinfo's error manager with our exit and output hooks.
// Must run before jpeg_create_*.
void initJpegError(JpegErrorMgr& err, int maxScans = 0);

// Installs the scan-limit progress monitor on a decompressor (after create).
void limitProgressiveScans(j_decompress_ptr cinfo, JpegErrorMgr& err);

// After jpeg_read_header: lowers the scan limit as the frame grows. Every
// scan visits every block of the frame, even a scan without data, so a few
// kilobytes of empty scans over a large frame could keep us busy for minutes.
// Real files use a dozen scans or so; even the largest frame keeps 64.
void limitScansToFrame(j_decompress_ptr cinfo, JpegErrorMgr& err);

// Why a phase failed, from the error libjpeg raised (with its message as
// detail where the reason alone says too little).
FileResult jpegFailure(JpegErrorMgr& err);

// Frames libjpeg accepts but decoders read differently: two components with
// one id (a scan naming it may mean either), or, once every scan has been
// read (afterScans), a component that no scan carried (libjpeg leaves it
// flat; its table was never latched). Success when the frame has neither; a
// component missing because the data ended early is Truncated.
FileResult frameFault(j_decompress_ptr cinfo, const JpegErrorMgr& err, bool afterScans);

// Runs phase() with err's jump armed; false when libjpeg raised an error.
template <class Phase>
bool runJpegPhase(JpegErrorMgr& err, Phase&& phase) {
    if (setjmp(err.jump)) return false;
    phase();
    return true;
}

// RAII owners; a zeroed struct is safe to destroy even when create failed.
struct JpegDecompressor {
    jpeg_decompress_struct cinfo{};
    JpegErrorMgr err{};
    bool created = false;
    explicit JpegDecompressor(int maxScans = kMaxScansDefault);
    ~JpegDecompressor() { jpeg_destroy_decompress(&cinfo); }
    JpegDecompressor(const JpegDecompressor&) = delete;
    JpegDecompressor& operator=(const JpegDecompressor&) = delete;
    static constexpr int kMaxScansDefault = 1000;
};

struct JpegCompressor {
    jpeg_compress_struct cinfo{};
    JpegErrorMgr err{};
    bool created = false;
    JpegCompressor();
    ~JpegCompressor() { jpeg_destroy_compress(&cinfo); }
    JpegCompressor(const JpegCompressor&) = delete;
    JpegCompressor& operator=(const JpegCompressor&) = delete;
};

}  // namespace quill
