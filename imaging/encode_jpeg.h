// EncodeJpeg writes a 24-bit bottom-up DIB as a JPEG file under
// CompressionSettings, directly or through memory against a size limit.
// The output name only ever sees a complete file: encoding goes to a
// temporary file or buffer that is moved into place at the end.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <vector>

#include "base/file_result.h"
#include "imaging/compression_settings.h"
#include "imaging/dib.h"

namespace quill {

// The byte limit a sizeLimit entered in decimal kilo/megabytes stands for:
// up to 1000 as is, up to 1,000,000 in units of 1024, beyond in 1024 * 1024.
std::uint64_t sizeLimitBytes(std::uint32_t sizeLimit);

// toMemory false: encodes with settings.quality and writes outPath.
// toMemory true: encodes with qualityOverride and writes outPath only when
// the result is within sizeLimitBytes(settings.sizeLimit).
// replaceExisting false never replaces a file already at outPath; a
// read-only file there is never replaced either.
// On failure (with its reason) nothing is left at outPath. `modified`, when
// given, is the new file's modification time.
FileResult EncodeJpeg(const CompressionSettings& settings, const std::filesystem::path& outPath,
                      const BitmapInfoHeader* info, const std::uint8_t* pixels, bool toMemory,
                      int qualityOverride, bool replaceExisting = true,
                      const std::optional<std::timespec>& modified = std::nullopt) noexcept;

class StagedFile;

// Encodes with settings.quality into `out`, left unplaced for the caller to
// name (batches name their outputs one at a time, in order).
FileResult EncodeJpeg(const CompressionSettings& settings, StagedFile& out, const BitmapInfoHeader* info,
                      const std::uint8_t* pixels) noexcept;

enum class EncodeStatus { Ok, TooLarge, Failed };

// Encodes into `out` at `quality`; stops early with TooLarge as soon as the
// output would exceed maxBytes, so a quality search pays little for misses.
EncodeStatus encodeJpegToMemory(const CompressionSettings& settings, const BitmapInfoHeader* info,
                                const std::uint8_t* pixels, int quality, std::uint64_t maxBytes,
                                std::vector<std::uint8_t>& out) noexcept;

// Pixel size of the encoded picture: the library scale of scaleIndex
// applies unless the picture was resampled before (lanczosEnabled).
void encodedSize(const CompressionSettings& settings, int width, int height, int& outWidth,
                 int& outHeight);

}  // namespace quill
