#include "settings/app_settings.h"

#include <cstdio>
#include <cstdlib>
#include <span>

#include "platform/process_paths.h"
#include "settings/ini_file.h"

namespace quill {

namespace {

constexpr const char* kSection = "setting";
constexpr std::size_t kTimeBytes = 16;

void putLe(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t getLe(const std::uint8_t* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint32_t(p[i]) << (8 * i);
    return v;
}

std::array<std::uint8_t, kTimeBytes> packTime(const SystemTime& t) {
    std::array<std::uint8_t, kTimeBytes> b{};
    const std::uint16_t fields[8] = {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
    for (int i = 0; i < 8; ++i) putLe(b.data() + 2 * i, fields[i], 2);
    return b;
}

SystemTime unpackTime(const std::uint8_t* b) {
    auto f = [&](int i) { return std::uint16_t(getLe(b + 2 * i, 2)); };
    return SystemTime{f(0), f(1), f(2), f(3), f(4), f(5), f(6), f(7)};
}

std::array<std::uint8_t, kPlacementLength> packPlacement(const WindowPlacement& p) {
    std::array<std::uint8_t, kPlacementLength> b{};
    const std::uint32_t fields[11] = {p.length,
                                      p.flags,
                                      p.showCmd,
                                      std::uint32_t(p.minX),
                                      std::uint32_t(p.minY),
                                      std::uint32_t(p.maxX),
                                      std::uint32_t(p.maxY),
                                      std::uint32_t(p.normalLeft),
                                      std::uint32_t(p.normalTop),
                                      std::uint32_t(p.normalRight),
                                      std::uint32_t(p.normalBottom)};
    for (int i = 0; i < 11; ++i) putLe(b.data() + 4 * i, fields[i], 4);
    return b;
}

WindowPlacement unpackPlacement(const std::uint8_t* b) {
    auto f = [&](int i) { return getLe(b + 4 * i, 4); };
    auto s = [&](int i) { return std::int32_t(f(i)); };
    return WindowPlacement{f(0), f(1), f(2), s(3), s(4), s(5), s(6), s(7), s(8), s(9), s(10)};
}

bool readCompression(const IniFile& ini, CompressionSettings& out) {
    CompressionBlock block{};
    const std::optional<std::string> v = ini.value(kSection, "11");
    if (!v || !decodeStruct(*v, block.data(), block.size())) return false;
    out = unpackCompressionSettings(block);
    return true;
}

std::string decimal(std::int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", int(v));
    return buf;
}

}  // namespace

bool isSystemProgramFolder(const fs::path& dir) {
    // A packaged copy is shared by every user, and root can write there: its
    // settings still belong to the user who runs it.
    static const char* const kFolders[] = {"/usr/bin", "/usr/local/bin", "/bin", "/usr/sbin",
                                           "/usr/local/sbin", "/sbin", "/usr/games"};
    const fs::path normal = dir.lexically_normal();
    for (const char* f : kFolders)
        if (normal == fs::path(f) || normal == fs::path(f) / "") return true;
    return false;
}

fs::path settingsFilePathFor(const fs::path& executableDir, const fs::path& configDir) {
    if (!executableDir.empty() && !isSystemProgramFolder(executableDir)) {
        fs::path beside = executableDir / "status.ini";
        std::error_code ec;
        if (fs::exists(beside, ec) || canCreateFilesIn(executableDir)) return beside;
    }
    return configDir / "quillmark" / "status.ini";
}

fs::path settingsFilePath() {
    fs::path exe = executablePath();
    return settingsFilePathFor(exe.empty() ? fs::path() : exe.parent_path(), userConfigDir());
}

bool loadSettings(const fs::path& file, AppSettings& settings, WindowPlacement& placement) {
    settings = AppSettings{};
    placement = WindowPlacement{};
    std::optional<IniFile> ini = IniFile::load(file);
    if (!ini) return false;

    auto structValue = [&](const char* key, std::uint8_t* out, std::size_t size) {
        std::optional<std::string> v = ini->value(kSection, key);
        return v && decodeStruct(*v, out, size);
    };
    auto intValue = [&](const char* key) {
        std::optional<std::string> v = ini->value(kSection, key);
        return v ? parseProfileInt(*v) : 0;
    };

    std::array<std::uint8_t, kPlacementLength> place{};
    if (structValue("01", place.data(), place.size())) placement = unpackPlacement(place.data());

    readCompression(*ini, settings.compression);

    settings.overwrite = intValue("21");
    settings.forceProgressive = intValue("22");
    settings.useViewer = intValue("31");
    settings.viewerPath = ini->value(kSection, "32").value_or(std::string());
    settings.applyTimestamp = intValue("33");

    std::array<std::uint8_t, kTimeBytes> time{};
    if (structValue("34", time.data(), time.size())) settings.timestamp = unpackTime(time.data());

    settings.forceRegularSize = intValue("41");
    settings.previewAsStored = intValue("51");
    settings.splitterPos = intValue("52");
    std::array<std::uint8_t, 4 * kSavedColumns> widths{};
    if (structValue("53", widths.data(), widths.size()))
        for (int c = 0; c < kSavedColumns; ++c) settings.columnWidths[c] = std::int32_t(getLe(widths.data() + 4 * c, 4));
    settings.sortColumn = intValue("54");
    settings.sortDescending = intValue("55");
    settings.keepIcc = intValue("61");
    settings.keepTime = intValue("62");
    settings.resetOrientation = intValue("63");
    settings.useTrash = intValue("64");
    settings.batchWorkers = intValue("71");
    return true;
}

SettingsRead loadCompressionSettings(const fs::path& file, CompressionSettings& out) {
    const std::optional<IniFile> ini = IniFile::load(file);
    if (!ini) return SettingsRead::Unreadable;
    return readCompression(*ini, out) ? SettingsRead::Read : SettingsRead::NoCompressionBlock;
}

bool saveSettings(const fs::path& file, const AppSettings& settings, const WindowPlacement& placement) {
    IniFile ini = IniFile::load(file).value_or(IniFile{});
    IniSection& section = ini.section(kSection);
    std::vector<IniEntry> others;
    static const char* const kKeys[] = {"01", "11", "21", "22", "31", "32", "33", "34", "41",
                                        "51", "52", "53", "54", "55", "61", "62", "63", "64",
                                        "71"};
    for (IniEntry& e : section.entries) {
        bool ours = false;
        for (const char* k : kKeys) ours = ours || equalsIgnoreCase(e.key, k);
        if (!ours) others.push_back(std::move(e));
    }
    section.entries.clear();
    auto put = [&](const char* key, std::string value) { section.entries.push_back(IniEntry{key, std::move(value)}); };

    if (placement.valid()) {
        auto b = packPlacement(placement);
        put("01", encodeStruct(b.data(), b.size()));
    }
    CompressionBlock block = packCompressionSettings(settings.compression);
    put("11", encodeStruct(block.data(), block.size()));
    put("21", decimal(settings.overwrite));
    put("22", decimal(settings.forceProgressive));
    put("31", decimal(settings.useViewer));
    // A path with a line break cannot be stored; writing it would forge keys.
    put("32", quoteValue(settings.viewerPath).value_or(std::string()));
    put("33", decimal(settings.applyTimestamp));
    auto t = packTime(settings.timestamp);
    put("34", encodeStruct(t.data(), t.size()));
    put("41", decimal(settings.forceRegularSize));
    put("51", decimal(settings.previewAsStored));
    put("52", decimal(settings.splitterPos));
    std::array<std::uint8_t, 4 * kSavedColumns> widths{};
    for (int c = 0; c < kSavedColumns; ++c) putLe(widths.data() + 4 * c, std::uint32_t(settings.columnWidths[c]), 4);
    put("53", encodeStruct(widths.data(), widths.size()));
    put("54", decimal(settings.sortColumn));
    put("55", decimal(settings.sortDescending));
    put("61", decimal(settings.keepIcc));
    put("62", decimal(settings.keepTime));
    put("63", decimal(settings.resetOrientation));
    put("64", decimal(settings.useTrash));
    put("71", decimal(settings.batchWorkers));
    for (IniEntry& e : others) section.entries.push_back(std::move(e));
    return ini.save(file);
}

}  // namespace quill
