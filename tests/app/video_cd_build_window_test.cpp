// Disc images built through the video-cd page with the real worker, read
// back by the Debian tools: vcd-info must see a clean VCD or SVCD with the
// volume name and pauses set on the page, vcdxrip must give back the clips
// in the page's final order, cdrdao must read a toc.
#include <gtest/gtest.h>

#include <QDir>
#include <QMimeData>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/app/window_test_app.h"
#include "tests/app/video_cd_page_fixture.h"
#include "app/extraction_page/extraction_page.h"

using namespace vcdpage;

namespace {

bool ToolsPresent() {
    return std::system("{ command -v vcd-info && command -v vcdxrip && command -v cdrdao && command -v toc2cue; } "
                       ">/dev/null 2>&1") == 0;
}

#define NEED_TOOLS() \
    if (!ToolsPresent()) GTEST_SKIP() << "vcd-info, vcdxrip or cdrdao missing"

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Tool(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The clips vcdxrip gives back from an image, in track order.
std::vector<std::string> Rip(const std::string& folder, const std::string& args) {
    std::filesystem::create_directories(folder);
    const std::string said = Tool("cd " + Quote(folder) + " && vcdxrip " + args);
    EXPECT_EQ(said.find("WARN"), std::string::npos) << said;
    std::vector<std::string> clips;
    for (int k = 1;; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/avseq%02d.mpg", k);
        if (!std::filesystem::exists(folder + name)) break;
        clips.push_back(Bytes(folder + name));
    }
    return clips;
}

std::vector<std::string> BytesOf(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const std::string& p : paths) out.push_back(Bytes(p));
    return out;
}

struct Build : Page {
    // Chooses the output with the page's save button and starts.
    void startInto(const std::string& output) {
        files.scriptSave(output);
        click("saveButton");
        click("startVCDButton");
    }
};

}  // namespace

// Add three clips at once, move the third up, remove the first, set the
// pauses and the volume name, build: a clean VCD whose clips rip back in the
// final order. During the build nothing of the list can change.
TEST_F(Build, VcdFromThePageReadsBackInTheFinalOrder) {
    NEED_TOOLS();
    Open();
    add({kA, kB, kC});
    select(2);
    click("moveTrackUp");
    select(0);
    click("removeTrackButton");
    ASSERT_EQ(names(), (std::vector<std::string>{kC, kB}));
    select(0);
    type("pauseTimeMsg", "2");
    select(1);
    find<QScrollBar>("TrackPauseBar")->setValue(16);
    ASSERT_EQ(pauses(), (std::vector<int32_t>{2, 16}));
    find<QLineEdit>("volName")->setText("PELLVOL");
    startInto(dir + "/movie.bin");

    ASSERT_TRUE(w->WorkerBusy());
    EXPECT_EQ(find<QPushButton>("startVCDButton")->text(), QString("stop"));
    for (const char* name : {"addTrackButton", "removeTrackButton", "moveTrackUp", "clearListButton", "img74",
                             "volName", "pauseTimeMsg", "TrackPauseBar", "yesFolder", "saveButton", "buildVCDMethod"})
        EXPECT_FALSE(find<QWidget>(name)->isEnabled()) << name;
    w->WMDropFiles({kA});
    EXPECT_EQ(names(), (std::vector<std::string>{kC, kB})) << "a drop changes nothing during a build";
    QDir().mkpath(QString(PELLMOR_BUILD_DIR) + "/screenshots");
    EXPECT_TRUE(w->grab().save(QString(PELLMOR_BUILD_DIR) + "/screenshots/video-cd-during-build.png"));
    ASSERT_TRUE(waitForJob());

    EXPECT_EQ(w->generatedFiles.find("movie.bin\""), w->generatedFiles.find('"') + 1 + (dir + "/").size())
        << w->generatedFiles;
    const std::string info = Tool("vcd-info --cue-file " + Quote(dir + "/movie.cue"));
    EXPECT_EQ(info.find("WARN"), std::string::npos) << info;
    EXPECT_NE(info.find("VCD 2.0 detected"), std::string::npos) << info;
    EXPECT_NE(info.find("volume id: `PELLVOL'"), std::string::npos) << info;
    EXPECT_NE(info.find("wait: 2s"), std::string::npos) << info;
    EXPECT_NE(info.find("wait: -1s"), std::string::npos) << info;
    EXPECT_EQ(Rip(dir + "/rip", "--cue-file=" + Quote(dir + "/movie.cue")), BytesOf({kC, kB}));

    for (const char* name : {"addTrackButton", "removeTrackButton", "img74", "volName", "saveButton"})
        EXPECT_TRUE(find<QWidget>(name)->isEnabled()) << name << " after the build";
    EXPECT_EQ(find<QPushButton>("startVCDButton")->text(), QString("start"));
    w->WMDropFiles({kA});
    EXPECT_EQ(names(), (std::vector<std::string>{kC, kB, kA}));
}

