// Feeds arbitrary bytes to the language file reader and checks that every
// load leaves a whole set behind: all slots there, a known status, and the
// built-in texts back after an invalid file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/language_set.h"
#include "core/temp_file.h"

namespace {

class CountingSink : public LineSink {
public:
    void clear() override { lines = 0; }
    void add(const std::string&) override { ++lines; }
    size_t lines = 0;
};

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

const std::string& FilePath() {
    static const std::string path = [] {
        std::string dir = CreateTempDir("pellmor-lang-fuzz-");
        if (dir.empty()) std::abort();
        return dir + "/case.lng";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TLanguageSet english;
    {
        std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TLanguageSet set;
    CountingSink memo;
    const int status = set.LoadFromFile(FilePath(), &memo);
    Check(status == set.status);
    Check(status == 0 || status == 21 || status == 22);
    for (int s = 0; s < TLanguageSet::kSectionCount; ++s) {
        Check(static_cast<int>(set.sections[s].size()) == TLanguageSet::kSlots[s]);
        Check(set.entryCounts[s] >= 0);
    }
    if (status == 21) {
        Check(memo.lines == 0);
        Check(set.sections == english.sections);
    }
    if (status != 0) Check(!set.errorSection.empty() || status == 21);
    return 0;
}
