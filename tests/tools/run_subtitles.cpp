// Lists and converts the CD-i subtitles of an image or a subtitle stream
// headless, as the converter window does.
//
//   run_subtitles --source F [--layout raw|2336|cif | --plain] [--sub]
//                 [--name NAME] --output DIR
//
// --help prints the usage and the exit statuses.
#include <cstdio>
#include <string>

#include "core/file_io.h"
#include "core/result_codes.h"
#include "tools/cdi_subtitles.h"

namespace {

constexpr const char* kUsage =
    "usage: run_subtitles --source F [--layout raw|2336|cif | --plain] [--sub]\n"
    "                     [--name NAME] --output DIR\n"
    "Lists the CD-i subtitle files of the disc image F, as the subtitle converter does,\n"
    "and converts each (or only NAME) to DIR/NAME.srt, or DIR/NAME.sub with --sub.\n"
    "--layout: raw 2352-byte sectors (the default), 2336-byte sectors after a 150-sector\n"
    "lead (nrg), or a cif image's 2332-byte sectors; --plain takes F as one subtitle file.\n"
    "Exit status: 0 converted; 1 none found; 6 F not readable; 9 an output not written;\n"
    "13 the image ends inside a subtitle file (what it holds is written); 2 usage.\n"
    "A file that fails is reported and the others still convert; the first error is the\n"
    "exit status.\n";

int Usage(const char* why) {
    std::fprintf(stderr, "run_subtitles: %s\n%s", why, kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string source, output, only;
    CdiGeometry geometry = kCdiRawGeometry;
    bool plain = false, sub = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--source") {
            if (!value(source)) return Usage("--source needs a path");
        } else if (a == "--output") {
            if (!value(output)) return Usage("--output needs a folder");
        } else if (a == "--name") {
            if (!value(only)) return Usage("--name needs a name");
        } else if (a == "--layout") {
            if (!value(v)) return Usage("--layout needs raw, 2336 or cif");
            if (v == "raw")
                geometry = kCdiRawGeometry;
            else if (v == "2336")
                geometry = kCdi2336Geometry;
            else if (v == "cif")
                geometry = kCdiCifGeometry;
            else
                return Usage("--layout needs raw, 2336 or cif");
        } else if (a == "--plain") {
            plain = true;
        } else if (a == "--sub") {
            sub = true;
        } else {
            return Usage(("unknown argument " + a).c_str());
        }
    }
    if (source.empty() || output.empty()) return Usage("--source and --output are required");

    TFileIO file;
    if (file.OpenForRead(source) != 0) {
        std::printf("error %d: %s\n", msg::error::kCannotOpen, source.c_str());
        return msg::error::kCannotOpen;
    }
    TCdiSubtitleScanner scanner(&file);
    if (plain) {
        scanner.names = {source};
        scanner.entries[source] = TCdiFileEntry{0, 0, static_cast<int32_t>(std::min<uint64_t>(file.Size(), INT32_MAX)), 0};
    } else {
        scanner.FindCdiDirectory(file, geometry);
    }
    for (const std::string& name : scanner.names) {
        const TCdiFileEntry& e = scanner.entries[name];
        std::printf("%s extent %d length %d\n", name.c_str(), e.extentLE, e.lengthLE);
    }
    int result = 1;
    for (const std::string& name : scanner.names) {
        if (!only.empty() && name != only) continue;
        const TCdiFileEntry& e = scanner.entries[name];
        const CdiConvertResult r =
            scanner.ConvertCdiSubtitleFile(file, plain, output, name, e.extentLE, e.lengthLE, sub);
        if (r.code == msg::error::kTrackTruncated) {
            // Written as far as the image goes; the other files still convert.
            std::printf("error %d: %s\n", r.code, r.name.c_str());
            if (result == 0 || result == 1) result = r.code;
            continue;
        }
        if (r.code != 0) {
            // Reported, and the other files still convert; the first error
            // is the exit status.
            if (!scanner.clashLine.empty()) std::printf("%s\n", scanner.clashLine.c_str());
            std::printf("error %d: %s\n", r.code, r.name.c_str());
            if (result == 0 || result == 1) result = r.code;
            continue;
        }
        std::printf("converted %s\n", r.name.c_str());
        if (result == 1) result = 0;
    }
    return result;
}
