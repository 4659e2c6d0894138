// The size-limit quality search. Everything libjpeg does before the forward
// DCT (colour conversion, downsampling, smoothing, edge padding) is the same
// at every quality, so one pass through the library keeps those samples;
// per quality only the library's own forward DCT and quantizer run on them,
// and the bits the Huffman coder would spend are counted. The counts are
// lower bounds of the file size, so a quality they put over the limit cannot
// fit; qualities they cannot rule out are encoded for real from the top, and
// the first that fits is the answer: the quality and the bytes of encoding
// every quality from 100 down. Progressive coding has no bound here and
// encodes every quality.
//
// Why the counts never exceed the real size (entropy-coded bits before byte
// stuffing, padding and markers, which only add):
// - Standard Huffman codes: the count is exact, symbol by symbol, with the
//   DC prediction reset at each restart; a stripe of MCU rows counted on its
//   own prices its first DC codes at the cheapest.
// - Optimized codes: libjpeg's tables are a prefix code over the counted
//   symbols, so each table spends at least an optimal Huffman code's bits
//   for the symbol counts; the appended bits are exact.
// Both hold for any part of the picture, so a count may stop as soon as it
// passes the limit.
// - A floor for every quality from q0 up: a higher quality never has a
//   larger quantization step (jpeg_set_quality scales fixed base tables by a
//   factor falling with the quality; checked), and each of the library's
//   quantizers rounds |x| / step to nearest (the integer reciprocals are
//   exact for 16-bit dividends, the float one is monotone in the step), so
//   no AC coefficient shrinks: a block at q has a nonzero
//   wherever the block at q0 has one, at least as large, and maybe more. The
//   cheapest such block under the standard codes (optimized ones are not
//   known in advance: each code counts as one bit) is priced per coefficient
//   (added nonzeros may shorten a run but pay their own codes) and at its end
//   (EOB, or added coefficients up to the last). The DC term of each DCT
//   method is the block's sample sum less 64 * 128, divided by 8 * step and
//   rounded to nearest: for the next few steps above q0 the DC differences
//   are worked out exactly (integer DCTs; checked on a stripe), beyond them a
//   DC difference is at least |term difference| / (8 * step) - 1.
#include "imaging/quality_search.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <system_error>
#include <thread>

#include "base/jpeg_guard.h"
#include "imaging/encode_jpeg_internal.h"

#include <jpegint.h>  // the module structs whose methods we call or replace

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quill {
namespace {

// The samples we keep: a 24-megapixel picture at 4:4:4 takes 72 MB.
constexpr std::size_t kMaxSampleBytes = std::size_t(512) << 20;

// Blocks are coded in zigzag order; kNatural[k] is the k-th coefficient's index.
constexpr int kNatural[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                              12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                              35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                              58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// For each byte of a natural-order nonzero mask, its bits in zigzag order.
struct ZigzagBytes {
    std::uint64_t bits[8][256]{};
    constexpr ZigzagBytes() {
        int zigzag[64]{};
        for (int k = 0; k < 64; ++k) zigzag[kNatural[k]] = k;
        for (int byte = 0; byte < 8; ++byte)
            for (int v = 0; v < 256; ++v)
                for (int b = 0; b < 8; ++b)
                    if (v >> b & 1) bits[byte][v] |= std::uint64_t(1) << zigzag[8 * byte + b];
    }
};
constexpr ZigzagBytes kZigzag;

// Nonzero AC coefficients of a block as a mask in zigzag order.
std::uint64_t acMask(const JCOEF* block) {
    std::uint64_t natural = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
        const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
        const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(block + 16 * i + 8));
        const int zeros = _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero)));
        natural |= std::uint64_t(~zeros & 0xFFFF) << (16 * i);
    }
#else
    for (int i = 0; i < 64; ++i) natural |= std::uint64_t(block[i] != 0) << i;
#endif
    std::uint64_t mask = 0;
    for (int i = 0; i < 8; ++i) mask |= kZigzag.bits[i][natural >> (8 * i) & 0xFF];
    return mask & ~std::uint64_t(1);
}

int category(int v) { return std::bit_width(unsigned(v < 0 ? -v : v)); }

void codeLengths(const JHUFF_TBL* table, std::uint8_t (&length)[256]) {
    std::fill(std::begin(length), std::end(length), 0);
    if (!table) return;
    for (int l = 1, p = 0; l <= 16; ++l)
        for (int i = 0; i < table->bits[l] && p < 256; ++i) length[table->huffval[p++]] = std::uint8_t(l);
}

// Bits of one DC and one AC table, code plus appended bits, with the floors
// of the cheapest block that dominates a given one. Optimized tables are
// not known in advance: every code counts as one bit, the least it can be.
struct StandardCosts {
    std::uint16_t dc[12]{};       // by DC category
    std::uint16_t dcFloor[12]{};  // cheapest of the categories from k up
    std::uint16_t dcAny = 0;      // cheapest DC of all
    std::uint16_t ac[63][11]{};   // by run (ZRL codes included) and size
    std::uint16_t acFloor[63][11]{};
    std::uint16_t tail[64]{};     // cheapest end of a block with t places after its last nonzero
    std::uint16_t eob = 0;

