// Edits of encoded JPEG streams for header tests: the encoder cannot write
// 12-bit frames, SOF1, missing tables or odd segment placements, so tests
// make a normal file and patch its header bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "tests/support/test_files.h"

namespace quill::test {

// Offset of the 0xFF of the first marker `code` before the first SOS
// (SOS itself included), or npos.
std::size_t findMarker(const Bytes& jpeg, int code);

// The first SOFn marker's offset, or npos.
std::size_t findFrame(const Bytes& jpeg);

// Changes the frame marker (SOF0 -> SOF1, ...) or its sample precision.
Bytes withFrameType(Bytes jpeg, int code);
Bytes withPrecision(Bytes jpeg, int precision);

// Overwrites the 64 values of 8-bit quantization table `slot` (zigzag order).
Bytes withQuantTable(Bytes jpeg, int slot, const std::array<std::uint8_t, 64>& zigzag);

// Renumbers table slot `from` to `to` in DQT and in the frame's components.
Bytes withTableRenumbered(Bytes jpeg, int from, int to);

// Offset of the 0xFF of SOS number `scan` (0: the first), found through the
// segments and entropy-coded data of the whole stream; npos when absent.
std::size_t findScan(const Bytes& jpeg, int scan);

// Inserts raw bytes (a segment, or stray bytes) just before SOS number `scan`.
Bytes withBytesBeforeScan(Bytes jpeg, int scan, const Bytes& raw);

// Removes SOS number `scan` with its entropy-coded data.
Bytes withoutScan(Bytes jpeg, int scan);

// Inserts a segment just before the final EOI (after the last scan).
Bytes withSegmentAtEnd(Bytes jpeg, int marker, const Bytes& payload);

// Inserts raw bytes right after SOI.
Bytes withBytesAfterSoi(Bytes jpeg, const Bytes& raw);

// Keeps the bytes before the first SOS and appends EOI.
Bytes tablesOnly(const Bytes& jpeg);

// A progressive gray frame claiming side x side pixels with `scans` empty
// scan headers: a few bytes a scan, yet a decoder visits every block of the
// frame for each.
Bytes emptyScans(int side, int scans);

// One marker segment: FF code, length, payload.
Bytes segment(int marker, const Bytes& payload);

}  // namespace quill::test
