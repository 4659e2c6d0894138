// Test inputs made in the tests: JPEGs encoded with libjpeg, temporary
// folders, and small file helpers. Shared by every core and GUI test.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quill::test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

enum class Space { Gray, RGB, YCbCr, CMYK, YCCK };

struct Segment {
    int marker;  // 0xE0..0xEF or 0xFE
    Bytes data;
};

// One scan of a script: component indices, spectral band, approximation bits.
struct ScanStep {
    std::vector<int> components;
    int ss = 0, se = 63, ah = 0, al = 0;
};

struct JpegSpec {
    int width = 64;
    int height = 48;
    Space input = Space::RGB;      // components of the pixel data given
    Space stored = Space::YCbCr;   // colour space written to the file
    int h0 = 2, v0 = 2;            // sampling factors of component 0
    int quality = 75;
    // Natural-order tables for slots 0, 1, ... in place of the quality's.
    std::vector<std::array<std::uint16_t, 64>> quantTables;
    bool forceBaseline = true;
    bool progressive = false;
    std::vector<ScanStep> scans;   // a script in place of libjpeg's own
    bool arithmetic = false;
    bool optimize = false;
    bool writeJfif = true;
    bool writeAdobe = false;       // only meaningful for RGB/CMYK/YCCK
    int densityUnit = 0;
    int xDensity = 1, yDensity = 1;
    int restartInterval = 0;
    std::vector<Segment> segments;  // written right after the JFIF/Adobe header
    // Pixel generator: value of component c at (x, y); default is a smooth
    // pattern with edges so transforms are visible.
    std::function<std::uint8_t(int x, int y, int c)> pixel;
};

// An Exif APP1 segment whose IFD0 holds only the Orientation tag.
Segment exifOrientationSegment(int orientation, bool bigEndian = false);

// Encodes a JPEG in memory; aborts the test on a libjpeg error.
Bytes makeJpeg(const JpegSpec& spec);

// Writes bytes to path as a new file (creating folders), returns path.
fs::path writeBytes(const fs::path& path, const Bytes& data);
Bytes readBytes(const fs::path& path);
// The names of the entries of folder `dir`, sorted.
std::vector<std::string> namesIn(const fs::path& dir);

// Decodes a JPEG to interleaved 8-bit samples in its natural output space
// (gray, RGB or CMYK); empty on failure.
struct Decoded {
    int width = 0, height = 0, components = 0;
    Bytes pixels;
};
Decoded decodeJpeg(const Bytes& data);

// A temporary folder removed with its contents at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// A file named as the test chooses whose bytes live in memory: a symlink in
// a temporary folder to a memfd. For loops over many inputs, which would
// otherwise wait on the disk of a busy machine.
class MemoryFile {
public:
    explicit MemoryFile(const std::string& name);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    // Replaces the content; returns the file's path.
    const fs::path& write(const Bytes& data);
    const fs::path& path() const { return path_; }

private:
    TempDir dir_;
    int fd_;
    fs::path path_;
};

// Runs a command line through the shell; returns its exit status.
int runCommand(const std::string& command);

// Runs a command line through the shell in folder `dir`, as a user would in a
// terminal: its exit status and what it wrote to stdout and stderr.
struct CommandResult {
    int status = -1;
    std::string out, err;
};
CommandResult runIn(const fs::path& dir, const std::string& command);

// True when an oracle program (jpegtran, djpeg, cjpeg) is on PATH.
bool haveTool(const std::string& name);

}  // namespace quill::test