    StandardCosts(const JHUFF_TBL* dcTable, const JHUFF_TBL* acTable, bool optimized) {
        std::uint8_t dcLen[256], acLen[256];
        codeLengths(dcTable, dcLen);
        codeLengths(acTable, acLen);
        if (optimized) {
            std::fill(std::begin(dcLen), std::end(dcLen), 1);
            std::fill(std::begin(acLen), std::end(acLen), 1);
        }
        for (int k = 0; k < 12; ++k) dc[k] = std::uint16_t(dcLen[k] + k);
        for (int k = 11; k >= 0; --k) dcFloor[k] = k == 11 ? dc[k] : std::min(dc[k], dcFloor[k + 1]);
        dcAny = dcFloor[0];
        eob = acLen[0x00];
        int extra[63];  // an added nonzero after a run of r
        for (int r = 0; r < 63; ++r) {
            extra[r] = INT32_MAX;
            for (int s = 1; s <= 10; ++s) {
                ac[r][s] = std::uint16_t(r / 16 * acLen[0xF0] + acLen[(r % 16) << 4 | s] + s);
                extra[r] = std::min<int>(extra[r], ac[r][s]);
            }
        }
        // Cheapest way to reach a nonzero of size s after r zeros when the
        // zeros may turn into nonzeros: none of them, or a first one after rho.
        int reach[63][11];
        for (int r = 0; r < 63; ++r)
            for (int s = 1; s <= 10; ++s) {
                int best = ac[r][s];
                for (int rho = 0; rho < r; ++rho) best = std::min(best, extra[rho] + reach[r - 1 - rho][s]);
                reach[r][s] = best;
            }
        for (int r = 0; r < 63; ++r)
            for (int s = 10; s >= 1; --s)
                acFloor[r][s] = std::uint16_t(s == 10 ? reach[r][s] : std::min(reach[r][s], int(acFloor[r][s + 1])));
        for (int t = 1; t < 64; ++t) {
            int best = eob;
            for (int rho = 0; rho < t; ++rho) best = std::min(best, extra[rho] + tail[t - 1 - rho]);
            tail[t] = std::uint16_t(best);
        }
    }
};

// Optimal prefix code bits for these symbol counts, every code at least one
// bit long (as in any JPEG table). Two-queue Huffman; no allocation, since
// it runs on worker threads.
std::uint64_t huffmanBits(std::span<const std::uint32_t> counts) {
    std::uint64_t leaves[256], merged[256];
    int n = 0;
    for (std::uint32_t c : counts)
        if (c && n < 256) leaves[n++] = c;
    if (n <= 1) return n ? leaves[0] : 0;
    std::sort(leaves, leaves + n);
    int li = 0, mi = 0, mn = 0;
    auto takeSmallest = [&] {
        if (li < n && (mi == mn || leaves[li] <= merged[mi])) return leaves[li++];
        return merged[mi++];
    };
    std::uint64_t bits = 0;
    for (int joins = 0; joins < n - 1; ++joins) {
        const std::uint64_t a = takeSmallest();
        const std::uint64_t b = takeSmallest();
        bits += a + b;
        merged[mn++] = a + b;
    }
    return bits;
}

// Symbol counts of the optimized-table case, per table number.
struct Histogram {
    std::uint32_t dc[NUM_HUFF_TBLS][12]{};
    std::uint32_t ac[NUM_HUFF_TBLS][256]{};
    std::uint64_t extraBits = 0;

    void add(const Histogram& o) {
        for (int t = 0; t < NUM_HUFF_TBLS; ++t) {
            for (int k = 0; k < 12; ++k) dc[t][k] += o.dc[t][k];
            for (int k = 0; k < 256; ++k) ac[t][k] += o.ac[t][k];
        }
        extraBits += o.extraBits;
    }
    std::uint64_t bits() const {
        std::uint64_t total = extraBits;
        for (int t = 0; t < NUM_HUFF_TBLS; ++t) total += huffmanBits(dc[t]) + huffmanBits(ac[t]);
        return total;
    }
};

// A destination that throws away what libjpeg writes.
struct DiscardDest {
    jpeg_destination_mgr pub{};
    JOCTET buffer[512];
    DiscardDest() {
        pub.init_destination = reset;
        pub.empty_output_buffer = [](j_compress_ptr cinfo) -> boolean {
            reset(cinfo);
            return TRUE;
        };
        pub.term_destination = [](j_compress_ptr) {};
    }
    static void reset(j_compress_ptr cinfo) {
        auto* d = reinterpret_cast<DiscardDest*>(cinfo->dest);
        d->pub.next_output_byte = d->buffer;
        d->pub.free_in_buffer = sizeof d->buffer;
    }
};

// A compressor started at one quality, never fed a scan line: the search
// calls its forward DCT and quantizer on the kept samples.
struct Quantizer {
    JpegCompressor comp;
    DiscardDest dest;

    bool start(const CompressionSettings& s, int width, int height, int quality) {
        if (!comp.created) return false;
        j_compress_ptr cinfo = &comp.cinfo;
        DiscardDest* d = &dest;
        return runJpegPhase(comp.err, [cinfo, d, &s, width, height, quality] {
            cinfo->dest = &d->pub;
            configureCompressor(cinfo, s, quality, width, height);
            jpeg_start_compress(cinfo, TRUE);
        });
    }
    void quantize(int ci, JSAMPARRAY rows, JBLOCKROW out, int row, int col, int count) {
        j_compress_ptr cinfo = &comp.cinfo;
        cinfo->fdct->forward_DCT(cinfo, cinfo->cur_comp_info[ci], rows, out, JDIMENSION(row), JDIMENSION(col),
                                 JDIMENSION(count));
    }
};

