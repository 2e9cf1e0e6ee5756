#include "tests/support/mpeg_clips.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

#include "core/temp_file.h"

namespace clips {
namespace {

std::string Run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

struct Folder {
    Folder() : path(CreateTempDir("pellmor-clips-")) {}
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

std::mutex m;

Folder& TheFolder() {
    static Folder folder;
    return folder;
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

bool HaveFfmpeg() {
    static const bool have = std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") == 0;
    return have;
}

std::string Scratch(const std::string& name) { return TheFolder().path + "/" + name; }

std::string Make(const std::string& name, const std::string& args) {
    std::lock_guard<std::mutex> lock(m);
    static std::map<std::string, std::string> made;  // args -> path
    const std::string key = name + "|" + args;
    if (auto it = made.find(key); it != made.end()) return it->second;
    const std::string path = Scratch(name);
    const std::string command = "ffmpeg -hide_banner -loglevel error -y -threads 1 " + args +
                                " -threads 1 -flags +bitexact -fflags +bitexact '" + path + "' </dev/null 2>/dev/null";
    const std::string result = std::system(command.c_str()) == 0 ? path : std::string();
    made[key] = result;
    return result;
}

std::string Target(const std::string& target, double seconds, const std::string& extra) {
    std::string size = "352x288", rate = "25";
    if (target == "ntsc-vcd" || target == "film-vcd") size = "352x240";
    if (target == "pal-svcd") size = "480x576";
    if (target == "ntsc-svcd" || target == "film-svcd") size = "480x480";
    if (target.rfind("ntsc", 0) == 0) rate = "30000/1001";
    if (target.rfind("film", 0) == 0) rate = "24000/1001";
    char dur[32];
    std::snprintf(dur, sizeof dur, "%g", seconds);
    std::string name = target + "_" + dur;
    for (char c : extra)
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    return Make(name + ".mpg", std::string("-f lavfi -i testsrc=duration=") + dur + ":size=" + size + ":rate=" + rate +
                                   " -f lavfi -i sine=frequency=440:duration=" + dur + " -target " + target + " " +
                                   extra);
}

std::string Probe(const std::string& path, const std::string& stream, const std::string& entry) {
    const std::string out = Trim(Run("ffprobe -v error -select_streams " + stream + ":0 -show_entries " + entry +
                                     " -of default=noprint_wrappers=1:nokey=1 '" + path + "' 2>/dev/null"));
    return out == "N/A" ? std::string() : out;
}

std::string ProbeMaxBitrate(const std::string& path) {
    const std::string out = Run("ffprobe -v error -select_streams v:0 -show_entries stream_side_data=max_bitrate "
                                "-of default=noprint_wrappers=1:nokey=1 '" + path + "' 2>/dev/null");
    const size_t end = out.find('\n');
    return Trim(out.substr(0, end));
}

}  // namespace clips
