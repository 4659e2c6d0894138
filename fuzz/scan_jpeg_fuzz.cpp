// ScanJpeg on arbitrary bytes: never crashes, hangs or overreads, and a file
// it accepts yields a complete row.
#include <cstdlib>

#include "base/jpeg_guard.h"
#include "fuzz/fuzz_file.h"
#include "inspection/quant_table_db.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const quill::QuantTableDb db;
    static const bool quiet = (quill::setMessageSink([](const char*) {}), true);
    (void)quiet;
    quill::JpegInfo info;
    if (!quill::ScanJpeg(quill::fuzz::inputFile(data, size), db, info)) return 0;
    using namespace quill;
    for (int c : {kColName, kColSize, kColImageSize, kColRegularSize, kColBlockUnit,
                  kColLumaQuality, kColChromaQuality, kColGrade, kColDepth, kColColorSpace,
                  kColSampling, kColCoding, kColXDensity, kColYDensity})
        if (info.fields[c].empty()) std::abort();
    return 0;
}
