// The clip editor's model and its GOP locator on ffmpeg clips: 6 s PAL VCD
// (GOPs every 15 frames at 0..135), its copies with time codes from ten
// minutes, all time codes zero and frame-rate code 9, and a stream without
// video.
#include "tools/sample_clip.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/language_set.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "tests/engine/job_harness.h"
#include "disc/mpeg_file_list.h"
#include "disc/time_code.h"
#include "disc/vcd_track_list.h"
#include "tests/support/media_player_fake.h"
#include "tools/gop_locator.h"

namespace {

using harness::Fixture;

struct Editor : ::testing::Test {
    TConfig config;
    TLanguageSet texts;
    fakes::RecordingMediaPlayer player;
    std::vector<std::pair<int, std::string>> errors;
    TSampleClipEditor editor{&config, &texts, &player,
                             [this](int index, const std::string& text) { errors.emplace_back(index, text); }};

    void Open(const std::string& name) { ASSERT_EQ(editor.OpenMpegFile(Fixture(name)), 0) << name; }
    // GOP frames seen by stepping forward from the first GOP.
    std::vector<int64_t> StepAll() {
        std::vector<int64_t> frames{editor.currentPosition};
        for (int i = 0; i < 50; ++i) {
            const int64_t gop = editor.cursor.lastGop;
            editor.vidTCUpDownClick(true);
            if (editor.cursor.lastGop == gop) break;
            frames.push_back(editor.currentPosition);
        }
        return frames;
    }
};

TEST_F(Editor, FrameRatesAndTimeCodes) {
    EXPECT_DOUBLE_EQ(FrameRateForCode(3), 25.0);
    EXPECT_DOUBLE_EQ(FrameRateForCode(1), 23.976);
    // Off the table: as a stream without a sequence header.
    for (int code : {0, 9, 15}) EXPECT_DOUBLE_EQ(FrameRateForCode(code), 29.97) << code;

    struct Case {
        const char* file;
        double rate;
    } cases[] = {{"sample_pal_vcd.mpg", 25.0}, {"sample_ntsc_vcd.mpg", 29.97}, {"sample_pal_svcd.mpg", 25.0},
                 {"sample_rate9.mpg", 29.97}, {"sample_no_video.mpg", 29.97}};
    for (const Case& c : cases) {
        TFileIO f;
        ASSERT_EQ(f.OpenForRead(Fixture(c.file)), 0);
        EXPECT_DOUBLE_EQ(DetectFrameRate(f), c.rate) << c.file;
        EXPECT_EQ(f.position, 0u);
    }

    editor.frameRate = 29.97;
    EXPECT_EQ(editor.FormatTimeCode(0), "00:00:00.00");
    EXPECT_EQ(editor.FormatTimeCode(30), "00:00:01.00");
    EXPECT_EQ(editor.FormatTimeCode(29), "00:00:00.29");
    EXPECT_EQ(editor.FormatTimeCode(30 * 3661 + 5), "01:01:01.05");
    editor.frameRate = 23.976;
    EXPECT_EQ(editor.FormatTimeCode(24), "00:00:01.00");

    // The patched rate code opens, and its times still divide.
    Open("sample_rate9.mpg");
    EXPECT_DOUBLE_EQ(editor.frameRate, 29.97);
    editor.SeekBarChange(100);
    EXPECT_EQ(editor.currentTC, editor.FormatTimeCode(editor.currentPosition));
}

TEST_F(Editor, OpensAndStepsThroughEveryGop) {
    Open("sample_pal_vcd.mpg");
    EXPECT_EQ(editor.filenameText, Fixture("sample_pal_vcd-sample.mpg"));
    EXPECT_EQ(editor.grid[1][2], Fixture("sample_pal_vcd.mpg"));
    EXPECT_EQ(editor.LastFrame(), 135);
    EXPECT_EQ(StepAll(), (std::vector<int64_t>{0, 15, 30, 45, 60, 75, 90, 105, 120, 135}));
    // Back down again, to the first GOP and no further.
    std::vector<int64_t> back;
    for (int i = 0; i < 12; ++i) {
        editor.vidTCUpDownClick(false);
        back.push_back(editor.currentPosition);
    }
    EXPECT_EQ(back, (std::vector<int64_t>{120, 105, 90, 75, 60, 45, 30, 15, 0, 0, 0, 0}));

    // Times count from the first GOP, whatever its own time code says.
    Open("sample_pal_vcd_tc.mpg");
    EXPECT_EQ(editor.timeBase, 10 * 60 * 25);
    EXPECT_EQ(editor.currentTC, "00:00:00.00");
    EXPECT_EQ(StepAll().back(), 135);
}

TEST_F(Editor, RefusesSourcesWithoutAGop) {
    const harness::TempFolder dir;
    std::ofstream(dir / "short.mpg", std::ios::binary) << std::string("\x00\x00\x01\xBA\x21", 5);
    for (const std::string& path : {Fixture("sample_no_video.mpg"), dir / "short.mpg", Fixture("bad_random.bin")}) {
        errors.clear();
        EXPECT_EQ(editor.OpenMpegFile(path), msg::error::kNoMpegStream) << path;
        ASSERT_EQ(errors.size(), 1u) << path;
        EXPECT_EQ(errors[0], std::make_pair(msg::error::kNoMpegStream, path));
        EXPECT_FALSE(editor.SourceOpen());
        EXPECT_FALSE(editor.HasRows());
        EXPECT_EQ(editor.filenameText, "");
    }
    // Not openable: no message, no source.
    errors.clear();
    EXPECT_EQ(editor.OpenMpegFile(dir / "missing.mpg"), result::kCannotOpen);
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(editor.seekEnabled);
}

TEST_F(Editor, GopHeaderNeedsItsWholeTimeCode) {
    const harness::TempFolder dir;
    // A bare stream ending 5 bytes after a GOP start code, and one whose
    // header is whole.
    std::string cut(2324, '\0');
    cut.replace(2324 - 7, 4, std::string("\x00\x00\x01\xB8", 4));
    std::ofstream(dir / "cut.m2v", std::ios::binary) << cut;
    TFileIO f;
    ASSERT_EQ(f.OpenForRead(dir / "cut.m2v"), 0);
    uint8_t buffer[kClipSectorSize];
    TGopCursor cursor;
    EXPECT_EQ(cursor.FindFirstGop(f, buffer) & (kGopFound | kGopNotFound), kGopNotFound);

    // A header split across two video packets is read from both.
    std::string sectors(2 * 2324, '\0');
    auto pack = [&](size_t at) {
        const unsigned char head[] = {0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0x1B, 0x91,
                                      0, 0, 1, 0xE0, 0x09, 0x02, 0x0F};
        sectors.replace(at, sizeof head, reinterpret_cast<const char*>(head), sizeof head);
    };
    pack(0);
    pack(2324);
    sectors.replace(2324 - 6, 6, std::string("\x00\x00\x01\xB8\x00\x08", 6));  // 01:00 ... split here
    sectors.replace(2324 + 19, 2, std::string("\x20\x00", 2));
    std::ofstream(dir / "split.mpg", std::ios::binary) << sectors;
    TFileIO g;
    ASSERT_EQ(g.OpenForRead(dir / "split.mpg"), 0);
    ASSERT_EQ(cursor.FindFirstGop(g, buffer) & kGopFound, kGopFound);
    EXPECT_EQ(cursor.lastGop, 0);
    TGopTimeCode tc;
    tc.Read(cursor.header);
    EXPECT_EQ(tc.seconds, 1);
    EXPECT_EQ(tc.pictures, 0);
}

TEST_F(Editor, StatesAndTheOutPointNeverBeforeTheIn) {
    // No source: nothing to edit.
    editor.FormShow();
    EXPECT_FALSE(editor.editingEnabled);
    EXPECT_EQ(editor.okButtonClick(), platform::kCancel);
    EXPECT_EQ(editor.clipSet, 0);

    Open("sample_pal_vcd.mpg");
    editor.FormShow();
    EXPECT_TRUE(editor.editingEnabled);
    EXPECT_FALSE(editor.okEnabled);
    EXPECT_EQ(editor.commentsLabel, texts.hint(msg::hint::kSetStart));
    // OK without an in point closes as Cancel does.
    EXPECT_EQ(editor.okButtonClick(), platform::kCancel);
    EXPECT_EQ(editor.clipSet, 0);

    editor.SeekBarChange(50);
    const int64_t in = editor.currentPosition;
    const int64_t inOffset = editor.cursor.lastGop;
    ASSERT_GT(in, 0);
    editor.markButtonClick();
    // A clip of no length is no clip: OK waits for a picture after the in
    // point, and a click on it leaves the window open with no clip.
    EXPECT_FALSE(editor.okEnabled);
    EXPECT_EQ(editor.okButtonClick(), 0);
    EXPECT_EQ(editor.clipSet, 0);
    EXPECT_EQ(editor.inLabel, "In: " + editor.FormatTimeCode(in));
    EXPECT_EQ(editor.commentsLabel, texts.hint(msg::hint::kSetEnd));

    // Seeking or stepping before the in point stays at it.
    editor.SeekBarChange(5);
    EXPECT_EQ(editor.currentPosition, in);
    EXPECT_EQ(editor.outOffset, inOffset);
    EXPECT_EQ(editor.seekPosition, 50);
    editor.vidTCUpDownClick(false);
    EXPECT_EQ(editor.currentPosition, in);
    editor.vidTCUpDownClick(true);
    editor.vidTCUpDownClick(true);
    editor.vidTCUpDownClick(false);
    EXPECT_EQ(editor.outFrame, in + 15);
    EXPECT_EQ(editor.sampleLength, 15);
    EXPECT_EQ(editor.sampleTC, "00:00:00.15");
    EXPECT_GT(editor.outOffset, inOffset);
    EXPECT_TRUE(editor.okEnabled);
    for (int i = 0; i < 5; ++i) editor.vidTCUpDownClick(false);
    EXPECT_EQ(editor.outFrame, in);
    EXPECT_EQ(editor.outOffset, inOffset);
    EXPECT_FALSE(editor.okEnabled) << "back at the in point";

    editor.SeekBarChange(100);
    EXPECT_EQ(editor.okButtonClick(), platform::kOk);
    EXPECT_EQ(editor.clipSet, 1);
    const TSampleClipDescription d = editor.Description();
    EXPECT_EQ(d.inFrame, in);
    EXPECT_EQ(d.outFrame, 135);
    EXPECT_EQ(d.discKind, 1);

    // An empty name keeps the window open with error 30.
    editor.SetFilenameText("");
    EXPECT_EQ(editor.okButtonClick(), 0);

    // Clear goes back to the source-open state.
    editor.SetFilenameText("x.mpg");
    editor.clearButtonClick();
    EXPECT_EQ(editor.inMarked, 0);
    EXPECT_FALSE(editor.okEnabled);
    EXPECT_EQ(editor.currentTC, "00:00:00.00");
    EXPECT_EQ(editor.inLabel, "In:");
    EXPECT_TRUE(editor.SourceOpen());

    editor.ResetEditor();
    EXPECT_FALSE(editor.SourceOpen());
    EXPECT_EQ(editor.grid.size(), 2u);
    EXPECT_EQ(editor.filenameText, "");
}

TEST_F(Editor, SetSampleLengthEndsOnEverySource) {
    Open("sample_pal_vcd.mpg");
    editor.markButtonClick();
    // Longer than the rest of the source: stops at the end, shorter.
    EXPECT_EQ(editor.SetSampleLength(30), 5);
    EXPECT_EQ(editor.outFrame, 135);
    EXPECT_EQ(editor.SetSampleLength(2), 2);
    EXPECT_EQ(editor.WholeSeconds(editor.outFrame - editor.inFrame), 2);
    EXPECT_EQ(editor.SetSampleLength(0), 0);

    // Time codes that never rise: returns instead of looping.
    Open("sample_tc_zero.mpg");
    editor.markButtonClick();
    EXPECT_EQ(editor.SetSampleLength(30), 0);
    EXPECT_EQ(editor.SetSampleLength(60), 0);
    editor.SeedRandom(7);
    editor.ButtonRandomClick();
    editor.randomButtonClick();
    EXPECT_GE(editor.seekPosition, 1);
    EXPECT_LE(editor.seekPosition, 99);
}

TEST_F(Editor, ClipStateRoundTripsAndHostileStatesAreRefused) {
    Open("sample_pal_vcd.mpg");
    editor.SeekBarChange(20);
    editor.markButtonClick();
    editor.SeekBarChange(70);
    TSampleClipState saved;
    ASSERT_TRUE(editor.SaveClipState(saved));
    EXPECT_EQ(saved.row, 1);
    EXPECT_EQ(saved.inSeekPosition, 20);
    EXPECT_EQ(saved.outSeekPosition, 70);
    EXPECT_EQ(saved.inOffset % 2324, 0);

    uint8_t stored[TSampleClipState::kStoredSize];
    saved.Store(stored);
    EXPECT_EQ(stored[20], static_cast<uint8_t>(saved.inOffset));  // field 6, little-endian
    EXPECT_EQ(TSampleClipState::Load(stored), saved);

    const TSampleClipDescription before = editor.Description();
    editor.clearButtonClick();
    ASSERT_TRUE(editor.RestoreClipState(saved));
    const TSampleClipDescription after = editor.Description();
    EXPECT_EQ(after.inOffset, before.inOffset);
    EXPECT_EQ(after.outOffset, before.outOffset);
    EXPECT_EQ(after.inFrame, before.inFrame);
    EXPECT_EQ(after.outFrame, before.outFrame);
    EXPECT_EQ(editor.inMarked, 1);
    EXPECT_EQ(editor.outLabel, "Out: " + editor.FormatTimeCode(saved.outFrame));

    struct Case {
        const char* what;
        void (*spoil)(TSampleClipState&);
    } cases[] = {
        {"row past the grid", [](TSampleClipState& s) { s.row = 2; }},
        {"row 0", [](TSampleClipState& s) { s.row = 0; }},
        {"negative offset", [](TSampleClipState& s) { s.inOffset = -2324; }},
        {"offset past the end", [](TSampleClipState& s) { s.outOffset = 2324 * 100000; }},
        {"offset off the sector grid", [](TSampleClipState& s) { s.inOffset += 1; }},
        {"out before in", [](TSampleClipState& s) { std::swap(s.inOffset, s.outOffset); }},
        {"frame not the GOP's", [](TSampleClipState& s) { s.outFrame += 1; }},
        {"seek position above 100", [](TSampleClipState& s) { s.outSeekPosition = 101; }},
        {"negative seek position", [](TSampleClipState& s) { s.inSeekPosition = -1; }},
        {"sector without a GOP", [](TSampleClipState& s) { s.inOffset += 2324; }},
    };
    for (const Case& c : cases) {
        TSampleClipState s = saved;
        c.spoil(s);
        EXPECT_FALSE(editor.RestoreClipState(s)) << c.what;
        EXPECT_EQ(editor.inMarked, 0) << c.what;
        EXPECT_EQ(editor.clipSet, 0) << c.what;
    }

    // An offset of 2 GiB or more does not fit the stored state.
    editor.RestoreClipState(saved);
    editor.outOffset = int64_t{1} << 31;
    TSampleClipState untouched{1, 2, 3, 4, 5, 6, 7};
    EXPECT_FALSE(editor.SaveClipState(untouched));
    EXPECT_EQ(untouched, (TSampleClipState{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(Editor, CancelRestoresTheStateShown) {
    Open("sample_pal_vcd.mpg");
    editor.SeekBarChange(30);
    editor.markButtonClick();
    editor.SeekBarChange(60);
    const TSampleClipDescription shown = editor.Description();
    editor.FormShow();
    editor.SeekBarChange(90);
    editor.SetFilenameText("");
    EXPECT_EQ(editor.cancelButtonClick(), platform::kCancel);
    EXPECT_EQ(editor.Description().outFrame, shown.outFrame);
    EXPECT_EQ(editor.filenameText, Fixture("sample_pal_vcd-sample.mpg"));
}

TEST_F(Editor, PlayerCalls) {
    config.PreviewVideo = 1;
    Open("sample_pal_vcd.mpg");
    ASSERT_FALSE(player.calls.empty());
    EXPECT_EQ(player.calls.front(), "FileName=" + Fixture("sample_pal_vcd.mpg"));
    // Not ready yet: a seek leaves the player alone.
    player.calls.clear();
    editor.SeekBarChange(50);
    EXPECT_TRUE(player.calls.empty());
    // Ready: the first picture, then a seek pauses and positions.
    player.ReadyStateChange = [this](int s) { editor.ActiveMovie1ReadyStateChange(s); };
    player.RaiseReady();
    EXPECT_EQ(player.calls, (std::vector<std::string>{"Pause", "CurrentPosition=0.000000"}));
    player.play();
    player.calls.clear();
    editor.SeekBarChange(50);
    EXPECT_EQ(player.calls.front(), "Pause");
    EXPECT_DOUBLE_EQ(player.position, static_cast<double>(editor.currentPosition) / 25.0);
    EXPECT_EQ(editor.durationLabel, "6.00");
    editor.markButtonClick();
    editor.vidTCUpDownClick(true);
    player.calls.clear();
    EXPECT_EQ(editor.okButtonClick(), platform::kOk);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"Stop"}));
    // Reset unloads it.
    editor.ResetEditor();
    EXPECT_EQ(player.fileName(), "");
}

TEST_F(Editor, BuildListModeOpensTheRowsEntries) {
    TJob job;
    TMpegFileList files(&job, &config);
    TVcdTrackList list;  // without a grid
    list.Clear();
    struct Row {
        const char* file;
        double rate;
    } rows[] = {{"sample_ntsc_vcd.mpg", 29.97}, {"sample_pal_vcd.mpg", 25.0}};
    for (const Row& r : rows) {
        TMpegFileInfo e;
        e.name = Fixture(r.file);
        e.frameRate = r.rate;
        e.image = 1;
        e.trackInImage = static_cast<int32_t>(files.entries.size()) + 1;
        files.entries.push_back(e);
        list.AddRow(e.image, e.trackInImage, e.name, e.TimeText());
    }
    ASSERT_EQ(list.RowCount(), 2);
    ASSERT_EQ(editor.OpenTrackList(list, files, 1), 0);
    EXPECT_EQ(editor.plainFile, 0);
    EXPECT_EQ(editor.grid.size(), 3u);
    EXPECT_EQ(editor.grid[2][2], Fixture("sample_pal_vcd.mpg"));
    // The rate is the entry's, the clip name the file's without its folder.
    EXPECT_DOUBLE_EQ(editor.frameRate, 29.97);
    EXPECT_EQ(editor.filenameText, "sample_ntsc_vcd-sample.mpg");
    EXPECT_EQ(editor.LastFrame(), 72);
    editor.SeekBarChange(50);
    editor.markButtonClick();
    // Another row reopens the source: no clip, position 0.
    ASSERT_EQ(editor.TrackListGridClick(2), 0);
    EXPECT_DOUBLE_EQ(editor.frameRate, 25.0);
    EXPECT_EQ(editor.filenameText, "sample_pal_vcd-sample.mpg");
    EXPECT_EQ(editor.inMarked, 0);
    EXPECT_EQ(editor.currentPosition, 0);
    EXPECT_EQ(editor.LastFrame(), 135);
    EXPECT_EQ(editor.Description().sourcePath, Fixture("sample_pal_vcd.mpg"));
    TSampleClipState s;
    editor.SeekBarChange(40);
    editor.markButtonClick();
    editor.SeekBarChange(80);
    ASSERT_TRUE(editor.SaveClipState(s));
    EXPECT_EQ(s.row, 2);
    editor.TrackListGridClick(1);
    ASSERT_TRUE(editor.RestoreClipState(s));
    EXPECT_EQ(editor.Description().sourcePath, Fixture("sample_pal_vcd.mpg"));
}

}  // namespace
