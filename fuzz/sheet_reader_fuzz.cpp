// Feeds arbitrary text to the cue and toc readers as a sheet lying beside a
// few small images, and checks what a successful parse leaves in the table.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/language_set.h"
#include "core/records.h"
#include "core/temp_file.h"
#include "disc/cue_reader.h"
#include "disc/toc_reader.h"
#include "disc/track_table.h"
#include "platform/controls.h"

namespace {

namespace fs = std::filesystem;

class NullListBox : public platform::ListBox {
public:
    void add(const std::string&) override { ++lines; }
    void clear() override { lines = 0; }
    int count() const override { return lines; }
    std::string item(int) const override { return {}; }
    bool selected(int) const override { return false; }
    void setSelected(int, bool) override {}
    int lines = 0;
};

struct Folder {
    Folder() {
        dir = CreateTempDir("pellmor-sheet-fuzz-");
        if (dir.empty()) std::abort();
        // Sizes that are and are not whole sectors.
        Make("movie.bin", 200 * 2352 + 17);
        Make("my movie.bin", 300 * 2352);
        Make("sub/Movie.BIN", 50 * 2048);
        Make("empty.bin", 0);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void Make(const std::string& name, uintmax_t size) {
        fs::path p = fs::path(dir) / name;
        fs::create_directories(p.parent_path());
        { std::ofstream(p, std::ios::binary); }
        fs::resize_file(p, size);
    }
    std::string dir;
};

Folder& TheFolder() {
    static Folder folder;
    return folder;
}

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// After a successful parse every track lies inside the image that opened.
void CheckTable(const TTrackTable& t, const std::string& source) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(source, ec);
    Check(!ec);
    Check(t.lastIndex >= 0 && t.lastIndex < 99);
    const size_t rows = static_cast<size_t>(t.lastIndex) + 1;
    Check(t.start.size() >= rows && t.end.size() >= rows && t.sectorSize.size() >= rows);
    Check(t.minutes.size() >= rows && t.seconds.size() >= rows && t.frames.size() >= rows);
    for (size_t i = 0; i < rows; ++i) {
        Check(t.sectorSize[i] == 2048 || t.sectorSize[i] == 2324 || t.sectorSize[i] == 2336 ||
              t.sectorSize[i] == 2352);
        Check(0 <= t.start[i] && t.start[i] <= t.end[i] && static_cast<uintmax_t>(t.end[i]) <= size);
    }
}

template <class Reader>
void Run(const std::string& sheet, const uint8_t* data, size_t size, const std::shared_ptr<TLanguageSet>& texts) {
    {
        std::ofstream out(sheet, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    NullListBox log;
    TJob job;
    job.trackTable = new TTrackTable();
    TConfig config;
    config.DisableErrorPrompts = static_cast<int16_t>(0x8000);  // a batch run: nobody to ask
    TStats stats(&job);
    TJobControls controls;
    controls.languageSet = texts;
    controls.logListBox = &log;
    controls.stats = &stats;
    job.sourceName = sheet;
    const fs::path cwd = fs::current_path();

    Reader reader(&job, &config, &controls);
    if (reader.Open(sheet) != 0) std::abort();
    const int result = reader.Parse();
    Check(result == 0 || result == 1);
    Check(fs::current_path() == cwd);
    if (result == 1) {
        CheckTable(*job.trackTable, job.sourceName);
    } else {
        Check(job.trackTable->lastIndex == -1);
        Check(log.lines > 0);  // a refusal is always reported
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::shared_ptr<TLanguageSet> texts = std::make_shared<TLanguageSet>();
    const Folder& folder = TheFolder();
    Run<TCueReader>(folder.dir + "/sheet.cue", data, size, texts);
    Run<TTocReader>(folder.dir + "/sheet.toc", data, size, texts);
    return 0;
}
