// Shared by the per-format loaders: the common opening (file status, open,
// signature) and the hand-over of a finished DIB into a LoadedImage.
#pragma once

#include <cstddef>
#include <filesystem>

#include "base/file_util.h"
#include "imaging/loaded_image.h"

namespace quill::detail {

// Stats path into image.fileSize / image.modified and opens it for reading.
// Null when the status query fails, the file is empty or cannot be opened.
FilePtr openImageFile(LoadedImage& image, const std::filesystem::path& path);

// Reads exactly n bytes from the start of f and rewinds; false when short.
bool readSignature(std::FILE* f, unsigned char* out, std::size_t n);

// Moves dib's block into image (width, height from its header).
void adoptDib(LoadedImage& image, Dib&& dib);

}  // namespace quill::detail
