#include "batch/batch_list_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "batch/batch_list.h"
#include "core/temp_file.h"

namespace fs = std::filesystem;

namespace {

std::vector<StoredTask> ThreeTasks() {
    return {
        {"Load task project", "Stop Batch / Query YES", "/tmp/a b.ktp", ""},
        {"Compress archive", "Continue Batch / Query NO", "\"/o/x y.rar\" \"/o/a.mpg\" ", "2/3/1"},
        {"Delete RAR archive", "Stop Batch / Query NO", "", ""},
    };
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ListFile : public ::testing::Test {
protected:
    void SetUp() override { dir_ = CreateTempDir("ktq_test_"); }
    void TearDown() override { fs::remove_all(dir_); }
    std::string dir_;
};

TEST_F(ListFile, WrittenListReadsBackToTheSameRowsAndBytes) {
    const std::string path = dir_ + "/list.ktq";
    ASSERT_EQ(WriteBatchListFile(path, ThreeTasks()), 0);
    const std::string bytes = Bytes(path);
    // Header: magic, its 0, the unread byte, version 1.0, count 3.
    EXPECT_EQ(bytes.substr(0, 12), std::string("KTQ#\0\0\1\0\0\0\3\0", 12));
    EXPECT_EQ(bytes.substr(12, 4 + 17), std::string("\x11\0\0\0Load task project", 21));
    std::vector<StoredTask> back;
    ASSERT_EQ(ReadBatchListFile(path, back), 0);
    EXPECT_EQ(back, ThreeTasks());
    EXPECT_EQ(SerializeBatchList(back), bytes);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_read, fs::perms::others_read);
    // Byte 5 and anything after the last task are not looked at.
    std::string loose = bytes;
    loose[5] = '\x7f';
    loose += "trailing";
    ASSERT_EQ(ParseBatchList(loose, back), 0);
    EXPECT_EQ(back, ThreeTasks());
}

TEST_F(ListFile, BrokenFilesAreRefusedWhole) {
    const std::string good = SerializeBatchList(ThreeTasks());
    auto with = [&good](size_t at, std::string_view bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    // The third task's first length field sits after the first two tasks.
    const std::vector<StoredTask> three = ThreeTasks();
    size_t third = 12;
    for (size_t t = 0; t < 2; ++t)
        for (const std::string& c : three[t]) third += 4 + c.size();
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"short header", good.substr(0, 11)},
        {"wrong magic", with(0, "KTX#")},
        {"magic without its 0", with(4, "\x01")},
        {"version 1.1", with(8, std::string("\1\0", 2))},
        {"version 2.0", with(6, std::string("\2\0", 2))},
        {"negative count", with(10, "\xff\xff")},
        {"count above the tasks present", with(10, std::string("\4\0", 2))},
        {"length past the end", with(third, std::string("\x13\0\0\0", 4))},
        {"length 0xFFFFFFFF", with(third, "\xff\xff\xff\xff")},
        {"cut inside a length", good.substr(0, third + 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<StoredTask> tasks = ThreeTasks();
        EXPECT_EQ(ParseBatchList(c.bytes, tasks), 17);
        EXPECT_TRUE(tasks.empty());
        // Through the list: the three tasks there stay as they were.
        BatchList list;
        list.AppendStored(ThreeTasks());
        const std::string path = dir_ + "/bad.ktq";
        std::ofstream(path, std::ios::binary) << c.bytes;
        std::vector<StoredTask> read;
        if (ReadBatchListFile(path, read) == 0) list.AppendStored(read);
        EXPECT_EQ(list.Stored(), ThreeTasks());
    }
    std::vector<StoredTask> tasks;
    EXPECT_EQ(ReadBatchListFile(dir_ + "/missing.ktq", tasks), 6);
    EXPECT_EQ(ReadBatchListFile(dir_, tasks), 6) << "a folder";
}

// Whatever the columns hold, a list laid out right opens whole: the rows
// an edit or an older list leaves (options on a row that is no longer a
// compress task, options off the dialog's ranges, a type this program
// does not know) are the sequencer's to fail when they run.
TEST_F(ListFile, ListsTheWriterCanProduceAlwaysOpen) {
    std::vector<StoredTask> tasks = ThreeTasks();
    tasks.push_back({"Execute command", "Stop Batch / Query YES", "echo hello", "2/0/1"});
    tasks.push_back({"Load task project", "Continue Batch / Query NO", "/p/a.ktp", "0/0/0"});
    tasks.push_back({"Compress archive", "Stop Batch / Query YES", "\"/o/x.rar\"<->", "4/0/0"});
    tasks.push_back({"Compress archive", "Stop Batch / Query YES", "\"/o/x.rar\"<->", "12/6/3"});
    tasks.push_back({"Compress archive", "Stop Batch / Query YES", "\"/o/x.rar\"<->", "2/0/1 "});
    tasks.push_back({"Format hard disk", "", "", "x"});
    tasks.push_back({"", "", "", ""});
    const std::string path = dir_ + "/loose.ktq";
    ASSERT_EQ(WriteBatchListFile(path, tasks), 0);
    std::vector<StoredTask> back;
    ASSERT_EQ(ReadBatchListFile(path, back), 0);
    EXPECT_EQ(back, tasks);
    BatchList list;
    list.AppendStored(back);
    EXPECT_EQ(list.Stored(), tasks);
}

// Saving over a symbolic link writes the file it leads to (through a
// chain, relative or absolute, or where a dangling one points) and leaves
// the link; the file keeps its mode.
TEST_F(ListFile, SaveGoesThroughLinksAndKeepsTheMode) {
    fs::create_directories(dir_ + "/real");
    fs::create_directories(dir_ + "/links");
    const std::string target = dir_ + "/real/list.ktq";
    std::ofstream(target) << "old bytes";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("../real/list.ktq", dir_ + "/links/one.ktq");
    fs::create_symlink(dir_ + "/links/one.ktq", dir_ + "/links/two.ktq");
    fs::create_symlink("../real/new.ktq", dir_ + "/links/dangling.ktq");
    const std::string expected = SerializeBatchList(ThreeTasks());
    for (const char* link : {"one.ktq", "two.ktq"}) {
        SCOPED_TRACE(link);
        std::ofstream(target) << "old bytes";
        ASSERT_EQ(WriteBatchListFile(dir_ + "/links/" + link, ThreeTasks()), 0);
        EXPECT_TRUE(fs::is_symlink(dir_ + "/links/" + link));
        EXPECT_EQ(Bytes(target), expected);
        EXPECT_EQ(fs::status(target).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    ASSERT_EQ(WriteBatchListFile(dir_ + "/links/dangling.ktq", ThreeTasks()), 0);
    EXPECT_TRUE(fs::is_symlink(dir_ + "/links/dangling.ktq"));
    EXPECT_EQ(Bytes(dir_ + "/real/new.ktq"), expected);
    // A plain file keeps its mode as well; no temporary file stays behind.
    fs::permissions(target, fs::perms::owner_all | fs::perms::others_read);
    ASSERT_EQ(WriteBatchListFile(target, ThreeTasks()), 0);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_all | fs::perms::others_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ + "/real"), fs::directory_iterator{}), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ + "/links"), fs::directory_iterator{}), 3);
}

TEST_F(ListFile, FailedSaveLeavesTheOldFile) {
    const std::string path = dir_ + "/keep.ktq";
    std::ofstream(path) << "old bytes";
    EXPECT_EQ(WriteBatchListFile(dir_ + "/no-such-folder/list.ktq", ThreeTasks()), 9);
    std::vector<StoredTask> tooMany(kMaxStoredTasks + 1, ThreeTasks()[2]);
    EXPECT_EQ(WriteBatchListFile(path, tooMany), 9);
    EXPECT_EQ(Bytes(path), "old bytes");
    // A disk that fills up after 20 bytes: the write fails part way, and the
    // old list is neither cut nor replaced, and no temporary file stays.
    {
        struct rlimit old {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit small = old;
        small.rlim_cur = 20;
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &small);
        const int rc = WriteBatchListFile(path, ThreeTasks());
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(rc, 9);
    }
    EXPECT_EQ(Bytes(path), "old bytes");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);
    ASSERT_EQ(WriteBatchListFile(path, ThreeTasks()), 0);
    EXPECT_EQ(Bytes(path), SerializeBatchList(ThreeTasks()));
}

}  // namespace
