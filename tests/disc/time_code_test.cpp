#include "disc/time_code.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/language_set.h"
#include "core/records.h"
#include "tests/support/fakes.h"

namespace {

std::vector<uint8_t> ReadFixture(const std::string& name) {
    std::ifstream f(std::string(PELLMOR_FIXTURES) + "/sectors/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

using Field = std::array<uint8_t, 5>;

Field Mpeg1(uint64_t v) {
    Field f{};
    TGopTimeCode::EncodeMpeg1Scr(f.data(), v);
    return f;
}

Field Mpeg2(uint64_t v) {
    Field f{};
    TGopTimeCode::EncodeMpeg2Scr(f.data(), v);
    return f;
}

// A GOP header with the given time code, drop-frame and marker set, closed
// and broken-link clear.
std::array<uint8_t, 8> Gop(uint32_t h, uint32_t m, uint32_t s, uint32_t p) {
    uint32_t tc = (1u << 24) | (h << 19) | (m << 13) | (1u << 12) | (s << 6) | p;  // bits 32..56
    uint64_t bits = uint64_t(tc) << 7;  // bits 32..63 of the header
    return {0, 0, 1, 0xB8, uint8_t(bits >> 24), uint8_t(bits >> 16), uint8_t(bits >> 8), uint8_t(bits)};
}

}  // namespace

// Every GOP header of ffmpeg clips at 25, 29.97 and 23.976 frames per second:
// the frame numbers step by the GOP length and every header is written back
// unchanged, directly and through its frame number.
TEST(GopTimeCode, FfmpegHeadersReadAndWriteBackUnchanged) {
    struct Case {
        const char* file;
        double fps;
        int gopLength;
    };
    for (const Case& c : {Case{"gop_pal.bin", 25.0, 15}, Case{"gop_ntsc.bin", 30000.0 / 1001, 18},
                          Case{"gop_film.bin", 24000.0 / 1001, 12}}) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> all = ReadFixture(c.file);
        ASSERT_GE(all.size(), 32u);
        ASSERT_EQ(all.size() % 8, 0u);
        for (size_t i = 0; i < all.size() / 8; ++i) {
            SCOPED_TRACE(i);
            const uint8_t* h = all.data() + 8 * i;
            TGopTimeCode tc;
            tc.Read(h);
            EXPECT_EQ(tc.FrameNumber(c.fps), int64_t(i) * c.gopLength);

            std::array<uint8_t, 8> w;
            std::memcpy(w.data(), h, 8);
            EXPECT_EQ(tc.Write(w.data(), tc.hours, tc.minutes, tc.seconds, tc.pictures, 0), 57);
            EXPECT_EQ(std::memcmp(w.data(), h, 8), 0);
            tc.WriteFrameNumber(w.data(), tc.FrameNumber(c.fps), c.fps, 0);
            EXPECT_EQ(std::memcmp(w.data(), h, 8), 0);
            tc.ShiftBack(w.data(), 0, c.fps);
            EXPECT_EQ(std::memcmp(w.data(), h, 8), 0);
            if (i > 0) {
                // One GOP back gives the previous header's time code bits.
                tc.ShiftBack(w.data(), c.gopLength, c.fps);
                const uint8_t* prev = h - 8;
                EXPECT_EQ(std::memcmp(w.data() + 4, prev + 4, 3), 0);
                EXPECT_EQ(w[7] & 0x80, prev[7] & 0x80);
            }
        }
    }
}

// At 29.97 fps a GOP time code counts 30 pictures a second; counting 29 made
// the time codes run backwards.
TEST(GopTimeCode, NtscFrameNumbersUseTheNominalRate) {
    const double ntsc = 30000.0 / 1001;
    std::vector<uint8_t> all = ReadFixture("gop_ntsc.bin");
    ASSERT_GE(all.size(), 24u);
    std::array<uint8_t, 8> w{};
    std::memcpy(w.data(), all.data(), 8);
    TGopTimeCode tc;
    tc.WriteFrameNumber(w.data(), 36, ntsc, 0);
    EXPECT_EQ(std::memcmp(w.data() + 4, all.data() + 16 + 4, 3), 0);  // ffmpeg's 00:00:01.06
    tc.Read(w.data());
    EXPECT_EQ(tc.seconds, 1);
    EXPECT_EQ(tc.pictures, 6);

    struct Case {
        int64_t frame;
        double fps;
        int h, m, s, p;
    };
    const Case cases[] = {
        {100, 25.0, 0, 0, 4, 0},
        {100, ntsc, 0, 0, 3, 10},
        {29, ntsc, 0, 0, 0, 29},
        {30, ntsc, 0, 0, 1, 0},
        {47, 24000.0 / 1001, 0, 0, 1, 23},
        {119, 60000.0 / 1001, 0, 0, 1, 59},
        {2 * 3600 * 30 + 61 * 30 + 5, 29.97, 2, 1, 1, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame);
        auto g = Gop(0, 0, 0, 0);
        tc.WriteFrameNumber(g.data(), c.frame, c.fps, 0);
        EXPECT_EQ(g, Gop(c.h, c.m, c.s, c.p));
        tc.Read(g.data());
        EXPECT_EQ(tc.FrameNumber(c.fps), c.frame);
    }
    // Frame numbers of consecutive pictures never go backwards.
    int64_t last = -1;
    for (int64_t f = 0; f < 200; ++f) {
        auto g = Gop(0, 0, 0, 0);
        tc.WriteFrameNumber(g.data(), f, ntsc, 0);
        tc.Read(g.data());
        int64_t n = tc.FrameNumber(ntsc);
        ASSERT_GT(n, last);
        last = n;
    }
}

TEST(GopTimeCode, FieldsAndFlags) {
    auto g = Gop(1, 2, 3, 4);
    TGopTimeCode tc;
    tc.Read(g.data());
    EXPECT_EQ(tc.hours, 1);
    EXPECT_EQ(tc.minutes, 2);
    EXPECT_EQ(tc.seconds, 3);
    EXPECT_EQ(tc.pictures, 4);
    EXPECT_EQ(tc.Seconds(), 3723u);

    // Written over another code, drop-frame and marker bits untouched.
    auto w = Gop(31, 63, 59, 63);
    tc.Write(w.data(), 1, 2, 3, 4, 0);
    EXPECT_EQ(w, g);

    // closed == 1 sets closed GOP and broken link; otherwise they stay.
    tc.Write(w.data(), 1, 2, 3, 4, 1);
    EXPECT_EQ(w[7] & 0x60, 0x60);
    tc.Write(w.data(), 1, 2, 3, 4, 0);
    EXPECT_EQ(w[7] & 0x60, 0x60);

    // Stepping back past the start gives 00:00:00.00 and keeps both flags.
    for (uint8_t flags : {uint8_t(0x00), uint8_t(0x60)}) {
        auto s = Gop(0, 0, 2, 5);
        s[7] |= flags;
        tc.ShiftBack(s.data(), 1000, 25.0);
        auto want = Gop(0, 0, 0, 0);
        want[7] |= flags;
        EXPECT_EQ(s, want);
    }
}

TEST(GopTimeCode, NominalRates) {
    struct Case {
        double fps;
        int32_t nominal;
    };
    for (const Case& c : {Case{23.976, 24}, Case{24000.0 / 1001, 24}, Case{24, 24}, Case{25, 25},
                          Case{29.97, 30}, Case{30, 30}, Case{50, 50}, Case{59.94, 60}, Case{0, 1},
                          Case{-5, 1}}) {
        EXPECT_EQ(NominalFrameRate(c.fps), c.nominal) << c.fps;
    }
    // A nonsense rate never divides by zero.
    auto g = Gop(0, 0, 0, 0);
    TGopTimeCode tc;
    tc.WriteFrameNumber(g.data(), 10, 0.0, 0);
    tc.Read(g.data());
    EXPECT_EQ(tc.FrameNumber(0.0), 10);
}

TEST(ClockFields, ZeroVectors) {
    EXPECT_EQ(Mpeg1(0), (Field{0x21, 0x00, 0x01, 0x00, 0x01}));
    EXPECT_EQ(Mpeg2(0), (Field{0x44, 0x00, 0x04, 0x00, 0x04}));
    Field pts = {0x31, 0xFF, 0xFF, 0xFF, 0xFF};
    TGopTimeCode::ReplacePts(pts.data(), 0);
    EXPECT_EQ(pts, (Field{0x31, 0x00, 0x01, 0x00, 0x01}));
}

// Each bit of the 33-bit value on its own and with every bit below it.
TEST(ClockFields, RoundTripsAtEveryBitBoundary) {
    std::vector<uint64_t> values = {0, kClockMask, 0x155555555ull, 0x0AAAAAAAAull};
    for (int k = 0; k < 33; ++k) {
        values.push_back(uint64_t(1) << k);
        values.push_back((uint64_t(1) << k) - 1);
    }
    for (uint64_t v : values) {
        SCOPED_TRACE(v);
        Field a = Mpeg1(v);
        EXPECT_EQ(a[0] & 0xF1, 0x21);
        EXPECT_EQ(a[2] & 1, 1);
        EXPECT_EQ(a[4] & 1, 1);
        EXPECT_EQ(TGopTimeCode::DecodeMpeg1Scr(a.data()), v);
        EXPECT_EQ(TGopTimeCode::DecodePts(a.data()), double(v));

        Field b = Mpeg2(v);
        EXPECT_EQ(b[0] & 0xC4, 0x44);
        EXPECT_EQ(b[2] & 0x04, 0x04);
        EXPECT_EQ(b[4] & 0x07, 0x04);  // marker, extension bits 8-7 zero
        EXPECT_EQ(TGopTimeCode::DecodeMpeg2Scr(b.data()), v);

        Field p = {0x20, 0, 0, 0, 0};
        TGopTimeCode::ReplacePts(p.data(), v);
        EXPECT_EQ(p[0] >> 4, 2);
        EXPECT_EQ(TGopTimeCode::DecodePts(p.data()), double(v));
    }
    // Beyond 33 bits nothing is kept.
    EXPECT_EQ(TGopTimeCode::DecodeMpeg1Scr(Mpeg1(uint64_t(1) << 33).data()), 0u);
    Field sec = Mpeg1(90000);
    EXPECT_DOUBLE_EQ(TGopTimeCode::PtsSeconds(sec.data()), 1.0);
}

TEST(ClockFields, ShiftScrFloorsAtZeroInBothLayouts) {
    // ffmpeg packs: the second SCR shifted by the step gives the first back.
    std::vector<uint8_t> m1 = ReadFixture("pack_mpeg1.bin"), m2 = ReadFixture("pack_mpeg2.bin");
    ASSERT_EQ(m1.size(), 48u);
    ASSERT_EQ(m2.size(), 56u);
    const uint8_t* a1 = m1.data() + 4;
    const uint8_t* b1 = m1.data() + 12 + 4;
    uint64_t step1 = TGopTimeCode::DecodeMpeg1Scr(b1) - TGopTimeCode::DecodeMpeg1Scr(a1);
    EXPECT_GT(step1, 0u);
    Field f;
    std::memcpy(f.data(), b1, 5);
    TGopTimeCode::ShiftScr(f.data(), step1, 1);
    EXPECT_EQ(std::memcmp(f.data(), a1, 5), 0);

    const uint8_t* a2 = m2.data() + 4;
    const uint8_t* b2 = m2.data() + 14 + 4;
    uint64_t step2 = TGopTimeCode::DecodeMpeg2Scr(b2) - TGopTimeCode::DecodeMpeg2Scr(a2);
    EXPECT_GT(step2, 0u);
    std::array<uint8_t, 6> g;
    std::memcpy(g.data(), b2, 6);
    TGopTimeCode::ShiftScr(g.data(), step2, 2);
    EXPECT_EQ(std::memcmp(g.data(), a2, 6), 0);

    Field big = Mpeg1(1000);
    TGopTimeCode::ShiftScr(big.data(), 5000, 1);
    EXPECT_EQ(big, Mpeg1(0));
    Field big2 = Mpeg2(1000);
    TGopTimeCode::ShiftScr(big2.data(), 1001, 0);
    EXPECT_EQ(big2, Mpeg2(0));

    // Bit 32 survives a shift; the MPEG-2 extension's top bits stay.
    Field high = Mpeg1((uint64_t(1) << 32) + 1000);
    TGopTimeCode::ShiftScr(high.data(), 500, 1);
    EXPECT_EQ(TGopTimeCode::DecodeMpeg1Scr(high.data()), (uint64_t(1) << 32) + 500);
    Field ext = Mpeg2(9000);
    ext[4] |= 0x03;
    TGopTimeCode::ShiftScr(ext.data(), 3000, 2);
    EXPECT_EQ(TGopTimeCode::DecodeMpeg2Scr(ext.data()), 6000u);
    EXPECT_EQ(ext[4] & 0x03, 0x03);
}

namespace {

// A job whose input file holds the given bytes, with recording controls.
class SearchJob {
public:
    explicit SearchJob(const std::vector<uint8_t>& bytes) {
        char tmpl[] = "/tmp/pellmor-search-XXXXXX";
        int fd = mkstemp(tmpl);
        EXPECT_GE(fd, 0);
        path_ = tmpl;
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        close(fd);
        EXPECT_EQ(file.OpenForRead(path_), 0);
        job.inputFile = &file;
        job.controls = new TJobControls;
        job.controls->statusLabel = &status;
        job.controls->progressBar = &progress;
        job.controls->runState = &run;
        job.controls->languageSet = std::make_shared<TLanguageSet>();
        run.running = 1;
    }
    ~SearchJob() {
        file.Close();
        std::remove(path_.c_str());
    }

