#include "imaging/compression_settings.h"

namespace quill {
namespace {

// Visits every field in block order with its width; packing and unpacking
// share it so the two can never disagree about the layout.
template <class S, class Fn>
void forEachField(S& s, Fn&& fn) {
    fn(s.jfifMarker);
    fn(s.jfifVersionEnabled);
    fn(s.jfifMajor);
    fn(s.jfifMinor);
    fn(s.densityEnabled);
    fn(s.densityUnit);
    fn(s.xDensity);
    fn(s.yDensity);
    fn(s.quality);
    fn(s.progressive);
    fn(s.optimizeHuffman);
    fn(s.scaleIndex);
    fn(s.colorSpace);
    fn(s.sampling);
    fn(s.restartMode);
    fn(s.restartRows);
    fn(s.restartInterval);
    fn(s.smoothingEnabled);
    fn(s.smoothing);
    fn(s.dctMethod);
    fn(s.memoryLimitMb);
    fn(s.lanczosEnabled);
    fn(s.lanczosWidth);
    fn(s.lanczosHeight);
    fn(s.keepRatio);
    fn(s.sizeLimitEnabled);
    fn(s.sizeLimit);
}

}  // namespace

CompressionBlock packCompressionSettings(const CompressionSettings& settings) {
    CompressionBlock block{};
    std::size_t pos = 0;
    forEachField(settings, [&](auto value) {
        using U = std::make_unsigned_t<decltype(value)>;
        U u = static_cast<U>(value);
        for (std::size_t i = 0; i < sizeof(U); ++i) block[pos++] = std::uint8_t(u >> (8 * i));
    });
    return block;
}

CompressionSettings unpackCompressionSettings(std::span<const std::uint8_t, kCompressionBlockSize> block) {
    CompressionSettings settings;
    std::size_t pos = 0;
    forEachField(settings, [&](auto& field) {
        using T = std::remove_reference_t<decltype(field)>;
        using U = std::make_unsigned_t<T>;
        U u = 0;
        for (std::size_t i = 0; i < sizeof(U); ++i) u = U(u | U(U(block[pos++]) << (8 * i)));
        field = static_cast<T>(u);
    });
    return settings;
}

}  // namespace quill
