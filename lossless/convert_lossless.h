// convertLossless: one JPEG file in, one JPEG file out, entirely in the
// DCT-coefficient domain (clean, baseline, progressive, grayscale, the seven
// rotations and mirrorings, the turn its Exif orientation asks for, crop). It decodes no pixels and talks to no user:
// its only report is the result with its reason, library messages go to the sink.
#pragma once

#include <cstdint>
#include <filesystem>

#include "base/file_result.h"
#include "lossless/transform_kind.h"

namespace quill {

class StagedFile;

struct LosslessOptions {
    std::filesystem::path sourcePath;
    std::filesystem::path outputPath;
    bool stripMarkers = false;      // drop every APPn and COM segment
    bool keepJfif = false;          // false forbids the JFIF APP0 in the output
    bool progressive = false;       // false: sequential with optimized Huffman tables
    bool grayscale = false;         // keep only the luminance component
    bool forceRegularSize = false;  // enlarge to whole MCUs, no trimming
    TransformKind transform = TransformKind::None;
    bool crop = false;
    std::uint32_t cropLeft = 0, cropTop = 0;      // source pixels
    std::uint32_t cropRight = 0, cropBottom = 0;  // exclusive
    // false: fail rather than replace a file that appears at outputPath
    // while the conversion runs (batch outputs take free names).
    bool replaceExisting = true;

    // Options of our own, all off by default.
    bool keepIcc = false;   // with stripMarkers: keep the ICC_PROFILE APP2 segments, in order
    bool keepTime = false;  // the output takes the source's modification time
    // With a transform: Exif Orientation 1 and the Exif thumbnail turned alike.
    bool resetOrientation = false;
    // The transform is the one the source's Exif Orientation asks for, with
    // resetOrientation; a source that is upright already (Orientation 1 or
    // none) gets no output.
    bool autoOrient = false;
};

struct LosslessReport {
    bool written = false;  // false on success only for an upright autoOrient source
};

// Success when the output was completely written (or, with autoOrient, when
// nothing needed writing). The output appears at outputPath only then, in
// one rename; on failure nothing is left behind and an existing file at
// outputPath is untouched.
FileResult convertLossless(const LosslessOptions& options, LosslessReport* report = nullptr);

// The same conversion into `out`, left unplaced for the caller to name
// (outputPath and replaceExisting play no part); report->written says
// whether `out` holds an output.
FileResult convertLossless(const LosslessOptions& options, StagedFile& out, LosslessReport* report);

}  // namespace quill