// Sample memory in 2 MiB pages where the system offers them: tens of
// megabytes touched once would otherwise cost a fault per 4 KiB.
struct FreeSamples {
    void operator()(JSAMPLE* p) const { std::free(p); }
};
std::unique_ptr<JSAMPLE[], FreeSamples> allocateSamples(std::size_t count) {
    constexpr std::size_t kPage = std::size_t(2) << 20;
    const std::size_t bytes = (count + kPage - 1) / kPage * kPage;
    void* memory = std::aligned_alloc(kPage, bytes);
    if (!memory) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    ::madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    return std::unique_ptr<JSAMPLE[], FreeSamples>(static_cast<JSAMPLE*>(memory));
}

// One component's samples as the coefficient controller receives them:
// whole iMCU rows, padded to whole blocks.
struct Plane {
    std::unique_ptr<JSAMPLE[], FreeSamples> samples;
    std::vector<JSAMPROW> rows;
    std::size_t width = 0;
    int rowsPerIMCURow = 0;
};

// Stands in for libjpeg's coefficient controller in the pass that keeps the
// samples of a band of iMCU rows; nothing is transformed or coded there.
struct SampleCapture {
    jpeg_c_coef_controller pub{};  // first: libjpeg sees only this
    Plane* planes = nullptr;
    int components = 0;
    JDIMENSION seen = 0;              // iMCU rows of the band so far
    JDIMENSION keepFrom = 0, keepTo = 0;  // band rows kept
    JDIMENSION offset = 0;            // the picture's iMCU row of band row 0

    static void startPass(j_compress_ptr, J_BUF_MODE) {}
    static boolean compressData(j_compress_ptr cinfo, JSAMPIMAGE input) {
        auto* self = reinterpret_cast<SampleCapture*>(cinfo->coef);
        if (self->seen >= self->keepFrom && self->seen < self->keepTo) {
            for (int ci = 0; ci < self->components; ++ci) {
                Plane& p = self->planes[ci];
                const std::size_t first = std::size_t(self->offset + self->seen) * std::size_t(p.rowsPerIMCURow);
                for (int r = 0; r < p.rowsPerIMCURow; ++r) std::memcpy(p.rows[first + std::size_t(r)], input[ci][r], p.width);
            }
        }
        ++self->seen;
        return TRUE;
    }
    static void install(j_compress_ptr cinfo, void* context) {
        auto* self = static_cast<SampleCapture*>(context);
        self->pub.start_pass = startPass;
        self->pub.compress_data = compressData;
        cinfo->coef = &self->pub;
    }
};

struct ComponentGeometry {
    int plane = 0, mcuWidth = 0, mcuHeight = 0, lastColWidth = 0, lastRowHeight = 0, mcuSampleWidth = 0;
    int vSamp = 0, quantTable = 0, dcTable = 0, acTable = 0;
};

// Sum of an 8x8 block of samples less 64 * 128: the DC term of the DCT.
int dcTerm(JSAMPARRAY rows, int y, int x) {
#if defined(__SSE2__)
    __m128i sum = _mm_setzero_si128();
    for (int r = 0; r < DCTSIZE; r += 2) {
        std::uint64_t a, b;
        std::memcpy(&a, rows[y + r] + x, 8);
        std::memcpy(&b, rows[y + r + 1] + x, 8);
        const __m128i v = _mm_set_epi64x(std::int64_t(b), std::int64_t(a));
        sum = _mm_add_epi64(sum, _mm_sad_epu8(v, _mm_setzero_si128()));
    }
    const int total = _mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_srli_si128(sum, 8));
#else
    int total = 0;
    for (int r = 0; r < DCTSIZE; ++r)
        for (int k = 0; k < DCTSIZE; ++k) total += rows[y + r][x + k];
#endif
    return total - DCTSIZE2 * CENTERJSAMPLE;
}

// The library's DC quantization: to nearest, halves away from zero.
int roundedQuotient(int value, int divisor) {
    const int q = ((value < 0 ? -value : value) + divisor / 2) / divisor;
    return value < 0 ? -q : q;
}

// The least DC difference at steps up to `divisor` (8 * step) whose DC
// terms differ by `termDiff`: |termDiff| / divisor - 1, less a margin for
// the float quantizer's rounding.
int leastDifference(int termDiff, int divisor) {
    const std::int64_t excess = 100 * std::int64_t(termDiff < 0 ? -termDiff : termDiff) - 102 * std::int64_t(divisor);
    return excess <= 0 ? 0 : int((excess + 100 * std::int64_t(divisor) - 1) / (100 * std::int64_t(divisor)));
}

// The qualities from one up to 100 split where a component's DC step
// changes: the first few groups get their exact DC differences, the rest
// the least ones.
struct FloorSteps {
    static constexpr int kExact = 5;
    int exact = 0;                                // groups with exact DC (the first is the quality's own)
    int divisor[kExact][MAX_COMPS_IN_SCAN] = {};  // 8 * DC step, per component of the scan
    int restFrom = 101;                           // first quality of the rest
    int restDivisor[MAX_COMPS_IN_SCAN] = {};      // its 8 * steps, the largest of the rest
};

// What one pass over some stripes (iMCU rows) found.
struct Tally {
    std::uint64_t bits = 0;  // standard codes: exact
    // Standard codes, floors for the qualities from this one up: AC and
    // block ends, and DC per group of qualities.
    std::uint64_t acFloorBits = 0;
    std::uint64_t dcFloorBits[FloorSteps::kExact] = {};
    std::uint64_t dcRestBits = 0;
    Histogram histogram;   // optimized codes
    bool overflow = false;  // a coefficient beyond the code tables: no bound
};

