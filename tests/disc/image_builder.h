// A small image build for the data-track tests: MPEG clips of 2324-byte
// packs laid out as the engine lays out image tracks (pregap, front margin,
// data, end margin, end sector, postgap), with the data track written by
// TVideoCdImage and its scan tables.
#pragma once

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/records.h"
#include "disc/sector_encoder.h"
#include "disc/time_code.h"
#include "disc/video_cd_image.h"

namespace imagetest {

struct Clip {
    std::string path;
    int32_t pause = 0;
};

struct Built {
    int result = 0;                   // of the first step that failed
    std::string failedName;
    std::vector<int32_t> trackStarts;  // logical sector of each track's INDEX 01
    std::vector<TImageTrack> tracks;
    uint64_t size = 0;
    std::string label;
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Frame rate from the first sequence header.
inline double ClipFps(const std::string& s) {
    static const double rates[] = {0, 24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};
    size_t at = s.find(std::string("\x00\x00\x01\xB3", 4));
    if (at == std::string::npos || at + 8 > s.size()) return 25;
    int code = static_cast<uint8_t>(s[at + 7]) & 0x0F;
    return code >= 1 && code <= 8 ? rates[code] : 25;
}

inline int CountPictures(const std::string& s) {
    int n = 0;
    const std::string code("\x00\x00\x01\x00", 4);
    for (size_t at = s.find(code); at != std::string::npos; at = s.find(code, at + 4)) ++n;
    return n;
}

inline bool Mpeg2(const std::string& s) { return s.size() > 4 && (static_cast<uint8_t>(s[4]) & 0xC0) == 0x40; }

// Writes one image of the clips to bin; the cue goes beside it.
inline Built BuildImage(const std::string& bin, bool isVcd, const TConfig& config, const std::vector<Clip>& clips,
                        const std::string& tableFolder, const platform::LocalTime& date,
                        const std::string& volume = "PELL%d", const TCdiFiles* cdi = nullptr) {
    Built b;
    TVideoCdImage image(config, isVcd, cdi);
    image.SetVolumeLabel(volume, 1);
    image.SetDate(date);
    image.SetTableFolder(tableFolder);
    b.label = image.volumeLabel();

    TFileIO out;
    if (out.OpenForWrite(bin) != 0) {
        b.result = 9;
        return b;
    }
    if ((b.result = image.WritePlaceholder(out)) != 0) return b;
    uint32_t address = static_cast<uint32_t>(image.PlaceholderSectors()) + 150;
    uint8_t sector[kRawSectorSize];
    auto put = [&](const uint8_t sub[4], const uint8_t* payload) {
        std::memset(sector, 0, sizeof sector);
        std::memcpy(sector + 16, sub, 4);
        std::memcpy(sector + 20, sub, 4);
        if (payload) std::memcpy(sector + 24, payload, 2324);
        BuildSector(sector, kSectorMode2Form2, address++);
        out.Write(sector, sizeof sector);
    };
    const uint8_t gap[4] = {0, 0, 0x20, 0}, margin[4] = {1, 0, 0x60, 0}, end[4] = {1, 0, 0xE0, 0};
    const uint8_t video[4] = {1, 1, 0x62, 0x0F}, audio[4] = {1, 1, 0x64, 0x7F};

    TScanPoints points;
    for (const Clip& c : clips) {
        const std::string s = Slurp(c.path);
        const bool mpeg2 = Mpeg2(s);
        const double fps = ClipFps(s);
        TImageTrack t;
        t.pal = fps == 25;
        t.hasAudio = s.find(std::string("\x00\x00\x01\xC0", 4)) != std::string::npos;
        t.pauseSeconds = c.pause;
        t.playSeconds = CountPictures(s) / fps;
        for (int i = 0; i < 150; ++i) put(gap, nullptr);
        b.trackStarts.push_back(static_cast<int32_t>(address - 150));
        for (int i = 0; i < 30; ++i) put(margin, nullptr);
        const size_t sectors = (s.size() + 2323) / 2324;
        points.BeginTrack(t.playSeconds, address);
        int64_t firstGop = -1;
        for (size_t k = 0; k < sectors; ++k) {
            uint8_t payload[2324] = {};
            std::memcpy(payload, s.data() + k * 2324, std::min<size_t>(2324, s.size() - k * 2324));
            const uint8_t stream = payload[mpeg2 ? 17 : 15];
            const uint8_t gopCode[4] = {0, 0, 1, 0xB8};
            int64_t at = FindPattern(gopCode, 4, payload, 2324 - 8);
            if (at >= 0) {
                TGopTimeCode tc;
                tc.Read(payload + at);
                const int64_t frame = tc.FrameNumber(fps);
                if (firstGop < 0) firstGop = frame;
                points.AddGop(address, static_cast<double>(frame - firstGop) / NominalFrameRate(fps));
            }
            put(stream == 0xE0 ? video : audio, payload);
        }
        for (int i = 0; i < 44; ++i) put(margin, nullptr);
        put(end, nullptr);
        t.size = (180 + sectors + 45) * kRawSectorSize;
        for (int i = 0; i < 10; ++i) put(gap, nullptr);
        b.tracks.push_back(t);
    }
    if (out.Close() != 0) {
        b.result = 9;
        return b;
    }
    image.SetTracks(b.tracks);
    std::string why;
    if ((b.result = WriteScanTables(tableFolder, isVcd, b.tracks, points, why)) != 0) return b;
    TFileIO update;
    if (update.OpenForUpdate(bin) != 0) {
        b.result = 9;
        return b;
    }
    b.result = image.WriteImage(update);
    b.failedName = image.failedName();
    if (update.Close() != 0 && b.result == 0) b.result = 9;
    b.size = image.imageByteCount;

    std::string cue = bin.substr(0, bin.rfind('.')) + ".cue";
    std::ofstream sheet(cue);
    sheet << "FILE \"" << bin.substr(bin.rfind('/') + 1) << "\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n";
    for (size_t i = 0; i < b.trackStarts.size(); ++i) {
        int32_t n = b.trackStarts[i];
        char line[96];
        std::snprintf(line, sizeof line, "  TRACK %02d MODE2/2352\n    INDEX 01 %02d:%02d:%02d\n", int(i) + 2,
                      n / 4500, (n / 75) % 60, n % 75);
        sheet << line;
    }
    return b;
}

}  // namespace imagetest