    TJob job;
    TFileIO file{&job};
    TRunState run;
    fakes::RecordingLabel status;
    fakes::RecordingProgressBar progress;

private:
    std::string path_;
};

std::vector<uint8_t> BytesWith(size_t size, size_t at, std::initializer_list<uint8_t> code) {
    std::vector<uint8_t> v(size, 0xFF);
    std::copy(code.begin(), code.end(), v.begin() + at);
    return v;
}

}  // namespace

TEST(SearchPackStart, FindsThePackStartWithCaptionAndProgress) {
    SearchJob s(BytesWith(3 << 20, 1500000, {0, 0, 1, 0xBA}));
    const uint8_t* code = SearchPackStart(&s.job, s.file.size);
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(std::memcmp(code, "\x00\x00\x01\xBA", 4), 0);
    EXPECT_EQ(s.file.position, 1500000u);
    uint8_t got[4];
    ASSERT_EQ(s.file.Read(got, 4), 4u);
    EXPECT_EQ(std::memcmp(got, code, 4), 0);
    EXPECT_EQ(s.status.caption(), "searching...");
    EXPECT_FALSE(s.progress.history().empty());
}

TEST(SearchPackStart, LimitStopAndAbsence) {
    {
        // The match must leave a whole raw sector before the limit.
        SearchJob s(BytesWith(40000, 20000, {0, 0, 1, 0xBA}));
        EXPECT_EQ(SearchPackStart(&s.job, 20000 + 2351), nullptr);
        s.file.Seek(0);
        EXPECT_NE(SearchPackStart(&s.job, 20000 + 2352 + 5120), nullptr);
    }
    {
        SearchJob s(BytesWith(40000, 20000, {0, 0, 1, 0xBB}));
        EXPECT_EQ(SearchPackStart(&s.job, s.file.size), nullptr);
    }
    {
        SearchJob s(BytesWith(40000, 20000, {0, 0, 1, 0xBA}));
        s.run.running = 0;
        EXPECT_EQ(SearchPackStart(&s.job, s.file.size), nullptr);
        EXPECT_EQ(s.status.caption(), "searching...");
    }
}

TEST(SearchPattern, SearchesTheJobsPatternPrefix) {
    const uint8_t pattern[] = {0x00, 0x00, 0x01, 0xB3, 0x16};
    SearchJob s(BytesWith(60000, 33333, {0x00, 0x00, 0x01, 0xB3, 0x99}));
    s.job.searchPattern = pattern;
    EXPECT_EQ(SearchPattern(&s.job, 5), 5);  // all five bytes: not there
    s.file.Seek(0);
    EXPECT_EQ(SearchPattern(&s.job, 4), 0);
    EXPECT_EQ(s.file.position, 33333u);
    EXPECT_EQ(s.status.history().front(), "searching...");

    s.file.Seek(0);
    s.run.running = 0;
    EXPECT_EQ(SearchPattern(&s.job, 4), 5);

    s.run.running = 1;
    s.job.searchPattern = nullptr;
    s.file.Seek(0);
    EXPECT_EQ(SearchPattern(&s.job, 4), 5);
}