class SizeModel {
public:
    // False when no bound applies or the samples would take too much memory.
    // `inBands` lets libjpeg's pass run in two bands at once.
    bool prepare(const CompressionSettings& settings, const BitmapInfoHeader* info, const std::uint8_t* pixels,
                 bool inBands = true);

    // Lower bounds of sizes in bytes; a count that stopped early (over the
    // limit) has bounds from the stripes it counted, smaller but still sound.
    struct Count {
        bool overflow = false;  // no bound at all
        bool stopped = false;
        std::uint64_t bytes = 0;       // of the size at the quality counted
        std::uint64_t floorBytes = 0;  // with `floor`: of the sizes from that quality to restFrom - 1
        std::uint64_t restBytes = 0;   // and of those from restFrom to 100
        int restFrom = 101;
    };
    // Counts `quality` over `stripes`, stopping as soon as every bound
    // asked for has passed `limit`.
    Count count(int quality, std::span<const int> stripes, std::uint64_t limit, bool floor) const;

    bool optimized() const { return optimized_; }
    std::uint64_t fixedBytes() const { return fixedBytes_; }
    // Stripes spread over the picture, so that any prefix samples all of it.
    const std::vector<int>& order() const { return order_; }

private:
    FloorSteps floorSteps(int quality) const;
    void countStripe(Quantizer& qz, int stripe, const FloorSteps* floor, Tally& t) const;

    CompressionSettings settings_;
    int width_ = 0, height_ = 0;
    bool optimized_ = false;
    std::vector<Plane> planes_;
    int comps_ = 0;
    ComponentGeometry comp_[MAX_COMPS_IN_SCAN];
    std::vector<StandardCosts> costs_;  // per component in the scan
    int mcusPerRow_ = 0, totalIMCURows_ = 0, mcuRowsPerIMCURow_ = 0;
    unsigned restartInterval_ = 0;
    std::uint64_t fixedBytes_ = 0;  // markers and headers
    std::vector<int> order_;
    // DC quantization step of each table at each quality; whether every step
    // falls as the quality rises; whether DC differences at other steps can
    // be worked out exactly from the samples (not with the float DCT).
    int dcStep_[101][NUM_QUANT_TBLS] = {};
    bool stepsFall_ = true;
    bool exactDcTerms_ = false;
};

