// Every reader of a file the user names, against what can stand where a
// file was expected: a FIFO without a writer, a device that never ends, a
// folder and a dangling link. Each read runs in a child under a time bound;
// each must end at once with its reader's own message, without growing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "batch/batch_list_file.h"
#include "core/language_set.h"
#include "core/temp_file.h"
#include "engine/task_project.h"
#include "tests/support/bounded_run.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

constexpr auto kBound = 10s;
// Far above what any of these readers needs (also under the sanitizers),
// far below what reading a device for the time bound takes.
constexpr long kMaxRssKiB = 512 * 1024;
const std::string kCannotOpen = "Source file could not be opened or accessed.";
const std::string kNotLocated = "Unable to locate file.";

std::string Tool(const std::string& name) { return std::string(PELLMOR_BUILD_DIR) + "/tests/" + name; }

struct Odd {
    const char* kind;
    std::string path;
};

class NamedReaders : public ::testing::Test {
protected:
    void SetUp() override {
        dir = CreateTempDir("named_readers_");
        ASSERT_FALSE(dir.empty());
        ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
        fs::create_directory(dir + "/folder");
        fs::create_symlink(dir + "/nowhere", dir + "/dangling");
        odd = {{"fifo", dir + "/fifo"}, {"device", "/dev/zero"}, {"folder", dir + "/folder"},
               {"dangling link", dir + "/dangling"}};
    }
    void TearDown() override { fs::remove_all(dir); }

    void Expect(const bounded::Run& r, const std::string& reader, const Odd& o, const std::string& message,
                int status) {
        const std::string what = reader + " on a " + o.kind;
        EXPECT_TRUE(r.finished) << what << " did not end within the bound";
        if (!r.finished) return;
        EXPECT_EQ(r.status, status) << what << "\n" << r.output;
        EXPECT_NE(r.output.find(message), std::string::npos) << what << "\n" << r.output;
        EXPECT_LT(r.maxRssKiB, kMaxRssKiB) << what;
    }

    std::string dir;
    std::vector<Odd> odd;
};

TEST_F(NamedReaders, HeadlessToolsRefuseWhatIsNoFile) {
    struct Reader {
        std::string name;
        std::function<std::vector<std::string>(const std::string&)> argv;
        std::string message;
        int status;
    };
    const std::string out = dir + "/out";
    const std::vector<Reader> readers = {
        {"image load (bin)", [&](const std::string& p) { return std::vector<std::string>{Tool("run_job"), "--method", "4", "--source", p, "--output", out + ".mpg"}; }, kCannotOpen, 4},
        {"image load (nrg)", [&](const std::string& p) { return std::vector<std::string>{Tool("run_job"), "--method", "12", "--source", p, "--output", out + ".mpg"}; }, kCannotOpen, 4},
        {"image load (mpeg)", [&](const std::string& p) { return std::vector<std::string>{Tool("run_job"), "--method", "10", "--source", p, "--output", out + ".mpg"}; }, kCannotOpen, 4},
        {"sheet load (cue)", [&](const std::string& p) { return std::vector<std::string>{Tool("run_job"), "--method", "2", "--source", p, "--output", out + ".mpg"}; }, kCannotOpen, 4},
        {"sheet load (toc)", [&](const std::string& p) { return std::vector<std::string>{Tool("run_job"), "--method", "5", "--source", p, "--output", out + ".mpg"}; }, kCannotOpen, 4},
        {"build list add", [&](const std::string& p) { return std::vector<std::string>{Tool("run_job"), "--page", "1", "--method", "1", "--input", p, "--list-only"}; }, kCannotOpen, 4},
        {"SFV verify", [&](const std::string& p) { return std::vector<std::string>{Tool("run_sfv"), "--verify", "\"" + p + "\""}; }, kCannotOpen, 1},
        {"SFV create", [&](const std::string& p) { return std::vector<std::string>{Tool("run_sfv"), "--create", "\"" + out + ".sfv\" \"" + p + "\""}; }, kNotLocated, 1},
        {"clip editor source", [&](const std::string& p) { return std::vector<std::string>{Tool("run_clip"), "--source", p, "--in-frame", "0", "--out-frame", "10", "--output", out + "-clip.mpg"}; }, "", 4},
        {"subtitle converter source", [&](const std::string& p) { return std::vector<std::string>{Tool("run_subtitles"), "--source", p, "--plain", "--output", dir}; }, "error 6: ", 6},
    };
    for (const Reader& reader : readers)
        for (const Odd& o : odd) Expect(bounded::Program(reader.argv(o.path), kBound), reader.name, o, reader.message, reader.status);
    EXPECT_FALSE(fs::exists(out + "-clip.mpg"));
    EXPECT_FALSE(fs::exists(out + ".mpg"));
}

// A sheet that names what is no image: the image's open refuses it too.
TEST_F(NamedReaders, SheetsNamingWhatIsNoImage) {
    for (const Odd& o : odd) {
        const std::string cue = dir + "/sheet.cue";
        std::ofstream(cue) << "FILE \"" << o.path << "\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n";
        const bounded::Run r = bounded::Program(
            {Tool("run_job"), "--method", "2", "--source", cue, "--output", dir + "/out.mpg"}, kBound);
        Expect(r, "cue image", o, kCannotOpen, 4);
    }
}

TEST_F(NamedReaders, StoredFilesRefuseWhatIsNoFile) {
    struct Reader {
        std::string name;
        std::function<int(const std::string&)> read;
        int status;
    };
    const std::vector<Reader> readers = {
        {"task project open", [](const std::string& p) { TaskProject project; return ReadTaskProjectFile(p, project); }, 6},
        {"batch list open", [](const std::string& p) { std::vector<StoredTask> tasks; return ReadBatchListFile(p, tasks); }, 6},
        {"language file", [](const std::string& p) { TLanguageSet set; return set.LoadFromFile(p, nullptr); }, TLanguageSet::kCannotOpen},
    };
    for (const Reader& reader : readers)
        for (const Odd& o : odd) {
            const bounded::Run r = bounded::InChild([&] { return "result " + std::to_string(reader.read(o.path)); }, kBound);
            Expect(r, reader.name, o, "result " + std::to_string(reader.status), 0);
        }
}

// The language file reader never holds a line of unbounded length: a film
// chosen as a language file is invalid, not read whole.
TEST_F(NamedReaders, ALanguageFileOfOneHugeLineIsInvalid) {
    const std::string path = dir + "/huge.lng";
    std::ofstream(path, std::ios::binary) << "#PELLMOR_LANGUAGE_FILE\n#LANGUAGE_SET_INFO\n";
    // The rest one line of zero bytes, sparse: 1 GiB that costs no disk.
    ASSERT_EQ(::truncate(path.c_str(), off_t{1} << 30), 0);
    const bounded::Run r = bounded::InChild(
        [&] {
            TLanguageSet set;
            const int status = set.LoadFromFile(path, nullptr);
            return "result " + std::to_string(status) + " " + set.core(0);
        },
        kBound);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.output.rfind("result " + std::to_string(TLanguageSet::kInvalidFile) + " " + TLanguageSet().core(0), 0),
              0u)
        << r.output;
    EXPECT_LT(r.maxRssKiB, 256 * 1024) << "the line was held whole";
}

}  // namespace
