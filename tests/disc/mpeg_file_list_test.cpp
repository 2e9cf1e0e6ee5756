// The build list on real streams: ffmpeg clips of every disc target checked
// against ffprobe, refusals that must leave everything as it was, leading
// bytes, splitting over images at a small capacity, and the image rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/file_io.h"
#include "core/helpers.h"
#include "core/result_codes.h"
#include "disc/mpeg_file_list.h"
#include "disc/time_code.h"
#include "disc/track_table.h"
#include "disc/vcd_track_list.h"
#include "tests/support/build_list_rig.h"
#include "tests/support/mpeg_clips.h"

namespace {

[[maybe_unused]] std::string Fixture(const std::string& name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

[[maybe_unused]] void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

// The log lines that are not empty, in order.
std::vector<std::string> LogLines(const fakes::RecordingListBox& log) {
    std::vector<std::string> out;
    for (const std::string& l : log.lines())
        if (!l.empty()) out.push_back(l);
    return out;
}

#define NEED_FFMPEG() \
    if (!clips::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed"

}  // namespace

// Every disc target: the facts on the list are ffprobe's, the log line is
// the fixed layout, and the play time runs from the first picture to the
// last one plus one.
TEST(MpegFileList, StreamFactsOfEveryTargetMatchFfprobe) {
    NEED_FFMPEG();
    struct Case {
        const char* target;
        const char* extra;
        int rateCode;
        bool pal;
    };
    const Case cases[] = {
        {"pal-vcd", "", 3, true},    {"ntsc-vcd", "", 4, false},  {"film-vcd", "", 1, false},
        {"pal-svcd", "", 3, true},   {"ntsc-svcd", "", 4, false}, {"film-svcd", "", 1, false},
        {"pal-svcd", "-ar 48000 -b:a 128k", 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.extra);
        const std::string clip = clips::Target(c.target, 3, c.extra);
        ASSERT_FALSE(clip.empty());
        fakes::BuildListRig rig;
        ASSERT_EQ(rig.list.AddFile(clip), 0);
        ASSERT_EQ(rig.list.entries.size(), 1u);
        const TMpegFileInfo& e = rig.list.entries[0];
        const bool mpeg2 = std::string(c.target).find("svcd") != std::string::npos;
        EXPECT_EQ(rig.job.discKind, mpeg2 ? 2 : 1);
        EXPECT_EQ(std::to_string(e.width), clips::Probe(clip, "v", "stream=width"));
        EXPECT_EQ(std::to_string(e.height), clips::Probe(clip, "v", "stream=height"));
        EXPECT_EQ(e.frameRateCode, c.rateCode);
        const std::string rate = clips::Probe(clip, "v", "stream=r_frame_rate");
        int num = 0, den = 1;
        ASSERT_EQ(std::sscanf(rate.c_str(), "%d/%d", &num, &den), 2);
        EXPECT_NEAR(e.frameRate, double(num) / den, 1e-9);
        EXPECT_EQ(std::to_string(e.videoBitRate),
                  mpeg2 ? clips::ProbeMaxBitrate(clip) : clips::Probe(clip, "v", "stream=bit_rate"));
        EXPECT_EQ(std::to_string(e.audioSampleRate), clips::Probe(clip, "a", "stream=sample_rate"));
        EXPECT_EQ(std::to_string(e.audioBitRate), clips::Probe(clip, "a", "stream=bit_rate"));
        EXPECT_EQ(e.audioLayer, 2);  // mp2: Layer II
        EXPECT_EQ(e.pal, c.pal ? 1 : 0);
        EXPECT_EQ(e.packSize2324, 1);
        EXPECT_EQ(e.startOffset, 0);
        EXPECT_EQ(e.endOffset, int64_t(ReadAll(clip).size()));

        const double duration = std::stod(clips::Probe(clip, "v", "stream=duration"));
        EXPECT_NEAR(double(e.playFrames) / e.frameRate, duration, 0.5 / e.frameRate);
        // The fields count pictures at the rounded rate: 90 of 29.97 fps are 3 s.
        const double fields = e.playMinutes * 60 + e.playSeconds + double(e.playPictures) / std::ceil(e.frameRate);
        EXPECT_NEAR(fields, double(e.playFrames) / std::ceil(e.frameRate), 1e-9);
        EXPECT_EQ(rig.grid.cell(3, 1), "[00:00:03s]");

        char expected[160];
        std::snprintf(expected, sizeof expected, " 1   %dx%d(%sfps) @ %4d kbits    %5dHz @ %3d kbits    2324 - ok",
                      e.width, e.height, TMpegFileList::FrameRateText(c.rateCode), int(e.videoBitRate / 1000),
                      std::stoi(clips::Probe(clip, "a", "stream=sample_rate")),
                      std::stoi(clips::Probe(clip, "a", "stream=bit_rate")) / 1000);
        const std::vector<std::string> log = LogLines(rig.log);
        ASSERT_EQ(log.size(), 4u);
        EXPECT_EQ(log[3], expected);
    }
}

// Clips without audio: the VCD mux leaves empty sectors after the first
// pack, which still stand on the 2324-byte grid. The file is taken whole
// with no audio facts; a gap that is not empty still tells another pack size.
TEST(MpegFileList, VideoOnlyClipsAreTaken) {
    NEED_FFMPEG();
    for (const char* target : {"pal-vcd", "ntsc-vcd", "pal-svcd"}) {
        SCOPED_TRACE(target);
        const std::string clip = clips::Target(target, 3, "-an");
        ASSERT_FALSE(clip.empty());
        fakes::BuildListRig rig;
        ASSERT_EQ(rig.list.AddFile(clip), 0);
        ASSERT_EQ(rig.list.entries.size(), 1u);
        const TMpegFileInfo& e = rig.list.entries[0];
        EXPECT_EQ(std::to_string(e.width), clips::Probe(clip, "v", "stream=width"));
        EXPECT_EQ(e.packSize2324, 1);
        EXPECT_EQ(e.audioLayer, 0);
        EXPECT_EQ(e.audioSampleRate, 0);
        EXPECT_EQ(e.audioBitRate, 0u);
        EXPECT_EQ(e.startOffset, 0);
        EXPECT_EQ(e.endOffset, int64_t(ReadAll(clip).size()));
        EXPECT_EQ(rig.grid.cell(3, 1), "[00:00:03s]");
        EXPECT_EQ(rig.stats.errors, 0);
    }
    // The same gap holding bytes is no empty sector: refused as before.
    std::string data = ReadAll(clips::Target("pal-vcd", 3, "-an"));
    ASSERT_GT(data.size(), 3 * 2324u);
    ASSERT_NE(data.compare(2324, 4, std::string("\0\0\x01\xba", 4)), 0);  // not a pack
    data[2324 + 100] = '\x55';
    const std::string patched = clips::Scratch("video_only_patched.mpg");
    WriteAll(patched, data);
    fakes::BuildListRig rig;
    EXPECT_EQ(rig.list.AddFile(patched), 9);
    EXPECT_TRUE(rig.list.entries.empty());
}

// The pal-vcd line spelled out, as the page's log shows it.
TEST(MpegFileList, PalVcdLogLine) {
    NEED_FFMPEG();
    fakes::BuildListRig rig;
    ASSERT_EQ(rig.list.AddFile(clips::Target("pal-vcd", 3)), 0);
    const std::vector<std::string> log = LogLines(rig.log);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], std::string(73, '-'));
    EXPECT_EQ(log[1], " #   [video]                            [audio]                [complies]");
    EXPECT_EQ(log[3], " 1   352x288(  25.0fps) @ 1150 kbits    44100Hz @ 224 kbits    2324 - ok");
    EXPECT_EQ(rig.config.buildListHeaderShown, 1);
}