bool SizeModel::prepare(const CompressionSettings& settings, const BitmapInfoHeader* info,
                        const std::uint8_t* pixels, bool inBands) {
    if (settings.progressive || !info || !pixels) return false;
    settings_ = settings;
    settings_.optimizeHuffman = 0;  // the same samples and blocks, one pass
    settings_.memoryLimitMb = 0;
    optimized_ = settings.optimizeHuffman != 0;
    encodedSize(settings, info->biWidth, info->biHeight, width_, height_);
    if (width_ <= 0 || height_ <= 0 || width_ > int(JPEG_MAX_DIMENSION) || height_ > int(JPEG_MAX_DIMENSION))
        return false;

    // The scan's layout and tables, from a compressor started like the encoder's.
    Quantizer probe;
    if (!probe.start(settings_, width_, height_, 75)) return false;
    const j_compress_ptr cinfo = &probe.comp.cinfo;
    if (cinfo->comps_in_scan != cinfo->num_components || cinfo->num_components > MAX_COMPS_IN_SCAN) return false;
    std::size_t sampleBytes = 0;
    for (int ci = 0; ci < cinfo->num_components; ++ci) {
        const jpeg_component_info& c = cinfo->comp_info[ci];
        sampleBytes += std::size_t(c.width_in_blocks) * DCTSIZE * c.v_samp_factor * DCTSIZE * cinfo->total_iMCU_rows;
    }
    if (sampleBytes > kMaxSampleBytes) return false;
    comps_ = cinfo->comps_in_scan;
    for (int i = 0; i < comps_; ++i) {
        const jpeg_component_info* c = cinfo->cur_comp_info[i];
        comp_[i] = {c->component_index, c->MCU_width,     c->MCU_height, c->last_col_width, c->last_row_height,
                    c->MCU_sample_width, c->v_samp_factor, c->quant_tbl_no, c->dc_tbl_no,     c->ac_tbl_no};
        costs_.emplace_back(cinfo->dc_huff_tbl_ptrs[c->dc_tbl_no], cinfo->ac_huff_tbl_ptrs[c->ac_tbl_no], optimized_);
    }
    mcusPerRow_ = int(cinfo->MCUs_per_row);
    totalIMCURows_ = int(cinfo->total_iMCU_rows);
    mcuRowsPerIMCURow_ = comps_ > 1 ? 1 : cinfo->cur_comp_info[0]->v_samp_factor;
    restartInterval_ = cinfo->restart_interval;

    planes_.resize(std::size_t(cinfo->num_components));
    for (int ci = 0; ci < cinfo->num_components; ++ci) {
        const jpeg_component_info& c = cinfo->comp_info[ci];
        Plane& p = planes_[std::size_t(ci)];
        p.width = std::size_t(c.width_in_blocks) * DCTSIZE;
        p.rowsPerIMCURow = c.v_samp_factor * DCTSIZE;
        const std::size_t rows = std::size_t(p.rowsPerIMCURow) * std::size_t(totalIMCURows_);
        p.samples = allocateSamples(rows * p.width);
        p.rows.resize(rows);
        for (std::size_t r = 0; r < rows; ++r) p.rows[r] = p.samples.get() + r * p.width;
    }

    // Quantization steps at every quality, for the floors.
    JpegCompressor tables;
    j_compress_ptr t = &tables.cinfo;
    if (!tables.created) return false;
    std::uint16_t previous[NUM_QUANT_TBLS][DCTSIZE2]{};
    for (int q = 1; q <= 100; ++q) {
        if (!runJpegPhase(tables.err, [t, this, q] { configureCompressor(t, settings_, q, width_, height_); }))
            return false;
        for (int n = 0; n < NUM_QUANT_TBLS; ++n) {
            const JQUANT_TBL* table = t->quant_tbl_ptrs[n];
            if (!table) continue;
            dcStep_[q][n] = table->quantval[0];
            for (int i = 0; i < DCTSIZE2; ++i) {
                if (q > 1 && table->quantval[i] > previous[n][i]) stepsFall_ = false;
                previous[n][i] = table->quantval[i];
            }
        }
    }

    // The pass through libjpeg's preprocessing, in two bands at once. A band
    // starts on an iMCU row, so its rows are the picture's; smoothing looks
    // one row beyond, so with it each band takes an iMCU row more of the
    // other and drops what it made of it.
    const int iMCUHeight = cinfo->max_v_samp_factor * DCTSIZE;
    const int split = inBands && totalIMCURows_ >= 4 && std::thread::hardware_concurrency() > 1 ? totalIMCURows_ / 2
                                                                                               : totalIMCURows_;
    const int context = settings.smoothingEnabled && split < totalIMCURows_ ? 1 : 0;
    SampleCapture bands[2];
    CompressHook hooks[2];
    std::vector<std::uint8_t> headers[2];
    EncodeStatus status[2] = {EncodeStatus::Ok, EncodeStatus::Ok};
    for (int b = 0; b < 2; ++b) {
        bands[b].planes = planes_.data();
        bands[b].components = cinfo->num_components;
        hooks[b] = {SampleCapture::install, &bands[b], 0, 0};
    }
    bands[0].keepTo = JDIMENSION(split);
    hooks[0].rowCount = std::min(height_, (split + context) * iMCUHeight);
    const int secondFrom = split - context;
    bands[1].offset = JDIMENSION(secondFrom);
    bands[1].keepFrom = JDIMENSION(context);
    bands[1].keepTo = JDIMENSION(totalIMCURows_ - secondFrom);
    hooks[1].firstRow = secondFrom * iMCUHeight;
    auto capture = [&](int b) {
        status[b] = encodeJpegToMemory(settings_, info, pixels, 75, 1 << 20, headers[b], hooks[b]);
    };
    std::thread second;
    if (split < totalIMCURows_) {
        try {
            second = std::thread(capture, 1);
        } catch (const std::system_error&) {
            capture(1);
        }
    }
    capture(0);
    if (second.joinable()) second.join();
    const std::vector<std::uint8_t>& header = headers[0];
    if (status[0] != EncodeStatus::Ok || status[1] != EncodeStatus::Ok || bands[0].seen < JDIMENSION(split) ||
        (split < totalIMCURows_ && bands[1].seen != bands[1].keepTo) || header.size() < 4)
        return false;

    // Headers as written there, less the EOI that follows them at once;
    // optimized tables are written in their own size, counted as none.
    std::uint64_t headerBytes = header.size() - 2;
    if (optimized_) {
        for (std::size_t at = 2; at + 4 <= header.size() - 2;) {
            const std::size_t length = std::size_t(header[at + 2]) << 8 | header[at + 3];
            if (header[at + 1] == 0xC4) headerBytes -= 2 + length;
            at += 2 + length;
        }
    }
    const std::uint64_t mcus = std::uint64_t(mcusPerRow_) * cinfo->MCU_rows_in_scan;
    const std::uint64_t restarts = restartInterval_ ? (mcus + restartInterval_ - 1) / restartInterval_ - 1 : 0;
    fixedBytes_ = headerBytes + 2 + 2 * restarts;

    std::vector<bool> taken(static_cast<std::size_t>(totalIMCURows_));
    for (int step = int(std::bit_floor(unsigned(totalIMCURows_))); step >= 1; step /= 2)
        for (int r = 0; r < totalIMCURows_; r += step)
            if (!taken[std::size_t(r)]) {
                taken[std::size_t(r)] = true;
                order_.push_back(r);
            }

    // The integer DCTs' DC term is the sample sum less 64 * 128 and rounds
    // to nearest; checked on the middle stripe before relying on it.
    exactDcTerms_ = cinfo->dct_method != JDCT_FLOAT;
    const int stripe = totalIMCURows_ / 2;
    alignas(16) JBLOCK block[1];
    for (int ci = 0; exactDcTerms_ && ci < comps_; ++ci) {
        const ComponentGeometry& c = comp_[ci];
        const Plane& plane = planes_[std::size_t(c.plane)];
        JSAMPARRAY rows = const_cast<JSAMPARRAY>(plane.rows.data()) + std::size_t(stripe) * std::size_t(plane.rowsPerIMCURow);
        const int divisor = DCTSIZE * dcStep_[75][c.quantTable];
        for (int x = 0; x + DCTSIZE <= int(plane.width) && exactDcTerms_; x += DCTSIZE) {
            probe.quantize(ci, rows, block, 0, x, 1);
            exactDcTerms_ = block[0][0] == roundedQuotient(dcTerm(rows, 0, x), divisor);
        }
    }
    return true;
}

