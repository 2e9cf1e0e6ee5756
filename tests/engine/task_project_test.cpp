// The task project file: its exact bytes, round trips, the write that
// replaces a project only whole, and files the reader must refuse.
#include "engine/task_project.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/temp_file.h"
#include "engine/methods.h"

namespace fs = std::filesystem;

namespace {

struct Bytes {
    std::string s;
    Bytes& u8(int v) {
        s += static_cast<char>(v);
        return *this;
    }
    Bytes& le(uint32_t v, int n) {
        for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
        return *this;
    }
    Bytes& raw(const std::string& t) {
        s += t;
        return *this;
    }
    Bytes& zeros(size_t n) {
        s.append(n, '\0');
        return *this;
    }
};

// An extraction project with every field away from its default, written
// out by hand from the layout.
std::string ExtractionBytes() {
    Bytes b;
    b.raw("KTP#").u8(0).u8(0).le(2, 2).le(1, 2).le(3, 2).le(5, 2);
    b.le(0, 2).le(2, 2).le(0, 2);                       // page 0, method 2
    b.u8(1).u8(1).u8(1).u8(1).u8(1).u8(1).u8(1).u8(1);  // every option ticked
    b.zeros(8).le(2336, 4).le(2324, 4).zeros(4);
    b.u8(1).u8(0).u8(1).u8(0).u8(1).zeros(97);  // rows 1 and 3 selected
    b.le(1, 2);
    b.le(3, 2).raw("V%d");
    for (int i = 1; i <= 7; ++i) b.le(static_cast<uint32_t>(i * 1000 + i), 4);
    b.le(8, 4).raw("clip.mpg");
    b.le(9, 4).raw("/out/film");
    b.le(16, 4).raw("/src/m\xE9lodie.cue");
    return b.s;
}

TaskProject ExtractionRecord() {
    TaskProject p;
    p.pageMode = 0;
    p.method = Index(Method::CueBinToMpeg);
    p.options.fill(1);
    p.forcedReadSize = 2336;
    p.forcedWriteSize = 2324;
    p.selectionActive = true;
    p.selectedRows[1] = p.selectedRows[3] = 1;
    p.volumeName = "V%d";
    for (int i = 1; i <= 7; ++i) {
        const uint32_t v = static_cast<uint32_t>(i * 1000 + i);
        for (int k = 0; k < 4; ++k) p.sampleClip[static_cast<size_t>((i - 1) * 4 + k)] = (v >> (8 * k)) & 0xFF;
    }
    p.sampleClipName = "clip.mpg";
    p.outputName = "/out/film";
    p.inputs = {"/src/m\xE9lodie.cue"};
    return p;
}

std::string VideoCdBytes() {
    Bytes b;
    b.raw("KTP#").u8(0).u8(0).le(2, 2).le(1, 2).le(3, 2).le(5, 2);
    b.le(1, 2).le(3, 2).le(0, 2);     // page 1, method 3
    b.u8(2).u8(1).zeros(6).zeros(8);  // 80 min spanning, sample clip
    b.zeros(4 + 4 + 4 + 1 + 101);
    b.le(3, 2);
    b.le(0, 2);  // empty volume name
    b.zeros(28);
    b.le(0, 4).le(6, 4).raw("/o/img");
    b.le(5, 4).raw("c.mpg").le(5, 4).raw("a.mpg").le(5, 4).raw("b.mpg");
    return b.s;
}

TaskProject VideoCdRecord() {
    TaskProject p;
    p.pageMode = 1;
    p.method = Index(VcdMethod::NrgToCueBin);
    p.options[kOptFixErrors] = 2;
    p.options[kOptBumper] = 1;
    p.outputName = "/o/img";
    p.inputs = {"c.mpg", "a.mpg", "b.mpg"};
    return p;
}

bool Parse(const std::string& s, TaskProject& p) {
    return ParseTaskProject(reinterpret_cast<const uint8_t*>(s.data()), s.size(), p);
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Spit(const std::string& path, const std::string& s) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(s.data(), static_cast<std::streamsize>(s.size()));
}

struct TempFolder {
    std::string dir = CreateTempDir("pellmor-ktp-");
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

TEST(TaskProjectFile, WritesAndReadsTheLayoutOfBothPages) {
    for (const auto& [record, bytes] : {std::pair{ExtractionRecord(), ExtractionBytes()},
                                        std::pair{VideoCdRecord(), VideoCdBytes()}}) {
        std::string written;
        ASSERT_TRUE(EncodeTaskProject(record, written));
        EXPECT_EQ(written, bytes);
        TaskProject read;
        ASSERT_TRUE(Parse(bytes, read));
        EXPECT_EQ(read, record);
    }
}

TEST(TaskProjectFile, ReadsWhatTheWriterLeavesOpen) {
    // Words 10 and 12 may hold anything; a video-cd project's unused option
    // bytes, forced sizes and rows are not taken.
    std::string s = VideoCdBytes();
    s[10] = '\x7F';
    s[13] = '\x80';
    s[22] = 1;
    s[36] = 5;
    s[48] = 1;
    s[50] = 1;
    s[20] = 7;  // any spanning above 1 reads as 80 min
    TaskProject p;
    ASSERT_TRUE(Parse(s, p));
    EXPECT_EQ(p, VideoCdRecord());

    // Without the selection byte the rows are not taken either.
    s = ExtractionBytes();
    s[48] = 0;
    ASSERT_TRUE(Parse(s, p));
    EXPECT_FALSE(p.selectionActive);
    EXPECT_EQ(p.selectedRows, (std::array<uint8_t, kTaskProjectRows>{}));

    // Option bytes other than 1 count as ticked.
    s = ExtractionBytes();
    s[25] = '\xFF';
    ASSERT_TRUE(Parse(s, p));
    EXPECT_EQ(p.options[kOptSfvCheck], 1);
}

TEST(TaskProjectFile, RefusesRecordsItCannotWrite) {
    std::string bytes = "unchanged";
    const auto refused = [&](auto change) {
        TaskProject p = ExtractionRecord();
        change(p);
        return !EncodeTaskProject(p, bytes) && bytes == "unchanged";
    };
    EXPECT_TRUE(refused([](TaskProject& p) { p.volumeName.assign(65536, 'v'); }));
    EXPECT_TRUE(refused([](TaskProject& p) { p.pageMode = 2; }));
    EXPECT_TRUE(refused([](TaskProject& p) { p.method = kExtractionMethodCount; }));
    EXPECT_TRUE(refused([](TaskProject& p) { p.forcedReadSize = 10000; }));
    EXPECT_TRUE(refused([](TaskProject& p) { p.forcedWriteSize = -1; }));
    EXPECT_TRUE(refused([](TaskProject& p) { p.inputs.push_back("second"); }));
    // The video-cd page's files up to what the signed 16-bit count holds,
    // read back as written.
    TaskProject many = VideoCdRecord();
    many.inputs.assign(kTaskProjectMaxFiles, "x.mpg");
    many.inputs.front() = "first.mpg";
    many.inputs.back() = "last.mpg";
    ASSERT_TRUE(EncodeTaskProject(many, bytes));
    EXPECT_EQ(static_cast<uint8_t>(bytes[150]) | static_cast<uint8_t>(bytes[151]) << 8, kTaskProjectMaxFiles);
    TaskProject manyBack;
    ASSERT_TRUE(Parse(bytes, manyBack));
    EXPECT_EQ(manyBack, many);
    const std::string full = bytes;
    many.inputs.push_back("y.mpg");
    EXPECT_FALSE(EncodeTaskProject(many, bytes));
    EXPECT_EQ(bytes, full);
    // Nor more bytes than a reader takes.
    many.inputs.assign(2, std::string(kTaskProjectMaxBytes / 2, 'n'));
    EXPECT_FALSE(EncodeTaskProject(many, bytes));
    TaskProject longest = ExtractionRecord();
    longest.volumeName.assign(65535, 'v');
    ASSERT_TRUE(EncodeTaskProject(longest, bytes));
    TaskProject back;
    ASSERT_TRUE(Parse(bytes, back));
    EXPECT_EQ(back, longest);
}

TEST(TaskProjectFile, RefusesBrokenFilesWithoutTouchingTheRecord) {
    const std::string good = ExtractionBytes();
    const std::string vcd = VideoCdBytes();
    const auto with = [](std::string s, size_t at, std::initializer_list<int> bytes) {
        for (int b : bytes) s[at++] = static_cast<char>(b);
        return s;
    };
    // The volume name's length sits at 152, the clip name's at 157 + 28.
    const size_t clipNameAt = kTaskProjectHeaderSize + 2 + 3 + 28;
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {"wrong magic", with(good, 0, {'K', 'T', 'Q'})},
        {"byte 4 not 0", with(good, 4, {'!'})},
        {"first version word", with(good, 6, {3, 0})},
        {"second version word", with(good, 8, {2, 0})},
        {"page 2", with(good, 14, {2, 0})},
        {"page -1", with(good, 14, {0xFF, 0xFF})},
        {"method 14 on the extraction page", with(good, 16, {14, 0})},
        {"method -1", with(good, 16, {0xFF, 0xFF})},
        {"method 4 on the video-cd page", with(vcd, 16, {4, 0})},
        {"read size 10000", with(good, 36, {0x10, 0x27, 0, 0})},
        {"negative write size", with(good, 40, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"count -1", with(good, 150, {0xFF, 0xFF})},
        {"count 2 on the extraction page", with(good, 150, {2, 0})},
        {"count 100 on the video-cd page with fewer names", with(vcd, 150, {100, 0})},
        {"count -2 on the video-cd page", with(vcd, 150, {0xFE, 0xFF})},
        {"length 0xFFFFFFFF", with(good, clipNameAt, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"volume length past the end", with(good, kTaskProjectHeaderSize, {0xFF, 0xFF})},
        {"a name with a 0 byte", with(good, good.size() - 3, {0})},
        {"a trailing byte", good + 'x'},
        {"past the size limit", good + std::string(kTaskProjectMaxBytes, 'x')},
        {"empty", ""},
    };
    for (size_t n = 0; n < good.size(); ++n) cases.push_back({"cut", good.substr(0, n)});
    for (size_t n = 0; n < vcd.size(); ++n) cases.push_back({"cut video-cd", vcd.substr(0, n)});

    TempFolder tmp;
    const std::string path = tmp.dir + "/p.ktp";
    for (const Case& c : cases) {
        TaskProject p = VideoCdRecord();
        EXPECT_FALSE(Parse(c.bytes, p)) << c.what << " " << c.bytes.size();
        EXPECT_EQ(p, VideoCdRecord()) << c.what;
        Spit(path, c.bytes);
        EXPECT_EQ(ReadTaskProjectFile(path, p), 15) << c.what << " " << c.bytes.size();
        EXPECT_EQ(p, VideoCdRecord()) << c.what;
    }
    TaskProject p;
    EXPECT_EQ(ReadTaskProjectFile(tmp.dir, p), 6);
    EXPECT_EQ(ReadTaskProjectFile(tmp.dir + "/missing.ktp", p), 6);
    Spit(path, good);
    EXPECT_EQ(ReadTaskProjectFile(path, p), 0);
    EXPECT_EQ(p, ExtractionRecord());
}

TEST(TaskProjectFile, ReplacesAProjectOnlyWhole) {
    TempFolder tmp;
    const std::string latin1Dir = tmp.dir + "/d\xE9j\xE0";
    fs::create_directory(latin1Dir);
    const std::string path = latin1Dir + "/pro\xEFt.ktp";
    ASSERT_EQ(WriteTaskProjectFile(path, "first"), 0);
    ASSERT_EQ(WriteTaskProjectFile(path, ExtractionBytes()), 0);
    EXPECT_EQ(Slurp(path), ExtractionBytes());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0044, 0u) << "an ordinary document, not a private temporary";

    // A name a folder has, and a folder that does not exist: nothing made,
    // nothing left behind.
    fs::create_directory(latin1Dir + "/taken.ktp");
    EXPECT_EQ(WriteTaskProjectFile(latin1Dir + "/taken.ktp", "x"), 9);
    EXPECT_EQ(WriteTaskProjectFile(tmp.dir + "/none/p.ktp", "x"), 9);
    EXPECT_EQ(WriteTaskProjectFile("", "x"), 9);
    EXPECT_EQ(WriteTaskProjectFile(latin1Dir + "/", "x"), 9);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(latin1Dir)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"pro\xEFt.ktp", "taken.ktp"}));
    EXPECT_EQ(Slurp(path), ExtractionBytes());
}

// Saving over a project that is a symbolic link (a relative one, through a
// second link) writes the file at the end of the chain, which keeps its mode;
// the links stay links.
TEST(TaskProjectFile, SavesThroughALinkAndKeepsTheMode) {
    TempFolder tmp;
    fs::create_directory(tmp.dir + "/real");
    const std::string target = tmp.dir + "/real/night.ktp";
    ASSERT_EQ(WriteTaskProjectFile(target, "first"), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    fs::create_symlink("real/night.ktp", tmp.dir + "/hop.ktp");
    fs::create_symlink(tmp.dir + "/hop.ktp", tmp.dir + "/link.ktp");
    ASSERT_EQ(WriteTaskProjectFile(tmp.dir + "/link.ktp", ExtractionBytes()), 0);
    EXPECT_TRUE(fs::is_symlink(tmp.dir + "/link.ktp"));
    EXPECT_TRUE(fs::is_symlink(tmp.dir + "/hop.ktp"));
    EXPECT_EQ(Slurp(target), ExtractionBytes());
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(tmp.dir + "/real")) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, (std::vector<std::string>{"night.ktp"}));
}

}  // namespace