namespace {

bool LogHas(const fakes::RecordingListBox& log, const std::string& text) {
    for (const std::string& l : log.lines())
        if (l.find(text) != std::string::npos) return true;
    return false;
}

}  // namespace

// Files the list must refuse: each refusal names the file with its error and
// leaves entries, names, grid, track table and boxes exactly as they were.
TEST(MpegFileList, RefusalsChangeNothing) {
    NEED_FFMPEG();
    const std::string vcd = clips::Target("pal-vcd", 3);
    const std::string svcd = clips::Target("pal-svcd", 3);
    const std::string elementary = clips::Make("elementary.m1v", "-f lavfi -i testsrc=duration=1:size=352x288:rate=25 "
                                                                 "-c:v mpeg1video -f mpeg1video");
    const std::string audioOnly = clips::Make("audio_only.mpg", "-f lavfi -i sine=frequency=440:duration=1 "
                                                                "-c:a mp2 -b:a 224k -f vcd");
    ASSERT_FALSE(elementary.empty());
    ASSERT_FALSE(audioOnly.empty());
    const std::string random = clips::Scratch("random.mpg");
    std::string noise(200000, '\0');
    uint32_t x = 12345;
    for (char& c : noise) c = char((x = x * 1103515245u + 12345u) >> 24);
    WriteAll(random, noise);
    const std::string empty = clips::Scratch("empty.mpg");
    WriteAll(empty, "");
    const std::string folder = clips::Scratch("folder.mpg");
    std::filesystem::create_directory(folder);

    struct Case {
        const char* what;
        std::string first;  // already on the list
        std::string path;
        int result;
        int error;
    };
    const Case cases[] = {
        {"MPEG-2 on a VCD list", vcd, svcd, 12, 26},
        {"MPEG-1 on an SVCD list", svcd, vcd, 12, 27},
        {"2048-byte packs", vcd, Fixture("mpeg_2048packs.mpg"), 9, 11},
        {"elementary stream", vcd, elementary, 7, 7},
        {"random bytes", vcd, random, 7, 7},
        {"empty file", vcd, empty, 7, 7},
        {"audio only", vcd, audioOnly, 8, 8},
        {"missing file", vcd, clips::Scratch("no such file.mpg"), 4, 6},
        {"a folder", vcd, folder, 4, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fakes::BuildListRig rig;
        ASSERT_EQ(rig.list.AddFile(c.first), 0);
        const std::string before = rig.State();
        const int errors = rig.stats.errors;
        EXPECT_EQ(rig.list.AddFile(c.path), c.result);
        EXPECT_EQ(rig.State(), before);
        EXPECT_EQ(rig.stats.errors, errors + 1);
        EXPECT_TRUE(LogHas(rig.log, rig.texts.message(c.error)));
        EXPECT_TRUE(LogHas(rig.log, "[" + ExtractName(c.path) + "]"));
    }
}

// The first file decides the disc kind only when it is taken: a refused
// first file leaves the kind and the boxes alone.
TEST(MpegFileList, RefusedFirstFileKeepsTheDiscKind) {
    NEED_FFMPEG();
    const std::string dvd = clips::Make("dvd_packs.mpg", "-f lavfi -i testsrc=duration=1:size=352x288:rate=25 "
                                                         "-f lavfi -i sine=duration=1 -target pal-dvd");
    ASSERT_FALSE(dvd.empty());
    const std::string stream = clips::Scratch("no_packs.m1v");
    WriteAll(stream, std::string(4096, '\x11'));
    for (const std::string& path : {dvd, stream}) {
        SCOPED_TRACE(path);
        fakes::BuildListRig rig;
        const std::string before = rig.State();
        EXPECT_NE(rig.list.AddFile(path), 0);
        EXPECT_EQ(rig.State(), before);
        EXPECT_EQ(rig.job.discKind, 1);
    }
    // An MPEG-2 file taken first ticks the SVCD box and sets the kind.
    fakes::BuildListRig rig;
    ASSERT_EQ(rig.list.AddFile(clips::Target("ntsc-svcd", 3)), 0);
    EXPECT_EQ(rig.job.discKind, 2);
    EXPECT_TRUE(rig.SVCDCheckBox.checked());
    EXPECT_FALSE(rig.VCDCheckBox.checked());
    EXPECT_TRUE(rig.startVCDButton.enabled());
}

// A length that is not whole sectors is taken with warning 4, every byte
// of it on the entry.
TEST(MpegFileList, TrailingBytesAreKeptWithAWarning) {
    NEED_FFMPEG();
    const std::string path = clips::Scratch("trailing.mpg");
    const std::string data = ReadAll(clips::Target("pal-vcd", 3)) + std::string(100, '\0');
    ASSERT_EQ(data.size() % 2324, 100u);
    WriteAll(path, data);
    fakes::BuildListRig rig;
    EXPECT_EQ(rig.list.AddFile(path), 0);
    ASSERT_EQ(rig.list.entries.size(), 1u);
    EXPECT_EQ(rig.list.entries[0].endOffset, int64_t(data.size()));
    EXPECT_EQ(rig.stats.warnings, 1);
    EXPECT_TRUE(LogHas(rig.log, rig.texts.message(35 + 4)));
}

// A header from another tool in front of the first pack: the entry starts
// at the pack, and every fact and the play time are those of the clean clip.
TEST(MpegFileList, LeadingBytesBeforeTheFirstPack) {
    NEED_FFMPEG();
    for (const char* target : {"pal-vcd", "ntsc-svcd"}) {
        SCOPED_TRACE(target);
        const std::string clean = clips::Target(target, 3);
        const std::string led = clips::Scratch(std::string("led_") + target + ".mpg");
        std::string lead(1000, '\0');
        for (size_t i = 0; i < lead.size(); ++i) lead[i] = char(i * 7 + 3);
        WriteAll(led, lead + ReadAll(clean));
        fakes::BuildListRig a, b;
        ASSERT_EQ(a.list.AddFile(clean), 0);
        ASSERT_EQ(b.list.AddFile(led), 0);
        const TMpegFileInfo& x = a.list.entries[0];
        const TMpegFileInfo& y = b.list.entries[0];
        EXPECT_EQ(y.startOffset, 1000);
        EXPECT_EQ(y.endOffset, x.endOffset + 1000);
        EXPECT_EQ(y.size, x.size);
        EXPECT_EQ(TMpegFileList::LogLine(1, y), TMpegFileList::LogLine(1, x));
        EXPECT_EQ(y.audioLayer, x.audioLayer);
        EXPECT_EQ(y.hasTimeStamps, x.hasTimeStamps);
        EXPECT_EQ(y.firstScr, x.firstScr);
        EXPECT_EQ(y.firstFrame, x.firstFrame);
        EXPECT_EQ(y.firstPts, x.firstPts);
        EXPECT_EQ(y.TimeText(), x.TimeText());
        EXPECT_EQ(std::make_tuple(y.playMinutes, y.playSeconds, y.playPictures),
                  std::make_tuple(x.playMinutes, x.playSeconds, x.playPictures));
        EXPECT_EQ(b.stats.warnings, 0);

        // The time functions of a list that scanned the clean clip, pointed
        // at the shifted file, walk its grid.
        a.list.UseEntry(y);
        TFileIO shifted, plain;
        ASSERT_EQ(shifted.OpenForRead(led), 0);
        ASSERT_EQ(plain.OpenForRead(clean), 0);
        int64_t at = y.endOffset - 2324, cleanAt = x.endOffset - 2324;
        const int64_t frame = a.list.GopFrameAt(shifted, at);
        a.list.UseEntry(x);
        EXPECT_EQ(frame, a.list.GopFrameAt(plain, cleanAt));
        EXPECT_EQ(at, cleanAt + 1000);
        EXPECT_GT(frame, 0);
    }
}

namespace {

constexpr size_t kSector = 2324;

bool SectorHoldsGop(const std::string& data, int64_t offset) {
    const std::string sector = data.substr(size_t(offset), kSector);
    return sector.find(std::string("\x00\x00\x01\xB8", 4)) != std::string::npos;
}

// The offsets of the sectors that hold a GOP.
std::vector<int64_t> GopSectors(const std::string& data) {
    std::vector<int64_t> out;
    for (size_t at = 0; at + kSector <= data.size(); at += kSector)
        if (SectorHoldsGop(data, int64_t(at))) out.push_back(int64_t(at));
    return out;
}

// The frame number of the first GOP time code at or after the offset.
int64_t GopFrameFrom(const std::string& data, int64_t offset, double fps) {
    const size_t at = data.find(std::string("\x00\x00\x01\xB8", 4), size_t(offset));
    if (at == std::string::npos) return -1;
    TGopTimeCode code;
    code.Read(reinterpret_cast<const uint8_t*>(data.data()) + at);
    return code.FrameNumber(fps);
}

}  // namespace

// A clip too long for the capacity is cut at GOP sectors into pieces that
// hold every byte, each fitting its image with its frame sectors.
TEST(MpegFileList, SplitAtSmallCapacityKeepsEveryByte) {
    NEED_FFMPEG();
    struct Case {
        const char* target;
        double seconds;
        int64_t capacity;
        int64_t margin;
    };
    const Case cases[] = {
        {"pal-vcd", 12, 1300000, 0},
        {"pal-vcd", 40, 3000000, 500000},
        {"ntsc-svcd", 12, 1200000, 100000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + std::to_string(c.seconds));
        const std::string clip = clips::Target(c.target, c.seconds);
        ASSERT_FALSE(clip.empty());
        const std::string data = ReadAll(clip);
        fakes::BuildListRig rig;
        rig.list.SetCapacityOverride(c.capacity);
        rig.list.SetMarginOverride(c.margin);
        rig.pauseTimeMsg.setText("3");
        ASSERT_EQ(rig.list.AddFile(clip), 0);
        const auto& pieces = rig.list.entries;
        ASSERT_GE(pieces.size(), 3u);
        EXPECT_EQ(rig.list.fileNames, std::vector<std::string>{clip});

        int64_t expectedStart = 0, frames = 0;
        for (size_t i = 0; i < pieces.size(); ++i) {
            SCOPED_TRACE(i);
            const TMpegFileInfo& p = pieces[i];
            EXPECT_EQ(p.startOffset, expectedStart);
            EXPECT_EQ(p.size, p.endOffset - p.startOffset);
            EXPECT_GT(p.size, 0);
            EXPECT_LE(p.size + TMpegFileList::kTrackFrameBytes + c.margin, c.capacity);
            if (i > 0) {
                EXPECT_TRUE(SectorHoldsGop(data, p.startOffset));
            }
            EXPECT_EQ(p.split, 1);
            EXPECT_EQ(p.firstPiece, i == 0 ? 0 : 1);
            EXPECT_EQ(p.pause, 3);
            EXPECT_EQ(p.firstScr, c.target == std::string("ntsc-svcd")
                                      ? TGopTimeCode::DecodeMpeg2Scr(reinterpret_cast<const uint8_t*>(data.data()) +
                                                                     p.startOffset + 4)
                                      : TGopTimeCode::DecodeMpeg1Scr(reinterpret_cast<const uint8_t*>(data.data()) +
                                                                     p.startOffset + 4));
            EXPECT_EQ(p.firstFrame, GopFrameFrom(data, p.startOffset, p.frameRate));
            EXPECT_EQ(p.image, int32_t(i + 1));  // each piece fills its own image
            EXPECT_EQ(p.trackInImage, 1);
            EXPECT_EQ(rig.grid.cell(2, int(i + 1)), clip);
            EXPECT_EQ(rig.grid.cell(3, int(i + 1)), p.TimeText());
            EXPECT_EQ(p.playFrames, (p.playMinutes * 60 + p.playSeconds) * int64_t(std::ceil(p.frameRate)) + p.playPictures);
            frames += p.playFrames;
            expectedStart = p.endOffset;
        }
        EXPECT_EQ(expectedStart, int64_t(data.size()));
        EXPECT_EQ(rig.tracks.RowCount(), int(pieces.size()));
        // The pieces play the stream's pictures, each once: from the first
        // one to the last.
        EXPECT_EQ(std::to_string(frames), clips::Probe(clip, "v", "stream=nb_read_frames -count_frames"));
        EXPECT_TRUE(LogLines(rig.log).empty());  // no line for a split file
        const TTrackTable& t = *rig.job.trackTable;
        EXPECT_EQ(t.lastTrack, int(pieces.size()));
        EXPECT_EQ(t.imageCount, int(pieces.size()));
        EXPECT_EQ(t.tracksPerImage, std::vector<int32_t>(pieces.size(), 1));
        EXPECT_TRUE(rig.startVCDButton.enabled());
    }
}

// A file too long for an image with nowhere to cut it (one GOP for the
// whole clip, or nothing but zeros within the search range of the cut) is
// refused whole with the reason, and nothing of it is added.
TEST(MpegFileList, UnsplittableFileIsRefusedWholeForWantOfAGop) {
    NEED_FFMPEG();
    const std::string oneGop = clips::Target("pal-vcd", 12, "-g 1000");
    ASSERT_FALSE(oneGop.empty());
    ASSERT_EQ(GopSectors(ReadAll(oneGop)).size(), 1u);
    // Zeros past the clip, more than the cut's search range of sectors.
    const std::string zeros = clips::Scratch("zeros.mpg");
    std::filesystem::copy_file(clips::Target("pal-vcd", 3), zeros);
    std::filesystem::resize_file(zeros, 40'000'000);
    const struct {
        std::string path;
        int64_t capacity;
    } cases[] = {{oneGop, 1300000}, {zeros, 20'000'000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        fakes::BuildListRig rig;
        ASSERT_EQ(rig.list.AddFile(clips::Target("pal-vcd", 3)), 0);
        rig.list.SetCapacityOverride(c.capacity);
        rig.list.SetMarginOverride(0);
        const std::string before = rig.State();
        const int errors = rig.stats.errors;
        EXPECT_EQ(rig.list.AddFile(c.path), result::kScanNoSplit);
        EXPECT_EQ(rig.State(), before);
        EXPECT_EQ(rig.stats.errors, errors + 1);
        EXPECT_TRUE(LogHas(rig.log, "[" + ExtractName(c.path) + "]"));
        EXPECT_TRUE(LogHas(rig.log, "No GOP was found to split the file at"));
        EXPECT_FALSE(LogHas(rig.log, rig.texts.message(msg::error::kNoSequenceHeader)));
        // Without spanning the same file is taken whole.
        rig.list.SetCapacityOverride(-1);
        EXPECT_EQ(rig.list.AddFile(c.path), 0);
    }
}

// A file whose packs leave the 2324-byte grid part way (a cut clip with a
// whole one after it): every piece still begins at a pack start, the pieces
// hold every byte, and warning 4 is given as for the file added whole.
TEST(MpegFileList, PiecesOfAFileOffTheGridBeginAtPackStarts) {
    NEED_FFMPEG();
    const std::string clip = ReadAll(clips::Target("pal-vcd", 12));
    const std::string data = clip.substr(0, 50 * kSector + 1000) + clip;
    const std::string path = clips::Scratch("off_grid.mpg");
    WriteAll(path, data);
    for (const int64_t capacity : {int64_t(1300000), int64_t(-1)}) {
        SCOPED_TRACE(capacity);
        fakes::BuildListRig rig;
        rig.list.SetCapacityOverride(capacity);
        rig.list.SetMarginOverride(0);
        ASSERT_EQ(rig.list.AddFile(path), 0);
        const auto& pieces = rig.list.entries;
        EXPECT_EQ(rig.stats.warnings, 1);
        EXPECT_TRUE(LogHas(rig.log, rig.texts.message(35 + 4)));
        if (capacity < 0) {
            EXPECT_EQ(pieces.size(), 1u);
            continue;
        }
        ASSERT_GE(pieces.size(), 3u);
        int64_t expectedStart = 0;
        for (size_t i = 0; i < pieces.size(); ++i) {
            SCOPED_TRACE(i);
            const TMpegFileInfo& p = pieces[i];
            EXPECT_EQ(p.startOffset, expectedStart);
            EXPECT_EQ(data.compare(size_t(p.startOffset), 4, "\x00\x00\x01\xBA", 4), 0);
            if (i > 0) {
                // The GOP lies in the piece's first pack.
                EXPECT_NE(data.substr(size_t(p.startOffset), kSector).find(std::string("\x00\x00\x01\xB8", 4)),
                          std::string::npos);
                EXPECT_EQ(p.firstScr, TGopTimeCode::DecodeMpeg1Scr(reinterpret_cast<const uint8_t*>(data.data()) +
                                                                    p.startOffset + 4));
            }
            expectedStart = p.endOffset;
        }
        EXPECT_EQ(expectedStart, int64_t(data.size()));
        // Past the joint the packs are off the file's grid; the pieces there are not.
        EXPECT_GT(pieces[1].startOffset, int64_t(50 * kSector + 1000));
        EXPECT_NE(pieces[1].startOffset % int64_t(kSector), 0);
        EXPECT_EQ((pieces[1].startOffset - int64_t(50 * kSector + 1000)) % int64_t(kSector), 0);
    }
}

// The video packet carrying the last GOP without a time stamp: the play
// time comes from the GOP time codes, the same as on the intact clip.
TEST(MpegFileList, GopPacketWithoutPtsFallsBackToTimeCodes) {
    NEED_FFMPEG();
    for (const char* target : {"pal-vcd", "pal-svcd"}) {
        SCOPED_TRACE(target);
        const std::string clean = clips::Target(target, 3);
        std::string data = ReadAll(clean);
        const int64_t last = GopSectors(data).back();
        char* s = data.data() + last;
        const bool mpeg2 = (uint8_t(s[4]) & 0xC0) == 0x40;
        char* packet = s + (mpeg2 ? 14 : 12);  // right after the pack header
        ASSERT_EQ(std::string(packet, 4), std::string("\x00\x00\x01\xE0", 4));
        if (mpeg2) {
            // Flags off; the header's stamp bytes become stuffing.
            ASSERT_EQ(uint8_t(packet[7]) & 0xC0, 0xC0);
            packet[7] = 0;
            std::memset(packet + 9, 0xFF, 10);
        } else {
            // PTS and DTS (10 bytes) become nine stuffing bytes and 0F.
            ASSERT_EQ(uint8_t(packet[6]) & 0xF0, 0x30);
            std::memset(packet + 6, 0xFF, 9);
            packet[15] = 0x0F;
        }
        const std::string patched = clips::Scratch(std::string("nopts_") + target + ".mpg");
        WriteAll(patched, data);
        fakes::BuildListRig a, b;
        ASSERT_EQ(a.list.AddFile(clean), 0);
        ASSERT_EQ(b.list.AddFile(patched), 0);
        EXPECT_EQ(a.list.entries[0].hasTimeStamps, 1);
        EXPECT_EQ(b.list.entries[0].hasTimeStamps, 1);
        EXPECT_EQ(b.list.entries[0].TimeText(), a.list.entries[0].TimeText());
        EXPECT_EQ(b.list.entries[0].playPictures, a.list.entries[0].playPictures);

        TFileIO file;
        ASSERT_EQ(file.OpenForRead(patched), 0);
        int64_t at = int64_t(data.size()) - 2324;
        double pts = -1, dts = -1;
        EXPECT_EQ(b.list.PtsFrameAt(file, at, &pts, &dts), -1);
        EXPECT_EQ(at, last);
        EXPECT_EQ(pts, 0);
        at = int64_t(data.size()) - 2324;
        EXPECT_EQ(b.list.GopFrameAt(file, at), GopFrameFrom(data, last, a.list.entries[0].frameRate));
    }
}

// An MPEG-2 pack header with stuffing moves the video packet off byte 14:
// its flags and stamps are found where the packet puts them.
TEST(MpegFileList, Mpeg2StampsFollowThePacketAfterPackStuffing) {
    NEED_FFMPEG();
    const std::string clean = clips::Target("pal-svcd", 3);
    std::string data = ReadAll(clean);
    for (const int64_t gop : {GopSectors(data).front(), GopSectors(data).back()}) {
        char* s = data.data() + gop;
        ASSERT_EQ(uint8_t(s[13]) & 7, 0);
        ASSERT_EQ(std::string(s + 14, 4), std::string("\x00\x00\x01\xE0", 4));
        // Two stuffing bytes after the pack header; the sector's last packet
        // gives up two bytes so that the sector keeps its size.
        const int videoEnd = 20 + (uint8_t(s[18]) << 8 | uint8_t(s[19]));
        std::memmove(s + 16, s + 14, 2324 - 16);
        s[13] = char(uint8_t(s[13]) | 2);
        s[14] = s[15] = char(0xFF);
        char* last = videoEnd >= 2324 ? s + 16 : s + videoEnd + 2;
        ASSERT_EQ(std::string(last, 3), std::string("\x00\x00\x01", 3));
        const int length = (uint8_t(last[4]) << 8 | uint8_t(last[5])) - 2;
        last[4] = char(length >> 8);
        last[5] = char(length & 0xFF);
    }
    const std::string patched = clips::Scratch("stuffed_pack.mpg");
    WriteAll(patched, data);
    fakes::BuildListRig a, b;
    ASSERT_EQ(a.list.AddFile(clean), 0);
    ASSERT_EQ(b.list.AddFile(patched), 0);
    const TMpegFileInfo& x = a.list.entries[0];
    const TMpegFileInfo& y = b.list.entries[0];
    EXPECT_EQ(y.hasTimeStamps, 1);
    EXPECT_EQ(y.firstPts, x.firstPts);
    EXPECT_EQ(y.firstDts, x.firstDts);
    EXPECT_EQ(y.firstFrame, x.firstFrame);
    EXPECT_EQ(y.TimeText(), x.TimeText());
    EXPECT_EQ(y.playPictures, x.playPictures);
    EXPECT_EQ(b.list.ptsOffset, a.list.ptsOffset + 2);
}

// The time functions on an intact clip: the first GOP's stamps, the SCR of
// the pack at an offset, the walk back to the GOP sector at or before it.
TEST(MpegFileList, TimeFunctionsReadTheGopSector) {
    NEED_FFMPEG();
    const std::string clip = clips::Target("ntsc-vcd", 3);
    const std::string data = ReadAll(clip);
    const std::vector<int64_t> gops = GopSectors(data);
    ASSERT_GE(gops.size(), 3u);
    fakes::BuildListRig rig;
    ASSERT_EQ(rig.list.AddFile(clip), 0);
    const TMpegFileInfo& e = rig.list.entries[0];
    TFileIO file;
    ASSERT_EQ(file.OpenForRead(clip), 0);
    EXPECT_TRUE(rig.list.HasTimeStamps(file));
    EXPECT_EQ(rig.list.FirstGopFrame(file), 0);
    EXPECT_GT(e.firstPts, 0);
    EXPECT_GT(e.firstDts, 0);
    EXPECT_LT(e.firstDts, e.firstPts);
    // Any offset inside the sectors after a GOP walks back to it.
    int64_t at = gops[1] + 5 * 2324 + 100;
    ASSERT_LT(at, gops[2]);
    EXPECT_EQ(rig.list.GopFrameAt(file, at), 18);  // ffmpeg's NTSC GOP: 18 frames
    EXPECT_EQ(at, gops[1]);
    at = gops[1] + 1;
    double pts = 0, dts = 0;
    const int64_t frame = rig.list.PtsFrameAt(file, at, &pts, &dts);
    EXPECT_EQ(at, gops[1]);
    EXPECT_EQ(frame, int64_t(pts / 90000.0 * 30));
    EXPECT_NEAR(pts - e.firstPts, 18 * 3003, 1);  // 18 frames of 1001/30000 s
    for (int64_t offset : {int64_t(0), gops[2] + 2324, int64_t(data.size()) - 2324}) {
        EXPECT_EQ(rig.list.FirstScr(file, offset),
                  TGopTimeCode::DecodeMpeg1Scr(reinterpret_cast<const uint8_t*>(data.data()) + offset + 4));
    }
}

namespace {

// An entry of the given size, as a scan would leave it before images are
// assigned.
TMpegFileInfo Entry(int64_t size, const std::string& name = "f.mpg", int32_t minutes = 0, int32_t seconds = 0) {
    TMpegFileInfo e;
    e.size = size;
    e.endOffset = size;
    e.name = name;
    e.playMinutes = minutes;
    e.playSeconds = seconds;
    return e;
}

std::vector<int32_t> Images(const TMpegFileList& list) {
    std::vector<int32_t> out;
    for (const TMpegFileInfo& e : list.entries) out.push_back(e.image);
    return out;
}

std::vector<int32_t> Tracks(const TMpegFileList& list) {
    std::vector<int32_t> out;
    for (const TMpegFileInfo& e : list.entries) out.push_back(e.trackInImage);
    return out;
}

// The track table agrees with the entries: counts per image, image count,
// first and last track.
void ExpectTableInStep(const fakes::BuildListRig& rig) {
    const auto& entries = rig.list.entries;
    const TTrackTable& t = *rig.job.trackTable;
    std::vector<int32_t> counts;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(entries[i].image, entries[i - 1].image) << "image numbers go down at " << i;
            EXPECT_LE(entries[i].image, entries[i - 1].image + 1) << "an image is skipped at " << i;
        }
        counts.resize(size_t(std::max<int32_t>(entries[i].image, int32_t(counts.size()))), 0);
        ++counts[size_t(entries[i].image - 1)];
    }
    EXPECT_EQ(t.tracksPerImage, counts);
    EXPECT_EQ(t.lastTrack, int(entries.size()));
    EXPECT_EQ(t.lastIndex, int(entries.size()) - 1);
    EXPECT_EQ(t.imageCount, entries.empty() ? 1 : entries.back().image);
    EXPECT_EQ(rig.list.ImageCount(), entries.empty() ? 0 : entries.back().image);
}

}  // namespace

