#include "lossless/exif_orientation.h"

#include <algorithm>

#include "lossless/tiff_bytes.h"

namespace quill {
namespace {

constexpr std::uint32_t kOrientation = 0x0112;
constexpr std::uint32_t kThumbnailOffset = 0x0201;  // JPEGInterchangeFormat
constexpr std::uint32_t kThumbnailLength = 0x0202;  // JPEGInterchangeFormatLength
constexpr std::uint32_t kEntryBytes = 12;

// Bounds-checked reading of a TIFF body; every position handed out lies
// inside. Writes go to the caller's copy, at positions read here.
struct Tiff {
    const std::uint8_t* data;
    std::uint32_t size;
    bool big;

    static std::optional<Tiff> open(const std::uint8_t* data, std::size_t size) {
        if (size < 8 || size > 0xFFFFFFFFu) return std::nullopt;
        const std::optional<bool> big = tiffByteOrder(data, size);
        if (!big) return std::nullopt;
        return Tiff{data, std::uint32_t(size), *big};
    }

    std::uint32_t firstIfd() const { return readU32(data + 4, big); }

    // Entries of the IFD at `at` when its table lies whole inside, else nullopt.
    std::optional<std::uint32_t> entries(std::uint32_t at) const {
        if (at < 8 || at > size - 2) return std::nullopt;
        const std::uint32_t count = readU16(data + at, big);
        if (count > (size - at - 2) / kEntryBytes) return std::nullopt;
        return count;
    }

    // Position of the entry with `tag`, or 0.
    std::uint32_t find(std::uint32_t at, std::uint32_t count, std::uint32_t tag) const {
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t pos = at + 2 + i * kEntryBytes;
            if (readU16(data + pos, big) == tag) return pos;
        }
        return 0;
    }

    // The value of a single SHORT or LONG entry.
    std::optional<std::uint32_t> value(std::uint32_t pos) const {
        if (pos == 0 || readU32(data + pos + 4, big) != 1) return std::nullopt;
        switch (readU16(data + pos + 2, big)) {
            case 3: return readU16(data + pos + 8, big);
            case 4: return readU32(data + pos + 8, big);
            default: return std::nullopt;
        }
    }

    // Values written here stay below 65536, so a SHORT entry holds them too.
    void setValue(std::uint8_t* copy, std::uint32_t pos, std::uint32_t v) const {
        if (readU16(data + pos + 2, big) == 3)
            writeU16(copy + pos + 8, v, big);
        else
            writeU32(copy + pos + 8, v, big);
    }

    void setOrientationUpright(std::uint8_t* copy, std::uint32_t at, std::uint32_t count) const {
        const std::uint32_t pos = find(at, count, kOrientation);
        if (value(pos)) setValue(copy, pos, 1);
    }

    // Where the IFD's link to the next one lies, or 0 when it is cut off.
    std::uint32_t linkOf(std::uint32_t at, std::uint32_t count) const {
        const std::uint32_t pos = at + 2 + count * kEntryBytes;
        return pos <= size - 4 ? pos : 0;
    }
};

bool overlaps(std::uint32_t a, std::uint32_t aEnd, std::uint32_t b, std::uint32_t bEnd) {
    return a < bEnd && b < aEnd;
}

}  // namespace

int exifOrientation(std::span<const std::uint8_t> tiff) {
    const auto t = Tiff::open(tiff.data(), tiff.size());
    if (!t) return 0;
    const std::uint32_t ifd0 = t->firstIfd();
    const auto count = t->entries(ifd0);
    if (!count) return 0;
    const auto v = t->value(t->find(ifd0, *count, kOrientation));
    return v && *v >= 1 && *v <= 8 ? int(*v) : 0;
}

TransformKind transformForOrientation(int orientation) {
    switch (orientation) {
        case 2: return TransformKind::FlipH;
        case 3: return TransformKind::Rotate180;
        case 4: return TransformKind::FlipV;
        case 5: return TransformKind::Transpose;
        case 6: return TransformKind::Rotate90;
        case 7: return TransformKind::Transverse;
        case 8: return TransformKind::Rotate270;
        default: return TransformKind::None;
    }
}

std::optional<std::vector<std::uint8_t>> uprightExif(std::span<const std::uint8_t> tiff,
                                                     const ThumbnailTurn& turn,
                                                     std::size_t maxLength) {
    const auto t = Tiff::open(tiff.data(), tiff.size());
    if (!t) return std::nullopt;
    const std::uint32_t ifd0 = t->firstIfd();
    const auto count0 = t->entries(ifd0);
    if (!count0) return std::nullopt;
    std::vector<std::uint8_t> out(tiff.begin(), tiff.end());
    t->setOrientationUpright(out.data(), ifd0, *count0);

    const std::uint32_t link = t->linkOf(ifd0, *count0);
    const std::uint32_t ifd1 = link ? readU32(t->data + link, t->big) : 0;
    if (ifd1 == 0) return out;
    auto dropIfd1 = [&] {
        writeU32(out.data() + link, 0, t->big);
        return out;
    };
    const auto count1 = t->entries(ifd1);
    if (!count1) return dropIfd1();
    t->setOrientationUpright(out.data(), ifd1, *count1);

    const std::uint32_t offsetPos = t->find(ifd1, *count1, kThumbnailOffset);
    const std::uint32_t lengthPos = t->find(ifd1, *count1, kThumbnailLength);
    const auto offset = t->value(offsetPos);
    const auto length = t->value(lengthPos);
    // A thumbnail must lie inside and clear of the header and both IFD
    // tables, which are rewritten below.
    if (!offset || !length || *length == 0 || *offset > t->size || *length > t->size - *offset)
        return dropIfd1();
    const std::uint32_t begin = *offset, end = *offset + *length;
    if (overlaps(begin, end, 0, 8) || overlaps(begin, end, ifd0, link + 4) ||
        overlaps(begin, end, ifd1, ifd1 + 2 + *count1 * kEntryBytes + 4))
        return dropIfd1();

    const std::optional<std::vector<std::uint8_t>> turned = turn(tiff.subspan(begin, *length));
    const bool last = end == t->size;
    if (turned && !turned->empty() && turned->size() <= *length) {
        std::copy(turned->begin(), turned->end(), out.begin() + begin);
        const std::uint32_t newEnd = begin + std::uint32_t(turned->size());
        if (last)
            out.resize(newEnd);
        else
            std::fill(out.begin() + newEnd, out.begin() + end, 0);
        t->setValue(out.data(), lengthPos, newEnd - begin);
        return out;
    }
    // The old bytes go either way: cut when they close the body, else zeroed.
    if (last)
        out.resize(begin);
    else
        std::fill(out.begin() + begin, out.begin() + end, 0);
    const std::size_t at = out.size() + (out.size() & 1);  // TIFF data starts on a word
    if (!turned || turned->empty() || at + turned->size() > maxLength) return dropIfd1();
    out.resize(at);
    out.insert(out.end(), turned->begin(), turned->end());
    t->setValue(out.data(), offsetPos, std::uint32_t(at));
    t->setValue(out.data(), lengthPos, std::uint32_t(turned->size()));
    return out;
}

}  // namespace quill
