// Patches a real VCD or SVCD clip with arbitrary bytes at arbitrary places
// and adds it to a build list that must split it: whatever the bytes, the
// list refuses the file or takes all of it in contiguous pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/records.h"
#include "core/temp_file.h"
#include "disc/mpeg_file_list.h"
#include "disc/track_table.h"

namespace {

namespace fs = std::filesystem;

std::string Load(const char* name) {
    const fs::path path = fs::path(__FILE__).parent_path() / ".." / "tests" / "fixtures" / name;
    std::ifstream in(path, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 4 * 2324) std::abort();
    return data;
}

struct Bases {
    std::string vcd = Load("clip_pal_vcd.mpg");
    std::string svcd = Load("clip_pal_svcd.mpg");
    std::string dir = CreateTempDir("pellmor-mpeg-fuzz-");
    ~Bases() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

}  // namespace

// Input: one byte choosing the base clip and the leading bytes, then
// patches of [sector 2 bytes][offset 2 bytes][length 1 byte][bytes].
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Bases bases;
    if (size < 1) return 0;
    std::string clip = (data[0] & 1) ? bases.svcd : bases.vcd;
    const size_t sectors = clip.size() / 2324;
    size_t at = 1;
    while (at + 5 <= size) {
        const size_t sector = (size_t(data[at]) << 8 | data[at + 1]) % sectors;
        const size_t offset = (size_t(data[at + 2]) << 8 | data[at + 3]) % 2324;
        size_t length = data[at + 4];
        at += 5;
        length = std::min(length, size - at);
        for (size_t i = 0; i < length && sector * 2324 + offset + i < clip.size(); ++i)
            clip[sector * 2324 + offset + i] = char(data[at + i]);
        at += length;
    }
    const size_t lead = (data[0] >> 1) & 7;  // a few bytes in front of the first pack
    clip.insert(0, lead * 97, '\x5A');
    const std::string path = bases.dir + "/clip.mpg";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << clip;
    }

    TJob job;
    job.trackTable = new TTrackTable();
    TConfig config;
    config.DisableErrorPrompts = 1;
    TMpegFileList list(&job, &config);
    job.mpegList = &list;
    list.SetCapacityOverride(TMpegFileList::kTrackFrameBytes + 45 * 2324);
    list.SetMarginOverride(0);
    const int result = list.AddFile(path);
    if (result != 0) {
        if (!list.entries.empty() || !list.fileNames.empty() || job.trackTable->lastTrack != 0) std::abort();
        return 0;
    }
    int64_t expected = list.entries.front().startOffset;
    for (const TMpegFileInfo& e : list.entries) {
        if (e.startOffset != expected || e.endOffset <= e.startOffset || e.size != e.endOffset - e.startOffset)
            std::abort();
        if (e.size > 45 * 2324 || e.image < 1) std::abort();
        expected = e.endOffset;
    }
    if (expected != int64_t(clip.size())) std::abort();
    if (job.trackTable->lastTrack != int32_t(list.entries.size())) std::abort();
    return 0;
}