// Which image each entry lands in: bytes plus 235 frame sectors per track,
// against the capacity less the margin of the disc kind.
TEST(MpegFileList, AssignImagesCases) {
    const int64_t frame = TMpegFileList::kTrackFrameBytes;
    ASSERT_EQ(frame, 546140);
    const int64_t vcdRoom = TMpegFileList::kCapacity74 - TMpegFileList::kMarginVcd;
    struct Case {
        const char* what;
        int kind;
        const char* span;
        std::vector<int64_t> sizes;
        std::vector<int32_t> images;
    };
    const Case cases[] = {
        {"two 400 MB on a 74 min VCD", 1, "74", {400000000, 400000000}, {1, 2}},
        {"two 400 MB on a 74 min SVCD", 2, "74", {400000000, 400000000}, {1, 2}},
        {"two 400 MB on an 80 min VCD", 1, "80", {400000000, 400000000}, {1, 1}},
        {"Custom is 80 min", 2, "custom", {400000000, 400000000}, {1, 1}},
        {"no spanning", 1, "none", {800000000, 800000000, 5}, {1, 1, 1}},
        {"margin boundary: fits", 1, "74", {vcdRoom / 2 - frame, vcdRoom / 2 - frame}, {1, 1}},
        {"margin boundary: one byte over", 1, "74", {vcdRoom / 2 - frame, vcdRoom / 2 - frame + 1}, {1, 2}},
        // 40 VCD tracks of 18.7 MB fit by bytes alone; with their frames only 39 do.
        {"frame sectors", 1, "74", std::vector<int64_t>(40, 18700000), [] {
             std::vector<int32_t> v(40, 1);
             v.back() = 2;
             return v;
         }()},
        {"first entry always image 1", 1, "74", {2000000000, 10, 10}, {1, 2, 2}},
        // A disc holds 98 MPEG tracks: with spanning the 99th opens the next image.
        {"99 small tracks", 2, "80", std::vector<int64_t>(99, 1000), [] {
             std::vector<int32_t> v(99, 1);
             v.back() = 2;
             return v;
         }()},
        {"197 small tracks", 1, "74", std::vector<int64_t>(197, 1000), [] {
             std::vector<int32_t> v(197, 1);
             std::fill(v.begin() + 98, v.end(), 2);
             v.back() = 3;
             return v;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fakes::BuildListRig rig;
        rig.job.discKind = c.kind;
        const std::string span = c.span;
        rig.Span(span == "none" ? rig.imgNone : span == "74" ? rig.img74 : span == "80" ? rig.img80 : rig.imgCustom);
        for (int64_t size : c.sizes) rig.list.entries.push_back(Entry(size));
        rig.list.AssignImages();
        EXPECT_EQ(Images(rig.list), c.images);
        ExpectTableInStep(rig);
    }
}

// Manual shifts, moves and removals in a row: image numbers never go down
// the list, no image is left empty, the counts follow the entries, and the
// page's image facts show the current row's image.
TEST(MpegFileList, ShiftsMovesAndRemovals) {
    fakes::BuildListRig rig;
    const char* names[] = {"a", "b", "c", "d", "e"};
    for (int i = 0; i < 5; ++i) {
        rig.list.entries.push_back(Entry(1000, names[i], 45, 10 * i));  // 45 minutes: no BCD anywhere
        rig.list.entries.back().pause = i;
        rig.tracks.AddRow(1, i + 1, names[i], rig.list.entries.back().TimeText());
    }
    rig.list.AssignImages();
    EXPECT_EQ(rig.grid.cell(3, 1), "[00:45:00s]");

    rig.list.IncreaseImage(1);  // the first row never moves
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 1, 1, 1, 1}));
    rig.list.IncreaseImage(3);
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 1, 2, 2, 2}));
    rig.list.IncreaseImage(3);  // already begins an image
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 1, 2, 2, 2}));
    rig.list.IncreaseImage(5);
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 1, 2, 2, 3}));
    EXPECT_EQ(Tracks(rig.list), (std::vector<int32_t>{1, 2, 1, 2, 1}));
    EXPECT_EQ(rig.grid.cell(0, 5), "3");  // renumbered
    ExpectTableInStep(rig);

    // Moving the last entry up: the shift and the pause stay with the row.
    rig.list.SwapEntries(4, 3);
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 1, 2, 2, 3}));
    EXPECT_EQ(rig.list.entries[3].name, "e");
    EXPECT_EQ(rig.list.entries[4].name, "d");
    EXPECT_EQ(rig.list.entries[3].pause, 3);
    EXPECT_EQ(rig.list.entries[4].pause, 4);
    // Moving across an image boundary the other way.
    rig.list.SwapEntries(1, 2);
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 1, 2, 2, 3}));
    ExpectTableInStep(rig);

    rig.list.ReduceImage(4);  // does not begin an image
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 1, 2, 2, 3}));
    rig.list.ReduceImage(5);
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 1, 2, 2, 2}));
    rig.list.IncreaseImage(5);
    ExpectTableInStep(rig);

    // Removing every entry of image 2 leaves no empty image behind.
    rig.list.EraseEntry(2);
    rig.list.EraseEntry(2);
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 1, 2}));
    ExpectTableInStep(rig);
    // Removing the first entry: the next one becomes image 1.
    rig.list.IncreaseImage(2);
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 2, 3}));
    rig.list.EraseEntry(0);
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 2}));
    ExpectTableInStep(rig);

    // Image facts of the current row: plain minutes, past an hour.
    fakes::BuildListRig facts;
    facts.list.entries = {Entry(1, "x", 45, 30), Entry(1, "y", 69, 59), Entry(1, "z", 150, 1)};
    for (const auto& e : facts.list.entries) facts.tracks.AddRow(1, 1, e.name, e.TimeText());
    facts.list.AssignImages();
    facts.list.IncreaseImage(3);
    EXPECT_EQ(facts.list.ImagePlaySeconds(1), (45 * 60 + 30) + (69 * 60 + 59));
    EXPECT_EQ(facts.list.ImagePlaySeconds(2), 150 * 60 + 1);
    EXPECT_EQ(facts.list.ImagePlaySeconds(3), 0);
    EXPECT_EQ(facts.grid.cell(3, 2), "[01:09:59s]");
    EXPECT_EQ(facts.grid.cell(3, 3), "[02:30:01s]");
    facts.tracks.SelectRow(1);
    facts.list.ShowImageInfo();
    EXPECT_EQ(facts.imgNumLabel.caption(), "Image #: 1");
    EXPECT_EQ(facts.totalImageTime.caption(), "Total Playtime: 01:55:29s");
    facts.tracks.SelectRow(2);
    facts.list.ShowImageInfo();
    EXPECT_EQ(facts.imgNumLabel.caption(), "Image #: 2");
    EXPECT_EQ(facts.totalImageTime.caption(), "Total Playtime: 02:30:01s");
    facts.tracks.Clear();
    facts.list.ShowImageInfo();
    EXPECT_EQ(facts.imgNumLabel.caption(), "Image #: ");
    EXPECT_EQ(facts.totalImageTime.caption(), "Total Playtime: ");
}

