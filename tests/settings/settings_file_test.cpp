// status.ini: exact text written, defaults for whatever cannot be read,
// UTF-16 files, the location rule, and the single-instance lock.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "settings/app_settings.h"
#include "settings/ini_file.h"
#include "platform/process_paths.h"
#include "platform/single_instance.h"
#include "tests/support/test_files.h"

namespace quill {
namespace {

using test::Bytes;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string textOf(const fs::path& p) {
    Bytes b = readBytes(p);
    return std::string(b.begin(), b.end());
}

// The settings read from `file`, which must be readable; its placement into `placement`.
AppSettings loaded(const fs::path& file, WindowPlacement* placement = nullptr) {
    AppSettings s;
    WindowPlacement p;
    EXPECT_TRUE(loadSettings(file, s, p)) << file;
    if (placement) *placement = p;
    return s;
}

// Hex blocks worked out by hand from the field tables (little-endian, then the
// low byte of the sum).
const std::string kPlacementMaximised =
    "2C0000000000000003000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF6400000032000000840300008A020000C8";
const std::string kDefaultCompression =
    "0000000000000000010A0000000000010001005500000000000000000000000302000000000000000000000000000000"
    "000000000000000000000000000000C800C800000000000000000020A10700BF";
const std::string kCustomCompression =
    "0100000001000000010201000000012C012D013C000000010000000000000004000202070000000800000001000000"
    "320000000200000040000000010000008002E001010000000100000040E20100B4";
const std::string kTimestamp20210304 = "E507030004000400050006000700590062";
const std::string kDefaultTimestamp = "D0070100000001000000000000000000D9";

AppSettings customSettings() {
    AppSettings s;
    CompressionSettings& c = s.compression;
    c.jfifMarker = 1, c.jfifVersionEnabled = 1, c.jfifMajor = 1, c.jfifMinor = 2;
    c.densityEnabled = 1, c.densityUnit = 1, c.xDensity = 300, c.yDensity = 301;
    c.quality = 60, c.progressive = 1, c.optimizeHuffman = 0, c.scaleIndex = 4;
    c.colorSpace = 0, c.sampling = 2, c.restartMode = 2, c.restartRows = 7, c.restartInterval = 8;
    c.smoothingEnabled = 1, c.smoothing = 50, c.dctMethod = 2, c.memoryLimitMb = 64;
    c.lanczosEnabled = 1, c.lanczosWidth = 640, c.lanczosHeight = 480, c.keepRatio = 1;
    c.sizeLimitEnabled = 1, c.sizeLimit = 123456;
    s.overwrite = 1;
    s.forceProgressive = 0;
    s.useViewer = 1;
    s.viewerPath = "/opt/写真 viewer/view";
    s.applyTimestamp = 1;
    s.timestamp = SystemTime{2021, 3, 4, 4, 5, 6, 7, 89};
    s.forceRegularSize = 1;
    s.previewAsStored = 1;
    s.splitterPos = 333;
    s.columnWidths[0] = 300;
    s.columnWidths[32] = 60;
    s.sortColumn = 3;
    s.sortDescending = 1;
    s.keepIcc = 1;
    s.resetOrientation = 1;
    s.useTrash = 1;
    s.batchWorkers = 3;
    return s;
}

// 33 little-endian widths and the checksum: 300 first, 60 last, zeros between.
const std::string kCustomWidths = "2C010000" + std::string(31 * 8, '0') + "3C000000" + "69";
const std::string kNoWidths(133 * 2, '0');

// Our keys as the defaults write them, with the viewer path's value as given.
std::string defaultKeys(const std::string& viewerPath = "") {
    return "[setting]\n11=" + kDefaultCompression + "\n21=0\n22=0\n31=0\n32=" + viewerPath +
           "\n33=0\n34=" + kDefaultTimestamp + "\n41=0\n51=0\n52=0\n53=" + kNoWidths +
           "\n54=0\n55=0\n61=0\n62=0\n63=0\n64=0\n71=0\n";
}

WindowPlacement maximisedPlacement() {
    WindowPlacement p;
    p.length = 44;
    p.showCmd = kShowMaximized;
    p.normalLeft = 100, p.normalTop = 50, p.normalRight = 900, p.normalBottom = 650;
    return p;
}

std::string expectedCustomFile() {
    return "[setting]\n"
           "01=" + kPlacementMaximised + "\n"
           "11=" + kCustomCompression + "\n"
           "21=1\n"
           "22=0\n"
           "31=1\n"
           "32=/opt/写真 viewer/view\n"
           "33=1\n"
           "34=" + kTimestamp20210304 + "\n"
           "41=1\n"
           "51=1\n52=333\n"
           "53=" + kCustomWidths + "\n"
           "54=3\n55=1\n"
           "61=1\n62=0\n63=1\n64=1\n"
           "71=3\n";
}

// Written into a config folder that does not exist yet, replaced atomically
// (nothing else left beside it), and read back whole.
TEST(SettingsFile, WritesEveryKeyInOrderExactlyAndReadsItBack) {
    TempDir dir;
    const fs::path file = dir / "config" / "quillmark" / "status.ini";
    ASSERT_TRUE(saveSettings(file, customSettings(), maximisedPlacement()));
    EXPECT_EQ(textOf(file), expectedCustomFile());
    AppSettings s;
    WindowPlacement p;
    ASSERT_TRUE(loadSettings(file, s, p));
    EXPECT_EQ(s, customSettings());
    EXPECT_EQ(p, maximisedPlacement());

    ASSERT_TRUE(saveSettings(file, AppSettings{}, WindowPlacement{}));
    EXPECT_EQ(textOf(file), defaultKeys());
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(file.parent_path())) ++entries;
    EXPECT_EQ(entries, 1);