// An SVCD as cue/bin and a VCD as toc/bin: cdrdao reads the toc, the
// libcdio and vcdimager tools read the bin.
TEST_F(Build, SvcdCueAndVcdTocReadBack) {
    NEED_TOOLS();
    struct Case {
        bool svcd;
        VcdMethod method;
        std::vector<std::string> clips;
        const char* detected;
    } cases[] = {{true, VcdMethod::MpegToCueBin, {kSvcd}, "SVCD detected"},
                   {false, VcdMethod::MpegToTocBin, {kA, kB}, "VCD 2.0 detected"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.detected);
        Open(-1, Index(c.method));
        find<QCheckBox>(c.svcd ? "SVCDCheckBox" : "VCDCheckBox")->setChecked(true);
        add(c.clips);
        const std::string out = dir + (c.svcd ? "/svcd" : "/vcd");
        std::filesystem::create_directories(out);
        startInto(out + "/movie.bin");
        ASSERT_TRUE(waitForJob());
        std::string args;
        if (c.method == VcdMethod::MpegToTocBin) {
            const std::string toc = Tool("cdrdao show-toc " + Quote(out + "/movie.toc"));
            int tracks = 0;
            for (size_t at = toc.find("Mode MODE2_RAW"); at != std::string::npos; at = toc.find("Mode MODE2_RAW", at + 1))
                ++tracks;
            EXPECT_EQ(tracks, int(c.clips.size()) + 1) << toc;
            // The libcdio tools find a bin through the cue named like it:
            // cdrdao's own converter makes it from our toc.
            Tool("toc2cue " + Quote(out + "/movie.toc") + " " + Quote(out + "/movie.cue"));
            args = "--bin-file=" + Quote(out + "/movie.bin");
        } else {
            args = "--cue-file=" + Quote(out + "/movie.cue");
        }
        const std::string info = Tool("vcd-info " + args);
        EXPECT_EQ(info.find("WARN"), std::string::npos) << info;
        EXPECT_NE(info.find(c.detected), std::string::npos) << info;
        EXPECT_EQ(Rip(out + "/rip", args), BytesOf(c.clips));
    }
}

// Spanning at the test capacity: two images named by the engine's rule (in
// CD1/CD2 with separate folders), labelled from the volume pattern, each
// holding its own clips.
TEST_F(Build, SpannedImagesEachHoldTheirOwnClips) {
    NEED_TOOLS();
    struct Case {
        bool folders;
        const char* first;
        const char* second;
    } cases[] = {{false, "movie_01", "movie_02"}, {true, "CD1/movie", "CD2/movie"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        Open(kTwoClipsCapacity);
        find<QRadioButton>("img74")->setChecked(true);
        find<QRadioButton>(c.folders ? "yesFolder" : "noFolder")->setChecked(true);
        add({kA, kB, kC});
        ASSERT_EQ(column(0), (std::vector<std::string>{"1", "1", "2"}));
        find<QLineEdit>("volName")->setText("PELL_%d");
        const std::string out = dir + (c.folders ? "/folders" : "/flat");
        std::filesystem::create_directories(out);
        startInto(out + "/movie.bin");
        ASSERT_TRUE(waitForJob());
        const std::string one = out + "/" + c.first + ".cue", two = out + "/" + c.second + ".cue";
        EXPECT_NE(Tool("vcd-info --cue-file " + Quote(one)).find("volume id: `PELL_1'"), std::string::npos);
        EXPECT_NE(Tool("vcd-info --cue-file " + Quote(two)).find("volume id: `PELL_2'"), std::string::npos);
        EXPECT_EQ(Rip(out + "/rip1", "--cue-file=" + Quote(one)), BytesOf({kA, kB}));
        EXPECT_EQ(Rip(out + "/rip2", "--cue-file=" + Quote(two)), BytesOf({kC}));
    }
}

// A cif or nrg image becomes a cue/bin through the page and rips back to
// the clips of the image it came from; the nrg's label names the volume.
TEST_F(Build, CifAndNrgBecomeCueBin) {
    NEED_TOOLS();
    struct Case {
        VcdMethod method;
        const char* source;
        const char* reference;  // the same disc as cue/bin
        const char* volume;
    } cases[] = {{VcdMethod::NrgToCueBin, "vcd_pal3.nrg", "vcd_pal3.cue", "PELLTEST"},
                   {VcdMethod::CifToCueBin, "vcd_ntsc.cif", "vcd_ntsc.cue", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Open(-1, Index(c.method));
        const std::string out = dir + "/" + c.source;
        std::filesystem::create_directories(out);
        files.scriptOpen(Fixture(c.source));
        files.scriptSave(out + "/movie.bin");
        click("saveButton");
        EXPECT_EQ(find<QLineEdit>("volName")->text().toStdString(), c.volume);
        click("startVCDButton");
        ASSERT_TRUE(waitForJob());
        const std::vector<std::string> expected = Rip(out + "/reference", "--cue-file=" + Quote(Fixture(c.reference)));
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(Rip(out + "/rip", "--cue-file=" + Quote(out + "/movie.cue")), expected);
        const std::string info = Tool("vcd-info --cue-file " + Quote(out + "/movie.cue"));
        EXPECT_NE(info.find("volume id: `" + std::string(c.volume) + "'"), std::string::npos) << info;
    }
}

// Start stays off with an empty list, and a start forced on one is refused.
TEST_F(Build, AnEmptyListDoesNotStart) {
    Open();
    files.scriptSave(dir + "/movie.bin");
    click("saveButton");
    EXPECT_FALSE(find<QPushButton>("startVCDButton")->isEnabled());
    w->extractionPage->startButtonClick();
    EXPECT_FALSE(w->WorkerBusy());
    EXPECT_EQ(w->runState->running.load(), 0);
    EXPECT_EQ(w->MainJob->controls, nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir + "/movie.bin"));
}