// An image never takes more than a disc holds: without spanning the 99th
// file is refused before it is read or logged; a shift that would put more
// than 98 tracks or more than the capacity into an image is undone and said.
TEST(MpegFileList, FullImagesRefuseTheNextTrack) {
    const std::string clip = std::string(PELLMOR_FIXTURES) + "/clip_short_vcd.mpg";
    fakes::BuildListRig rig;
    for (int i = 0; i < 98; ++i) ASSERT_EQ(rig.list.AddFile(clip), 0) << i;
    const std::vector<std::string> before = LogLines(rig.log);
    EXPECT_EQ(rig.list.AddFile(clip), result::kFailed);
    EXPECT_EQ(rig.list.entries.size(), 98u);
    EXPECT_EQ(rig.list.fileNames.size(), 98u);
    std::vector<std::string> expected = before;
    expected.push_back("[clip_short_vcd.mpg]");
    expected.push_back("     Cannot exceed 99 video tracks.");
    EXPECT_EQ(LogLines(rig.log), expected);
    EXPECT_EQ(rig.tracks.RowCount(), 98);

    // Shifted by hand into two images, the second takes files again; the
    // shift that would join them is undone.
    rig.list.IncreaseImage(60);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(rig.list.AddFile(clip), 0) << i;
    EXPECT_EQ(rig.job.trackTable->tracksPerImage, (std::vector<int32_t>{59, 49}));
    EXPECT_FALSE(rig.list.ReduceImage(60));
    EXPECT_EQ(rig.job.trackTable->tracksPerImage, (std::vector<int32_t>{59, 49}));
    EXPECT_EQ(LogLines(rig.log).end()[-2], "[img -]");
    ExpectTableInStep(rig);

    // 400 MB and 300 MB fill a 74-minute VCD; the next 300 MB goes on and may
    // not be pulled back.
    fakes::BuildListRig span;
    span.Span(span.img74);
    span.list.entries = {Entry(400000000), Entry(300000000), Entry(300000000)};
    for (const auto& e : span.list.entries) span.tracks.AddRow(1, 1, e.name, e.TimeText());
    span.list.AssignImages();
    ASSERT_EQ(Images(span.list), (std::vector<int32_t>{1, 1, 2}));
    EXPECT_FALSE(span.list.ReduceImage(3));
    EXPECT_EQ(Images(span.list), (std::vector<int32_t>{1, 1, 2}));
    EXPECT_EQ(span.grid.cell(0, 3), "2");
    EXPECT_EQ(LogLines(span.log).back(),
              "img -: image 1 would need 1021.6 MB of a disc that holds 771.0 MB; the track stays in image 2.");
    // One that fits comes back.
    span.list.IncreaseImage(2);
    ASSERT_EQ(Images(span.list), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_TRUE(span.list.ReduceImage(2));
    EXPECT_EQ(Images(span.list), (std::vector<int32_t>{1, 1, 2}));
    ExpectTableInStep(span);
}

// With spanning on, a file that fits stays whole, its last sector
// included, and lands in the next image when the current is full.
TEST(MpegFileList, WholeFileUnderACapacityKeepsItsLastSector) {
    NEED_FFMPEG();
    const std::string clip = clips::Target("pal-vcd", 3);
    const std::string data = ReadAll(clip);
    ASSERT_EQ(data.substr(data.size() - 2324, 4), std::string("\x00\x00\x01\xBA", 4));  // a pack of its own
    fakes::BuildListRig rig;
    const int64_t capacity = 2 * (int64_t(data.size()) + TMpegFileList::kTrackFrameBytes) - 1;
    rig.list.SetCapacityOverride(capacity);
    rig.list.SetMarginOverride(0);
    rig.pauseTimeMsg.setText("16");
    ASSERT_EQ(rig.list.AddFile(clip), 0);
    rig.pauseTimeMsg.setText("2");
    ASSERT_EQ(rig.list.AddFile(clip), 0);
    EXPECT_EQ(rig.list.entries[0].pause, 16);
    EXPECT_EQ(rig.list.entries[1].pause, 2);
    ASSERT_EQ(rig.list.entries.size(), 2u);
    for (const TMpegFileInfo& e : rig.list.entries) {
        EXPECT_EQ(e.endOffset, int64_t(data.size()));
        EXPECT_EQ(e.split, 0);
        EXPECT_EQ(e.firstScr, TGopTimeCode::DecodeMpeg1Scr(reinterpret_cast<const uint8_t*>(data.data()) + 4));
    }
    EXPECT_EQ(Images(rig.list), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(rig.grid.rows(), (std::vector<std::string>{"1|1|" + clip + "|[00:00:03s]", "2|1|" + clip + "|[00:00:03s]"}));
    EXPECT_EQ(rig.list.fileNames.size(), 2u);
}

// The pieces as files of their own are streams an independent image
// builder takes as VCD tracks, and together they play the whole clip.
TEST(MpegFileList, PiecesAreTracksVcdimagerTakes) {
    NEED_FFMPEG();
    if (std::system("command -v vcdimager >/dev/null 2>&1") != 0) GTEST_SKIP() << "vcdimager not installed";
    const std::string clip = clips::Target("pal-vcd", 40);
    const std::string data = ReadAll(clip);
    fakes::BuildListRig rig;
    rig.list.SetCapacityOverride(3000000);
    rig.list.SetMarginOverride(500000);
    ASSERT_EQ(rig.list.AddFile(clip), 0);
    ASSERT_GE(rig.list.entries.size(), 3u);
    std::string names;
    double seconds = 0;
    for (size_t i = 0; i < rig.list.entries.size(); ++i) {
        const TMpegFileInfo& p = rig.list.entries[i];
        const std::string piece = clips::Scratch("piece" + std::to_string(i + 1) + ".mpg");
        WriteAll(piece, data.substr(size_t(p.startOffset), size_t(p.size)));
        EXPECT_EQ(clips::Probe(piece, "v", "stream=width"), "352");
        seconds += std::stod(clips::Probe(piece, "v", "stream=duration"));
        names += " '" + piece + "'";
    }
    EXPECT_NEAR(seconds, std::stod(clips::Probe(clip, "v", "stream=duration")), 0.05);
    const std::string cue = clips::Scratch("pieces.cue"), bin = clips::Scratch("pieces.bin");
    const std::string command = "vcdimager -t vcd2 -c '" + cue + "' -b '" + bin + "'" + names + " 2>&1";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        EXPECT_EQ(::pclose(p), 0) << out;
    }
    EXPECT_NE(out.find("finished ok"), std::string::npos) << out;
}