FloorSteps SizeModel::floorSteps(int quality) const {
    FloorSteps f;
    const int exactGroups = exactDcTerms_ ? FloorSteps::kExact : 1;
    int group[MAX_COMPS_IN_SCAN] = {};
    for (int q = quality; q <= 100; ++q) {
        bool same = q > quality;
        for (int ci = 0; ci < comps_; ++ci) same = same && DCTSIZE * dcStep_[q][comp_[ci].quantTable] == group[ci];
        if (same) continue;
        for (int ci = 0; ci < comps_; ++ci) group[ci] = DCTSIZE * dcStep_[q][comp_[ci].quantTable];
        if (f.exact == exactGroups) {
            std::copy(group, group + comps_, f.restDivisor);
            f.restFrom = q;
            break;
        }
        std::copy(group, group + comps_, f.divisor[f.exact++]);
    }
    return f;
}

SizeModel::Count SizeModel::count(int quality, std::span<const int> stripes, std::uint64_t limit,
                                  bool floor) const {
    Count result;
    floor = floor && stepsFall_;
    const FloorSteps steps = floorSteps(quality);
    if (floor) result.restFrom = steps.restFrom;
    const int lanes = stripes.size() > 1 && std::thread::hardware_concurrency() > 1 ? 2 : 1;
    Quantizer quantizers[2];
    for (int i = 0; i < lanes; ++i)
        if (!quantizers[i].start(settings_, width_, height_, quality)) {
            result.overflow = true;  // leave it to a real encode
            return result;
        }

    // Running totals of every lane, in bits: the exact count (standard
    // codes), the AC floor and the DC floor of each group and of the rest.
    constexpr int kTotals = 3 + FloorSteps::kExact;
    std::atomic<std::uint64_t> totals[kTotals] = {};
    const std::uint64_t budget = limit >= fixedBytes_ ? (limit - fixedBytes_) * 8 : 0;
    auto overBudget = [&](const std::uint64_t* sums) {
        if (limit < fixedBytes_) return true;
        if (!floor) return sums[0] > budget;
        for (int g = 0; g < steps.exact; ++g)
            if (sums[1] + sums[3 + g] <= budget) return false;
        return steps.restFrom > 100 || sums[1] + sums[2] > budget;
    };
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    Histogram histogram;
    Tally tallies[2];

    auto lane = [&](int i) {
        Tally& t = tallies[i];
        Tally counted;  // already in the totals
        for (int stripe = 1; !stop.load(std::memory_order_relaxed); ++stripe) {
            const std::size_t k = next.fetch_add(1);
            if (k >= stripes.size()) break;
            countStripe(quantizers[i], stripes[k], floor ? &steps : nullptr, t);
            if (limit == UINT64_MAX) continue;
            std::uint64_t sums[kTotals];
            auto add = [&](int n, std::uint64_t now, std::uint64_t before) {
                sums[n] = totals[n].fetch_add(now - before) + (now - before);
            };
            add(0, t.bits, counted.bits);
            add(1, t.acFloorBits, counted.acFloorBits);
            add(2, t.dcRestBits, counted.dcRestBits);
            for (int g = 0; g < FloorSteps::kExact; ++g) add(3 + g, t.dcFloorBits[g], counted.dcFloorBits[g]);
            counted.bits = t.bits;
            counted.acFloorBits = t.acFloorBits;
            counted.dcRestBits = t.dcRestBits;
            std::copy(std::begin(t.dcFloorBits), std::end(t.dcFloorBits), counted.dcFloorBits);
            if (optimized_ && !floor && stripe % 8 == 0) {
                const std::lock_guard lock(mutex);
                histogram.add(t.histogram);
                t.histogram = {};
                sums[0] = histogram.bits();
            }
            if ((floor || !optimized_ || stripe % 8 == 0) && overBudget(sums)) stop = true;
        }
        if (optimized_) {
            const std::lock_guard lock(mutex);
            histogram.add(t.histogram);
        }
    };
    std::thread helper;
    if (lanes > 1) {
        try {
            helper = std::thread(lane, 1);
        } catch (const std::system_error&) {
        }
    }
    lane(0);
    if (helper.joinable()) helper.join();

    result.overflow = tallies[0].overflow || tallies[1].overflow;
    result.stopped = stop;
    const std::uint64_t bits = optimized_ ? histogram.bits() : tallies[0].bits + tallies[1].bits;
    auto bytes = [this](std::uint64_t b) { return fixedBytes_ + (b + 7) / 8; };
    result.bytes = bytes(bits);
    if (floor) {
        const std::uint64_t ac = tallies[0].acFloorBits + tallies[1].acFloorBits;
        std::uint64_t least = UINT64_MAX;
        for (int g = 0; g < steps.exact; ++g)
            least = std::min(least, ac + tallies[0].dcFloorBits[g] + tallies[1].dcFloorBits[g]);
        result.floorBytes = bytes(least);
        result.restBytes = bytes(ac + tallies[0].dcRestBits + tallies[1].dcRestBits);
        // A floor never exceeds the count it comes from.
        result.bytes = std::max(result.bytes, result.floorBytes);
    }
    return result;
}