    // A missing file gives the defaults and no placement.
    EXPECT_FALSE(loadSettings(dir / "none.ini", s, p));
    EXPECT_EQ(s, AppSettings{});
    EXPECT_FALSE(p.valid());
}

TEST(SettingsFile, DamagedStructKeysFallBackAloneWhileOthersAreRead) {
    TempDir dir;
    std::string text = expectedCustomFile();
    // One hex digit of "11" changed: the checksum no longer matches.
    std::size_t at = text.find("11=") + 3 + 10;
    text[at] = text[at] == '0' ? '1' : '0';
    // "34" one byte short, "01" with a character that is no hex digit.
    std::size_t ts = text.find(kTimestamp20210304);
    text.replace(ts, kTimestamp20210304.size(), kTimestamp20210304.substr(2));
    std::size_t pl = text.find("01=") + 3;
    text[pl] = 'G';
    WindowPlacement p;
    const AppSettings s = loaded(writeBytes(dir / "status.ini", bytesOf(text)), &p);
    EXPECT_EQ(s.compression, CompressionSettings{});
    EXPECT_EQ(s.timestamp, SystemTime{});
    EXPECT_FALSE(p.valid());
    AppSettings expected = customSettings();
    expected.compression = CompressionSettings{};
    expected.timestamp = SystemTime{};
    EXPECT_EQ(s, expected);
}

TEST(SettingsFile, ReadsLikeThePlatformProfileReader) {
    TempDir dir;
    // Case-insensitive names, blanks around names and values, CRLF, comments,
    // the first of two equal keys, lower-case hex, numbers with trailing text.
    std::string text =
        "; written by hand\r\n"
        "[other]\r\n21=7\r\n"
        "[ SETTING ]\r\n"
        "  21 = 1 \r\n"
        "22=12abc\r\n"
        "22=0\r\n"
        "31=-1\r\n"
        "32 = \"  quoted path  \"\r\n"
        "34=" + std::string("e507030004000400050006000700590062") + "\r\n"
        "41=\r\n";
    const AppSettings s = loaded(writeBytes(dir / "status.ini", bytesOf(text)));
    EXPECT_EQ(s.overwrite, 1);
    EXPECT_EQ(s.forceProgressive, 12);
    EXPECT_EQ(s.useViewer, 0);
    EXPECT_EQ(s.viewerPath, "  quoted path  ");
    EXPECT_EQ(s.timestamp, (SystemTime{2021, 3, 4, 4, 5, 6, 7, 89}));
    EXPECT_EQ(s.forceRegularSize, 0);
    EXPECT_EQ(s.applyTimestamp, 0);
}

Bytes utf16(const std::u16string& text, bool bigEndian) {
    Bytes b = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
    for (char16_t c : text) {
        std::uint8_t hi = std::uint8_t(c >> 8), lo = std::uint8_t(c & 0xFF);
        b.push_back(bigEndian ? hi : lo);
        b.push_back(bigEndian ? lo : hi);
    }
    return b;
}

TEST(SettingsFile, ReadsUtf16AndUtf8WithByteOrderMarks) {
    TempDir dir;
    // U+1F4F7 (a camera) needs a surrogate pair.
    std::u16string text = u"[setting]\r\n21=1\r\n32=/home/ユーザー/\U0001F4F7 view\r\n34=E507030004000400050006000700590062\r\n";
    for (bool bigEndian : {false, true}) {
        const AppSettings s = loaded(writeBytes(dir / "status.ini", utf16(text, bigEndian)));
        EXPECT_EQ(s.overwrite, 1);
        EXPECT_EQ(s.viewerPath, "/home/ユーザー/\U0001F4F7 view");
        EXPECT_EQ(s.timestamp.year, 2021);
    }
    Bytes withBom{0xEF, 0xBB, 0xBF};
    Bytes body = bytesOf("[setting]\n22=1\n");
    withBom.insert(withBom.end(), body.begin(), body.end());
    EXPECT_EQ(loaded(writeBytes(dir / "status.ini", withBom)).forceProgressive, 1);

    // A lone surrogate and an odd trailing byte do not break the rest.
    Bytes broken = utf16(u"[setting]\n32=a\xD800z\n21=1\n", false);
    broken.push_back(0x41);
    const AppSettings s = loaded(writeBytes(dir / "status.ini", broken));
    EXPECT_EQ(s.viewerPath, "a\xEF\xBF\xBDz");
    EXPECT_EQ(s.overwrite, 1);
}

TEST(SettingsFile, SavingKeepsForeignContentAndOrdersOurKeys) {
    TempDir dir;
    fs::path file = writeBytes(dir / "status.ini", bytesOf("[setting]\n41=1\nextra=keep me\n21=1\n[other]\nx=y\n"));
    AppSettings s;
    s.viewerPath = " padded ";
    ASSERT_TRUE(saveSettings(file, s, WindowPlacement{}));
    EXPECT_EQ(textOf(file), defaultKeys("\" padded \"") + "extra=keep me\n[other]\nx=y\n");
    EXPECT_EQ(loaded(file).viewerPath, " padded ");
}

TEST(SettingsFile, PathWithLineBreakCannotForgeKeys) {
    TempDir dir;
    fs::path file = dir / "status.ini";
    AppSettings s;
    s.viewerPath = "/x\n[setting]\n41=5\r\n21=9";
    ASSERT_TRUE(saveSettings(file, s, WindowPlacement{}));
    const AppSettings back = loaded(file);
    EXPECT_EQ(back.viewerPath, "");
    EXPECT_EQ(back.forceRegularSize, 0);
    EXPECT_EQ(back.overwrite, 0);
}

TEST(SettingsFile, HostileFilesGiveDefaults) {
    TempDir dir;
    AppSettings s;
    WindowPlacement p;
    // Larger than any settings file: not read at all.
    std::string big = "[setting]\n21=1\n" + std::string(IniFile::kMaxFileBytes, ';');
    EXPECT_FALSE(loadSettings(writeBytes(dir / "big.ini", bytesOf(big)), s, p));
    EXPECT_EQ(s, AppSettings{});
    // Binary noise, an unterminated section, a struct value far too long.
    Bytes noise;
    for (int i = 0; i < 5000; ++i) noise.push_back(std::uint8_t(i * 131 + 7));
    EXPECT_TRUE(loadSettings(writeBytes(dir / "noise.ini", noise), s, p));
    std::string odd = "[setting\n11=" + std::string(100000, 'F') + "\n21=99999999999999999999\n";
    EXPECT_TRUE(loadSettings(writeBytes(dir / "odd.ini", bytesOf(odd)), s, p));
    EXPECT_EQ(s.compression, CompressionSettings{});
    EXPECT_EQ(s.overwrite, INT32_MAX);
    // A folder where the file should be.
    fs::create_directories(dir / "folder.ini");
    EXPECT_FALSE(loadSettings(dir / "folder.ini", s, p));
}

// Runs `fn` in a child without root's rights, so that folder permissions
// mean what they say; its exit status is the result.
int asNobody(const std::function<int()>& fn) {
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(100);
        _exit(fn());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

// The location rule as such a child computes it (a path fits the pipe's buffer).
std::string locationAsNobody(const fs::path& exeDir, const fs::path& configDir) {
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const int status = asNobody([&] {
        const std::string r = settingsFilePathFor(exeDir, configDir).string();
        return ::write(fds[1], r.data(), r.size()) == ssize_t(r.size()) ? 0 : 3;
    });
    ::close(fds[1]);
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, std::size_t(n));
    ::close(fds[0]);
    return status == 0 ? out : "child failed";
}

TEST(SettingsLocation, BesideTheExecutableWhenWritableOrAlreadyThere) {
    TempDir dir;
    fs::path exe = dir / "bin", config = dir / "config";
    fs::create_directories(exe);
    fs::create_directories(config);
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(exe, fs::perms::all);
    EXPECT_EQ(locationAsNobody(exe, config), (exe / "status.ini").string());

    fs::permissions(exe, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    EXPECT_EQ(locationAsNobody(exe, config), (config / "quillmark" / "status.ini").string());

    writeBytes(exe / "status.ini", bytesOf("[setting]\n"));
    EXPECT_EQ(locationAsNobody(exe, config), (exe / "status.ini").string());

    EXPECT_EQ(settingsFilePathFor(dir / "gone", config), config / "quillmark" / "status.ini");
    EXPECT_EQ(settingsFilePathFor(fs::path(), config), config / "quillmark" / "status.ini");
    // Root can write /usr/bin, but an installed copy keeps settings per user.
    EXPECT_EQ(settingsFilePathFor("/usr/bin", config), config / "quillmark" / "status.ini");
    EXPECT_EQ(settingsFilePathFor("/usr/local/bin/", config), config / "quillmark" / "status.ini");
}

TEST(SettingsLocation, WritableFileInAFolderThatTakesNoNewFilesIsStillSaved) {
    TempDir dir;
    fs::path exe = dir / "bin";
    fs::create_directories(exe);
    fs::path file = writeBytes(exe / "status.ini", bytesOf("[setting]\n21=1\n22=1\nextra=" + std::string(500, 'x') + "\n"));
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(exe, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(file, fs::perms::all);
    EXPECT_EQ(asNobody([&] {
        AppSettings s;
        s.overwrite = 0;
        s.forceRegularSize = 1;
        return saveSettings(file, s, WindowPlacement{}) ? 0 : 1;
    }), 0);
    const AppSettings back = loaded(file);
    EXPECT_EQ(back.overwrite, 0);
    EXPECT_EQ(back.forceProgressive, 0);
    EXPECT_EQ(back.forceRegularSize, 1);
    EXPECT_EQ(textOf(file).find("extra="), textOf(file).rfind("extra="));  // no stale tail
    EXPECT_EQ(textOf(file).substr(textOf(file).size() - 4), "xxx\n");

    // Neither the folder nor the file writable: the failure is reported.
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(asNobody([&] { return saveSettings(file, AppSettings{}, WindowPlacement{}) ? 0 : 1; }), 1);
}

TEST(SettingsLocation, ConfigFolderFollowsTheEnvironment) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    ::setenv("XDG_CONFIG_HOME", "/some/where", 1);
    EXPECT_EQ(userConfigDir(), fs::path("/some/where"));
    ::setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    ::setenv("HOME", ::getenv("HOME") ? ::getenv("HOME") : "/root", 1);
    EXPECT_EQ(userConfigDir(), fs::path(::getenv("HOME")) / ".config");
    if (oldXdg) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
}

// An unusable lock file (here a folder) does not keep the program from starting.
TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstReleases) {
    TempDir dir;
    fs::path lock = dir / "run" / "quillmark.lock";
    SingleInstance first(lock), second(lock);
    EXPECT_TRUE(first.acquire());
    EXPECT_FALSE(second.acquire());
    first.release();
    EXPECT_TRUE(second.acquire());
    EXPECT_FALSE(first.acquire());
    SingleInstance odd(dir / "run");
    EXPECT_TRUE(odd.acquire());
}

// A child takes the lock and starts a long-lived grandchild program, as a
// viewer launch would; once the child is killed, the lock is free again even
// though the grandchild still runs.
TEST(SingleInstance, KilledHolderLeavesNothingStuck) {
    TempDir dir;
    fs::path lock = dir / "quillmark.lock";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        SingleInstance mine(lock);
        if (!mine.acquire()) _exit(1);
        // The grandchild's end of this pipe closes at exec: reading EOF means
        // the fork's copy of the lock descriptor is gone too.
        int execed[2];
        if (::pipe2(execed, O_CLOEXEC) != 0) _exit(1);
        pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(execed[1]);
        char c;
        while (::read(execed[0], &c, 1) > 0) {
        }
        char msg[32];
        int len = std::snprintf(msg, sizeof msg, "%d\n", int(grandchild));
        if (::write(ready[1], msg, std::size_t(len)) != len) _exit(1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char buf[32] = {};
    ssize_t n = ::read(ready[0], buf, sizeof buf - 1);
    ::close(ready[0]);
    ASSERT_GT(n, 0);
    pid_t grandchild = std::atoi(buf);

    SingleInstance later(lock);
    EXPECT_FALSE(later.acquire());
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(later.acquire());
    ASSERT_GT(grandchild, 0);
    EXPECT_EQ(::kill(grandchild, 0), 0);  // still running, yet holds no lock
    ::kill(grandchild, SIGKILL);
}

}  // namespace
}  // namespace quill
