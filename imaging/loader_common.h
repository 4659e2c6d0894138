// Shared by the per-format loaders: the common opening (file status, open,
// signature) and the hand-over of a finished DIB into a LoadedImage.
#pragma once

#include <cstddef>
#include <filesystem>

#include "base/file_util.h"
#include "imaging/loaded_image.h"

namespace quill::detail {

// Stats path into image.fileSize / image.modified and opens it into `file`
// for reading; the reason when the status query fails, the file is empty or
// cannot be opened.
FileResult openImageFile(LoadedImage& image, const std::filesystem::path& path, FilePtr& file);

// Reads exactly n bytes from the start of f and rewinds; false when short.
bool readSignature(std::FILE* f, unsigned char* out, std::size_t n);

// The refusal of a file without the format's signature ("not a PNG file").
FileResult notFormat(const char* format);

// The refusal of a picture over our size limits ("70000 x 70000 pixels").
FileResult tooLarge(std::int64_t width, std::int64_t height);

// Moves dib's block into image (width, height from its header).
void adoptDib(LoadedImage& image, Dib&& dib);

}  // namespace quill::detail
