// The settings that survive a restart (AppSettings) and the main window's
// placement record, kept in status.ini, section "setting", keys "01" to "55"
// and our own options from "61" on.
// Shared by the window and the CLI; no Qt here (the placement record meets
// the window in app/window_placement.h). Writing happens once, when the main
// window goes away.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "imaging/compression_settings.h"

namespace quill {

namespace fs = std::filesystem;

// Eight 16-bit fields in the order of the 16-byte record on disk; local time.
struct SystemTime {
    std::uint16_t year = 2000;
    std::uint16_t month = 1;
    std::uint16_t dayOfWeek = 0;  // 0 = Sunday
    std::uint16_t day = 1;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;

    bool operator==(const SystemTime&) const = default;
};

// Columns of the file list whose widths are kept.
inline constexpr int kSavedColumns = 33;

struct AppSettings {
    CompressionSettings compression;  // "11"
    std::int32_t overwrite = 0;         // "21", toggled by 57696
    std::int32_t forceProgressive = 0;  // "22", toggled by 57697
    std::int32_t useViewer = 0;         // "31"
    std::string viewerPath;             // "32", UTF-8
    std::int32_t applyTimestamp = 0;    // "33"
    SystemTime timestamp;               // "34"
    std::int32_t forceRegularSize = 0;  // "41"
    std::int32_t previewAsStored = 0;   // "51": 1 shows previews without turning them by Exif
    // The window as the user left it; 0 means "not set": the computed
    // layout and the sort by name.
    std::int32_t splitterPos = 0;                         // "52"
    std::array<std::int32_t, kSavedColumns> columnWidths{};  // "53", 33 32-bit widths
    std::int32_t sortColumn = 0;                          // "54"
    std::int32_t sortDescending = 0;                      // "55"
    // Options of our own, all off by default.
    std::int32_t keepIcc = 0;           // "61": clean keeps the ICC_PROFILE segments
    std::int32_t keepTime = 0;          // "62": outputs get the source's modification time
    std::int32_t resetOrientation = 0;  // "63": transforms set Orientation 1, turn the thumbnail
    std::int32_t useTrash = 0;          // "64": delete moves files to the trash
    std::int32_t batchWorkers = 0;      // "71": files a batch works on at once; 0: one per core

    bool operator==(const AppSettings&) const = default;
};

// Show commands and flags of the 44-byte placement record ("01").
inline constexpr std::uint32_t kShowNormal = 1;
inline constexpr std::uint32_t kShowMinimized = 2;
inline constexpr std::uint32_t kShowMaximized = 3;
inline constexpr std::uint32_t kRestoreToMaximized = 2;  // flag: minimised from maximised
inline constexpr std::uint32_t kPlacementLength = 44;

// Eleven 32-bit fields in the order on disk. The normal rectangle is the
// window's restored geometry with right and bottom exclusive.
struct WindowPlacement {
    std::uint32_t length = 0;  // 44 once read or taken from a window; 0: none
    std::uint32_t flags = 0;
    std::uint32_t showCmd = 0;
    std::int32_t minX = -1, minY = -1;
    std::int32_t maxX = -1, maxY = -1;
    std::int32_t normalLeft = 0, normalTop = 0, normalRight = 0, normalBottom = 0;

    bool valid() const { return length == kPlacementLength; }
    bool operator==(const WindowPlacement&) const = default;
};

// status.ini beside the executable when that folder is writable or already
// holds one, else <config folder>/quillmark/status.ini. An executable in a
// system program folder (/usr/bin, ...) always uses the config folder.
fs::path settingsFilePath();
// The same rule for given folders (testable).
fs::path settingsFilePathFor(const fs::path& executableDir, const fs::path& configDir);
bool isSystemProgramFolder(const fs::path& dir);

// Fills both records; every key that is missing or fails its check keeps its
// default (placement.length 0 when "01" is unusable). True when the file was read.
bool loadSettings(const fs::path& file, AppSettings& settings, WindowPlacement& placement);
// The compression block ("11") alone, for a tool that needs nothing else:
// out is set only when the file was read and the block passed its check.
enum class SettingsRead { Read, Unreadable, NoCompressionBlock };
SettingsRead loadCompressionSettings(const fs::path& file, CompressionSettings& out);

// Writes all keys in order, keeping other sections and unknown keys of the
// file. A placement that is not valid() leaves key "01" out.
bool saveSettings(const fs::path& file, const AppSettings& settings, const WindowPlacement& placement);

}  // namespace quill
