// A folder with the images the sheet fixtures name, and a job set up the way
// the main window sets it up before a sheet is read.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/language_set.h"
#include "core/records.h"
#include "core/temp_file.h"
#include "disc/track_table.h"
#include "tests/support/fakes.h"
#include "tests/support/sheet_job.h"

namespace sheets {

namespace fs = std::filesystem;

inline std::string FixtureDir() { return std::string(PELLMOR_FIXTURES) + "/sheets"; }

// What cd-info reported for the vcdimager image: first sector of each track,
// the lead-out sector and the image size.
struct CdInfo {
    std::vector<int64_t> trackLsn;
    int64_t leadout = 0;
    int64_t size = 0;
};

inline CdInfo ReadCdInfo(const std::string& path) {
    CdInfo info;
    std::ifstream in(path);
    std::string key;
    while (in >> key) {
        if (key == "track") {
            int64_t n, lsn;
            in >> n >> lsn;
            info.trackLsn.push_back(lsn);
        } else if (key == "leadout") {
            in >> info.leadout;
        } else if (key == "size") {
            in >> info.size;
        }
    }
    return info;
}

inline void MakeSparseFile(const fs::path& path, int64_t size) {
    fs::create_directories(path.parent_path());
    { std::ofstream(path, std::ios::binary); }
    fs::resize_file(path, static_cast<uintmax_t>(size));
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The vcdimager image's size, and the size of "movie.bin", which is not a
// whole number of sectors so that rounding down shows.
inline int64_t VcdImageSize() { return ReadCdInfo(FixtureDir() + "/vcdimager_starts.txt").size; }
inline int64_t OddImageSize() { return VcdImageSize() + 100; }

struct Range {
    int64_t start, end;
    bool operator==(const Range&) const = default;
};
inline void PrintTo(const Range& r, std::ostream* os) { *os << "[" << r.start << ", " << r.end << ")"; }

// One sheet of a reader's table: the result, the errors reported in order,
// the byte range of every track and the image that became the job's source.
struct SheetCase {
    const char* sheet;
    int result;
    std::vector<int> errors;
    std::vector<Range> ranges;  // when it parses
    const char* image;          // below the folder, when it parses
};

class SheetTest : public ::testing::Test, protected fakes::SheetJob {
protected:
    void SetUp() override {
        dir = CreateTempDir("pellmor-sheets-");
        ASSERT_FALSE(dir.empty());
        MakeSparseFile(fs::path(dir) / "my movie.bin", VcdImageSize());
        MakeSparseFile(fs::path(dir) / "movie.bin", OddImageSize());
        MakeSparseFile(fs::path(dir) / "sub" / "movie.bin", OddImageSize());
        MakeSparseFile(fs::path(dir) / "elsewhere" / "picked.bin", VcdImageSize());

        // Rows from an earlier load stay; the caller only moves the last index.
        for (int i = 0; i < 5; ++i) job.trackTable->AppendTrack();
        for (auto& v : job.trackTable->start) v = 777;
        job.trackTable->lastIndex = -1;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Copies a fixture sheet into the folder and names it as the job's
    // source, as the open dialog leaves it.
    std::string Place(const std::string& fixture, const std::string& as = "") {
        std::string target = dir + "/" + (as.empty() ? fixture : as);
        fs::copy_file(FixtureDir() + "/" + fixture, target, fs::copy_options::overwrite_existing);
        job.sourceName = target;
        return target;
    }
    std::string Write(const std::string& name, const std::string& text) {
        std::string target = dir + "/" + name;
        std::ofstream(target, std::ios::binary) << text;
        job.sourceName = target;
        return target;
    }

    // Construct, open, parse and delete, as source loading does; -1 when the
    // sheet cannot be opened.
    template <class Reader>
    int ReadWith(const std::string& sheetPath) {
        Reader reader(&job, &config, &controls);
        if (reader.Open(sheetPath) != 0) return -1;
        return reader.Parse();
    }

    // Places the case's fixture sheet, reads it and checks what it leaves:
    // on success the ranges, the source and the load folder, with the rows
    // past the sheet untouched; on failure the table, its rows and the
    // source as they were. The working directory never changes.
    template <class Reader>
    void CheckSheet(const SheetCase& c) {
        SCOPED_TRACE(c.sheet);
        log.clear();
        job.trackTable->lastIndex = -1;
        const std::string sheet = Place(c.sheet);
        const TTrackTable before = *job.trackTable;
        const fs::path cwd = fs::current_path();

        EXPECT_EQ(ReadWith<Reader>(sheet), c.result);
        EXPECT_EQ(Errors(), c.errors);
        EXPECT_EQ(fs::current_path(), cwd);
        if (c.result == 1) {
            EXPECT_EQ(Ranges(), c.ranges);
            EXPECT_EQ(job.sourceName, dir + "/" + c.image);
            EXPECT_EQ(config.DefaultLoadDir, dir);
            for (size_t i = c.ranges.size(); i < before.start.size(); ++i)
                EXPECT_EQ(job.trackTable->start[i], before.start[i]) << "row " << i;
        } else {
            EXPECT_EQ(job.trackTable->lastIndex, -1);
            EXPECT_EQ(job.trackTable->start, before.start);
            EXPECT_EQ(job.sourceName, sheet);
        }
    }

    // A two-track fixture padded with comment lines to the size limit loads;
    // one byte more and it is refused instead of being read whole.
    template <class Reader>
    void CheckSizeLimit(const std::string& fixture, const std::string& comment, size_t limit) {
        const std::string base = ReadText(FixtureDir() + "/" + fixture);
        for (size_t size : {limit, limit + 1}) {
            SCOPED_TRACE(size);
            std::string text = base;
            const std::string line = comment + std::string(70, 'x') + "\n";
            while (text.size() + line.size() <= size) text += line;
            if (text.size() < size) text += comment + std::string(size - text.size() - comment.size(), 'y');
            ASSERT_EQ(text.size(), size);
            log.clear();
            job.trackTable->lastIndex = -1;
            const bool fits = size <= limit;
            EXPECT_EQ(ReadWith<Reader>(Write(fixture, text)), fits ? 1 : 0);
            EXPECT_EQ(Errors(), fits ? std::vector<int>{} : std::vector<int>{5});
            EXPECT_EQ(job.trackTable->lastIndex, fits ? 1 : -1);
        }
    }

    // A sheet of 99 tracks loads, the last track starting at lastStart; one
    // of 100 is refused (error 2) and leaves the table empty.
    template <class Reader, class MakeSheet>
    void CheckTrackLimit(const std::string& extension, MakeSheet sheet, int64_t lastStart) {
        Write("many" + extension, sheet(99));
        EXPECT_EQ(ReadWith<Reader>(job.sourceName), 1);
        EXPECT_EQ(job.trackTable->lastIndex, 98);
        EXPECT_EQ(job.trackTable->start[98], lastStart);

        log.clear();
        job.trackTable->lastIndex = -1;
        Write("too_many" + extension, sheet(100));
        EXPECT_EQ(ReadWith<Reader>(job.sourceName), 0);
        EXPECT_EQ(Errors(), std::vector<int>{2});
        EXPECT_EQ(job.trackTable->lastIndex, -1);
    }

    // The error numbers reported, in order, read back from the log.
    std::vector<int> Errors() const {
        std::vector<int> found;
        for (const std::string& line : log.lines()) {
            if (line.rfind("     ", 0) != 0) continue;
            std::string text = line.substr(5);
            int index = -1;
            for (int i = 0; i < 31 && index < 0; ++i)
                if (texts->message(i) == text) index = i;
            found.push_back(index);
        }
        return found;
    }

    std::vector<Range> Ranges() const {
        std::vector<Range> r;
        const TTrackTable& t = *job.trackTable;
        for (int i = 0; i <= t.lastIndex; ++i) r.push_back({t.start[i], t.end[i]});
        return r;
    }
    std::vector<int32_t> Sizes() const {
        const TTrackTable& t = *job.trackTable;
        return std::vector<int32_t>(t.sectorSize.begin(), t.sectorSize.begin() + (t.lastIndex + 1));
    }

    std::string dir;
};

}  // namespace sheets
