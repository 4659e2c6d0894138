#include "imaging/quality_search.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "imaging/encode_jpeg.h"

namespace quill {

// Qualities go in pairs on two threads (each encode owns its libjpeg
// object), and the higher fitting one of a pair wins, so the answer is
// exactly the one-by-one search's. Misses stop as soon as they outgrow the
// limit. libjpeg failing at one quality fails at every quality alike.
int searchQuality(const CompressionSettings& settings, const BitmapInfoHeader* info,
                  const std::uint8_t* pixels, std::uint64_t limit, std::vector<std::uint8_t>& out) {
    const int lanes = std::thread::hardware_concurrency() > 1 ? 2 : 1;
    std::vector<std::uint8_t> buffers[2];
    EncodeStatus status[2] = {EncodeStatus::Failed, EncodeStatus::Failed};
    for (int top = 100; top >= 1; top -= lanes) {
        const int count = std::min(lanes, top);
        auto encodeAt = [&](int k) {
            status[k] = encodeJpegToMemory(settings, info, pixels, top - k, limit, buffers[k]);
        };
        std::thread second;
        if (count > 1) {
            try {
                second = std::thread(encodeAt, 1);
            } catch (const std::system_error&) {
                encodeAt(1);
            }
        }
        encodeAt(0);
        if (second.joinable()) second.join();
        for (int k = 0; k < count; ++k) {
            if (status[k] == EncodeStatus::TooLarge) continue;
            if (status[k] == EncodeStatus::Failed) return 0;
            out.swap(buffers[k]);
            return top - k;
        }
    }
    return 0;
}

}  // namespace quill