void SizeModel::countStripe(Quantizer& qz, int stripe, const FloorSteps* floor, Tally& t) const {
    alignas(16) JBLOCK blocks[C_MAX_BLOCKS_IN_MCU];
    int terms[C_MAX_BLOCKS_IN_MCU] = {};  // DC terms, for the floors
    // DC predictions: the coded value, and for the floors the DC term and
    // the value at each group's step. A stripe starts without them.
    int pred[MAX_COMPS_IN_SCAN] = {}, predTerm[MAX_COMPS_IN_SCAN] = {};
    int predAt[FloorSteps::kExact][MAX_COMPS_IN_SCAN] = {};
    bool known[MAX_COMPS_IN_SCAN] = {};
    const bool lastRow = stripe == totalIMCURows_ - 1;
    const int mcuRows = comps_ > 1 ? 1 : lastRow ? comp_[0].lastRowHeight : comp_[0].vSamp;
    for (int yOffset = 0; yOffset < mcuRows; ++yOffset) {
        for (int col = 0; col < mcusPerRow_; ++col) {
            const std::uint64_t mcu = (std::uint64_t(stripe) * std::uint64_t(mcuRowsPerIMCURow_) + std::uint64_t(yOffset)) *
                                          std::uint64_t(mcusPerRow_) +
                                      std::uint64_t(col);
            if (restartInterval_ && mcu % restartInterval_ == 0) {
                std::fill(std::begin(pred), std::end(pred), 0);
                std::fill(std::begin(predTerm), std::end(predTerm), 0);
                std::fill(&predAt[0][0], &predAt[0][0] + sizeof predAt / sizeof(int), 0);
                std::fill(std::begin(known), std::end(known), true);
            }
            // The MCU's blocks as libjpeg's coefficient controller forms them.
            int blkn = 0;
            for (int ci = 0; ci < comps_; ++ci) {
                const ComponentGeometry& c = comp_[ci];
                const Plane& plane = planes_[std::size_t(c.plane)];
                JSAMPARRAY rows = const_cast<JSAMPARRAY>(plane.rows.data()) + std::size_t(stripe) * std::size_t(plane.rowsPerIMCURow);
                const int count = col < mcusPerRow_ - 1 ? c.mcuWidth : c.lastColWidth;
                const int x = col * c.mcuSampleWidth;
                const int first = blkn;
                for (int yIndex = 0, y = yOffset * DCTSIZE; yIndex < c.mcuHeight; ++yIndex, y += DCTSIZE) {
                    int real = 0;
                    if (!lastRow || yOffset + yIndex < c.lastRowHeight) {
                        qz.quantize(ci, rows, blocks + blkn, y, x, count);
                        real = count;
                        for (int b = 0; floor && b < count; ++b) terms[blkn + b] = dcTerm(rows, y, x + DCTSIZE * b);
                    }
                    // Padding blocks: no AC, the DC of the block before them.
                    for (int b = real; b < c.mcuWidth; ++b) {
                        const int from = blkn + b - 1;
                        std::memset(blocks[blkn + b], 0, sizeof(JBLOCK));
                        blocks[blkn + b][0] = from >= first ? blocks[from][0] : 0;
                        terms[blkn + b] = from >= first ? terms[from] : 0;
                    }
                    blkn += c.mcuWidth;
                }

                const StandardCosts& costs = costs_[std::size_t(ci)];
                for (int b = first; b < blkn; ++b) {
                    const JCOEF* block = blocks[b];
                    const int diff = block[0] - pred[ci];
                    const int dcCategory = category(diff);
                    if (dcCategory > 11) t.overflow = true;
                    if (optimized_) {
                        if (known[ci]) {
                            ++t.histogram.dc[c.dcTable][std::min(dcCategory, 11)];
                            t.histogram.extraBits += std::uint64_t(dcCategory);
                        }
                    } else {
                        t.bits += known[ci] ? costs.dc[std::min(dcCategory, 11)] : costs.dcAny;
                    }
                    if (floor) {
                        // A padding block has the DC term of the block it copies.
                        for (int g = 0; g < floor->exact; ++g) {
                            const int value = g == 0 ? block[0] : roundedQuotient(terms[b], floor->divisor[g][ci]);
                            t.dcFloorBits[g] +=
                                known[ci] ? costs.dc[std::min(category(value - predAt[g][ci]), 11)] : costs.dcAny;
                            predAt[g][ci] = value;
                        }
                        if (floor->restDivisor[0])
                            t.dcRestBits +=
                                known[ci]
                                    ? costs.dcFloor[std::min(
                                          category(leastDifference(terms[b] - predTerm[ci], floor->restDivisor[ci])), 11)]
                                    : costs.dcAny;
                        predTerm[ci] = terms[b];
                    }
                    pred[ci] = block[0];
                    known[ci] = true;

                    int last = 0;
                    for (std::uint64_t mask = acMask(block); mask; mask &= mask - 1) {
                        const int k = std::countr_zero(mask);
                        int size = category(block[kNatural[k]]);
                        if (size > 10) {
                            t.overflow = true;
                            size = 10;
                        }
                        const int run = k - last - 1;
                        last = k;
                        if (optimized_) {
                            auto& ac = t.histogram.ac[c.acTable];
                            ac[0xF0] += std::uint32_t(run / 16);
                            ++ac[(run % 16) << 4 | size];
                            t.histogram.extraBits += std::uint64_t(size);
                        } else {
                            t.bits += costs.ac[run][size];
                        }
                        if (floor) t.acFloorBits += costs.acFloor[run][size];
                    }
                    if (optimized_) {
                        if (last < 63) ++t.histogram.ac[c.acTable][0x00];
                    } else if (last < 63) {
                        t.bits += costs.eob;
                    }
                    if (floor) t.acFloorBits += costs.tail[63 - last];
                }
            }
        }
    }
}

