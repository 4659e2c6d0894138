// quillmark-cli scan / info / --db-stats: the file list's rows as text.
// scan prints exactly the rows the list shows after choosing the folder.
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

#include "base/utf8.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "inspection/folder_listing.h"
#include "inspection/quant_table_db.h"

namespace quill::cli {
namespace {

// Tabs and line breaks inside a name would break the table; escaped, as is
// the backslash, so the text can be read back.
void appendTsvField(std::string& out, std::string_view s) {
    for (char c : s) {
        switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
}

// JSON strings must be valid UTF-8: malformed bytes (possible in file names)
// become U+FFFD.
void appendJsonString(std::string& out, std::string_view s) {
    out += '"';
    for (std::size_t i = 0; i < s.size();) {
        const std::uint32_t cp = nextCodePoint(s, i);
        if (cp == '"') {
            out += "\\\"";
        } else if (cp == '\\') {
            out += "\\\\";
        } else if (cp < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(cp));
            out += buf;
        } else {
            appendUtf8(out, cp);
        }
    }
    out += '"';
}

void appendTsvRow(std::string& out, const std::array<std::string, kColumnCount>& cells) {
    for (int c = 0; c < kColumnCount; ++c) {
        if (c) out += '\t';
        appendTsvField(out, cells[c]);
    }
    out += '\n';
}

void appendTsvHeader(std::string& out) {
    for (int c = 0; c < kColumnCount; ++c) {
        if (c) out += '\t';
        out += kColumnHeaders[c];
    }
    out += '\n';
}

void appendJsonObject(std::string& out, const JpegInfo& info) {
    out += '{';
    for (int c = 0; c < kColumnCount; ++c) {
        if (c) out += ", ";
        appendJsonString(out, kColumnHeaders[c]);
        out += ": ";
        appendJsonString(out, info.fields[c]);
    }
    out += '}';
}

void writeOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int printDbStats() {
    const QuantTableDb db;
    std::string out = "family\tfirst\tlast\tname\tluminance filled\tchrominance filled\n";
    for (const QualityFamily& f : qualityFamilies()) {
        const int last = std::min(f.last, QuantTableDb::entryCount - 1);
        char line[160];
        std::snprintf(line, sizeof line, "%d\t%d\t%d\t%s\t%d\t%d\n", f.number, f.first, f.last, f.name,
                      db.filledCount(kLuminance, f.first, last),
                      db.filledCount(kChrominance, f.first, last));
        out += line;
    }
    char total[200];
    std::snprintf(total, sizeof total,
                  "stored\t0\t%d\tall stored entries\t%d\t%d\n"
                  "generated\t%d\t%d\tgenerated entries\t%d\t%d\n",
                  QuantTableDb::storedCount - 1, db.filledCount(kLuminance),
                  db.filledCount(kChrominance), QuantTableDb::storedCount,
                  QuantTableDb::entryCount - 1,
                  db.filledCount(kLuminance, QuantTableDb::storedCount, QuantTableDb::entryCount - 1),
                  db.filledCount(kChrominance, QuantTableDb::storedCount, QuantTableDb::entryCount - 1));
    out += total;
    writeOut(out);
    return 0;
}

constexpr OptionSpec kJsonOption[] = {{"--json"}};

int runScan(std::string_view name, std::span<char*> args) {
    const auto parsed = parseArguments(name, args, {kJsonOption, 1, 1, "scan DIR [--json]"});
    if (!parsed) return 2;
    const std::string target(parsed->operands[0]);
    std::optional<std::vector<JpegInfo>> rows = listFolderByName(target);
    if (!rows) {
        std::error_code ec;
        const bool exists = fs::exists(target, ec);
        std::fprintf(stderr, "quillmark-cli scan: cannot read folder '%s'%s\n", target.c_str(),
                     exists ? "" : ": no such folder");
        return 2;
    }
    std::string out;
    out.reserve(rows->size() * 256 + 512);
    if (parsed->has("--json")) {
        out += "[";
        for (std::size_t i = 0; i < rows->size(); ++i) {
            out += i ? ",\n " : "\n ";
            appendJsonObject(out, (*rows)[i]);
        }
        out += rows->empty() ? "]\n" : "\n]\n";
    } else {
        appendTsvHeader(out);
        for (const JpegInfo& row : *rows) appendTsvRow(out, row.fields);
    }
    writeOut(out);
    return 0;
}

int runInfo(std::string_view name, std::span<char*> args) {
    const auto parsed = parseArguments(name, args, {kJsonOption, 1, 1, "info FILE [--json]"});
    if (!parsed) return 2;
    const std::string target(parsed->operands[0]);
    const QuantTableDb db;
    JpegInfo info;
    if (FileResult why; !db.ScanJpeg(target, info, &why)) {
        std::fprintf(stderr, "quillmark-cli info: '%s': %s\n", target.c_str(), failureText(why).c_str());
        return 1;
    }
    std::string out;
    if (parsed->has("--json")) {
        appendJsonObject(out, info);
        out += '\n';
    } else {
        appendTsvHeader(out);
        appendTsvRow(out, info.fields);
    }
    writeOut(out);
    return 0;
}

int runDbStats(std::string_view name, std::span<char*> args) {
    if (!parseArguments(name, args, {{}, 0, 0, "--db-stats"})) return 2;
    return printDbStats();
}

}  // namespace

std::vector<Command> inspectionCommands() {
    return {
        {"scan", "scan DIR [--json]      the folder's JPEG files as the list shows them", runScan},
        {"info", "info FILE [--json]     the 33 list fields of one file", runInfo},
        {"--db-stats", "--db-stats             filled quantization-table entries per family", runDbStats},
    };
}

}  // namespace quill::cli