// Encodes from 100 down until a quality fits: for settings without bounds.
// Qualities go in pairs on two threads (each encode owns its libjpeg
// object), and the higher fitting one of a pair wins. Misses stop as soon as
// they outgrow the limit. libjpeg failing at one quality fails at all.
FoundQuality searchByEncoding(const CompressionSettings& settings, const BitmapInfoHeader* info,
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
            if (status[k] == EncodeStatus::Ok) out.swap(buffers[k]);
            return {status[k] == EncodeStatus::Ok ? top - k : 0, status[k]};
        }
    }
    return {};
}

// The search over a prepared model: a guess from a sample of the stripes;
// floors from above the guess that rule out every quality above them,
// counted while the guess is encoded; then from the top down a bound per
// quality and a real encode where no bound rules it out.
FoundQuality searchModel(const SizeModel& model, const CompressionSettings& settings, const BitmapInfoHeader* info,
                         const std::uint8_t* pixels, std::uint64_t limit, std::vector<std::uint8_t>& out) {
    const std::span<const int> all(model.order());
    const std::size_t sampled = std::min(all.size(), std::max<std::size_t>(16, all.size() / 16));
    const double scale = double(all.size()) / double(sampled);
    auto guessFits = [&](int q) {
        const SizeModel::Count c = model.count(q, all.first(sampled), UINT64_MAX, false);
        return !c.overflow && double(model.fixedBytes()) + double(c.bytes - model.fixedBytes()) * scale <= double(limit);
    };
    int guess = 1;  // sizes mostly grow with the quality
    for (int hi = 100; guess < hi;) {
        const int mid = (guess + hi + 1) / 2;
        if (guessFits(mid))
            guess = mid;
        else
            hi = mid - 1;
    }

    std::vector<std::uint8_t> guessed;
    EncodeStatus guessStatus = EncodeStatus::Failed;
    struct Joined {
        std::thread thread;
        ~Joined() {
            if (thread.joinable()) thread.join();
        }
    } encoder;
    auto encodeGuess = [&] { guessStatus = encodeJpegToMemory(settings, info, pixels, guess, limit, guessed); };
    try {
        encoder.thread = std::thread(encodeGuess);
    } catch (const std::system_error&) {
        encodeGuess();
    }
    // Floors from just above the guess. Those of optimized codes fall well
    // short of the sizes, so the sample says where one would first rule out
    // the rest; the qualities below it get bounds of their own.
    int from = guess + 1;
    if (model.optimized() && from <= 100) {
        auto floorPasses = [&](int q) {
            const SizeModel::Count c = model.count(q, all.first(sampled), UINT64_MAX, true);
            const std::uint64_t least = c.restFrom <= 100 ? std::min(c.floorBytes, c.restBytes) : c.floorBytes;
            return !c.overflow && double(model.fixedBytes()) + double(least - model.fixedBytes()) * scale > double(limit);
        };
        for (int hi = 101; from < hi;) {
            const int mid = (from + hi) / 2;
            if (floorPasses(mid))
                hi = mid;
            else
                from = mid + 1;
        }
    }
    std::int8_t ruledOut[102] = {};  // 1 by a bound, -1 not by its own bound
    for (int q = from, step = 1; q <= 100;) {
        const SizeModel::Count c = model.count(q, all, limit, true);
        if (c.overflow) break;
        ruledOut[q] = c.bytes > limit ? 1 : -1;
        if (c.floorBytes > limit) {
            std::fill(ruledOut + q, ruledOut + c.restFrom, 1);
            if (c.restFrom > 100) break;
            if (c.restBytes > limit) {
                std::fill(ruledOut + c.restFrom, ruledOut + 101, 1);
                break;
            }
            q = c.restFrom;
        } else {
            q += step;
            step *= 2;
        }
    }
    if (encoder.thread.joinable()) encoder.thread.join();

    for (int q = 100; q >= 1; --q) {
        if (ruledOut[q] == 1) continue;
        EncodeStatus status;
        if (q == guess) {
            status = guessStatus;
            out.swap(guessed);
        } else {
            if (ruledOut[q] == 0) {
                const SizeModel::Count c = model.count(q, all, limit, false);
                if (!c.overflow && c.bytes > limit) continue;
            }
            status = encodeJpegToMemory(settings, info, pixels, q, limit, out);
        }
        if (status != EncodeStatus::TooLarge) return {status == EncodeStatus::Ok ? q : 0, status};
    }
    return {};
}

}  // namespace

FoundQuality searchQuality(const CompressionSettings& settings, const BitmapInfoHeader* info,
                           const std::uint8_t* pixels, std::uint64_t limit, std::vector<std::uint8_t>& out) {
    std::optional<SizeModel> model;
    try {
        model.emplace();
        if (!model->prepare(settings, info, pixels)) model.reset();
    } catch (const std::bad_alloc&) {
        model.reset();
    }
    if (!model) return searchByEncoding(settings, info, pixels, limit, out);
    return searchModel(*model, settings, info, pixels, limit, out);
}

std::vector<SizeBounds> sizeLowerBounds(const CompressionSettings& settings, const BitmapInfoHeader* info,
                                        const std::uint8_t* pixels, bool inBands) {
    SizeModel model;
    if (!model.prepare(settings, info, pixels, inBands)) return {};
    std::vector<SizeBounds> bounds(100);
    for (int q = 1; q <= 100; ++q) {
        const SizeModel::Count c = model.count(q, model.order(), UINT64_MAX, true);
        if (c.overflow) continue;
        bounds[std::size_t(q - 1)] = {c.bytes, c.restFrom <= 100 ? std::min(c.floorBytes, c.restBytes) : c.floorBytes};
    }
    return bounds;
}

}  // namespace quill
