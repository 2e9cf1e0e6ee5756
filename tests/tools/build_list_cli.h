// run_job's video-cd page mode: fills the build list headless, file by file
// as the add button does, and prints it.
//
//   run_job --page 1 --method N [--svcd] [--span none|74|80] [--capacity BYTES]
//           [--margin BYTES] [--pause SECONDS] --input FILE [--input FILE]...
//           [--increase-image ROW]... [--reduce-image ROW]... [--list-only]
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/language_set.h"
#include "core/records.h"
#include "disc/mpeg_file_list.h"
#include "disc/track_table.h"
#include "disc/vcd_track_list.h"
#include "platform/controls.h"
#include "platform/string_grid.h"

namespace buildlist {

struct Args {
    int method = 0;
    bool svcd = false;
    std::string span = "none";
    int64_t capacity = -1, margin = -1;
    int pause = 0;
    std::vector<std::string> inputs;
    std::vector<std::pair<bool, int>> shifts;  // (increase, 1-based row), in order
    bool listOnly = false;
};

class PrintedLog : public platform::ListBox {
public:
    void add(const std::string& line) override {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        lines_.push_back(line);
    }
    void clear() override { lines_.clear(); }
    int count() const override { return int(lines_.size()); }
    std::string item(int i) const override { return i >= 0 && i < count() ? lines_[size_t(i)] : ""; }
    bool selected(int) const override { return false; }
    void setSelected(int, bool) override {}

private:
    std::vector<std::string> lines_;
};

class Box : public platform::CheckBox {
public:
    void setChecked(bool on) override { checked_ = on; }
    bool checked() const override { return checked_; }
    void setEnabled(bool on) override { enabled_ = on; }
    bool enabled() const override { return enabled_; }

private:
    bool checked_ = false, enabled_ = true;
};

class Text : public platform::Edit, public platform::Label {
public:
    void setText(const std::string& t) override { text_ = t; }
    std::string text() const override { return text_; }
    void setCaption(const std::string& t) override { text_ = t; }
    std::string caption() const override { return text_; }
    void setVisible(bool) override {}
    bool visible() const override { return true; }
    void setColor(int32_t) override {}

private:
    std::string text_;
};

class Start : public platform::Button {
public:
    void setCaption(const std::string&) override {}
    std::string caption() const override { return ""; }
    void setHint(const std::string&) override {}
    std::string hint() const override { return ""; }
    void setEnabled(bool on) override { enabled_ = on; }
    bool enabled() const override { return enabled_; }

private:
    bool enabled_ = false;
};

// Questions never arise while adding; errors are in the log already.
class NoBoxes : public platform::Dialogs {
public:
    int ask(const std::string&, const std::string&) override { return platform::kNo; }
    void error(const std::string&, const std::string&) override {}
    void info(const std::string&, const std::string&) override {}
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void beep() override {}
};

class Grid : public platform::StringGrid {
public:
    void setCell(int c, int r, const std::string& t) override {
        if (r >= int(cells_.size())) cells_.resize(size_t(r) + 1);
        cells_[size_t(r)][size_t(c & 3)] = t;
    }
    std::string cell(int c, int r) const override {
        return r >= 0 && r < int(cells_.size()) ? cells_[size_t(r)][size_t(c & 3)] : "";
    }
    int rowCount() const override { return rows_; }
    void setRowCount(int rows) override { rows_ = rows; }
    int currentRow() const override { return current_; }
    void setCurrentRow(int r) override { current_ = r; }
    void repaint() override {}

private:
    std::vector<std::array<std::string, 4>> cells_;
    int rows_ = 2, current_ = -1;
};

// The page's side of a build list: its controls and the list itself.
struct Page {
    Page() {
        job.trackTable = new TTrackTable();
        job.mpegList = &list;
        config.DisableErrorPrompts = 1;
        config.DisableAudioWarningBell = 1;
        VCDCheckBox.setChecked(true);
        imgNone.setChecked(true);
        list.SetControls({.VCDCheckBox = &VCDCheckBox,
                          .SVCDCheckBox = &SVCDCheckBox,
                          .startVCDButton = &startVCDButton,
                          .pauseTimeMsg = &pauseTimeMsg,
                          .imgNone = &imgNone,
                          .img74 = &img74,
                          .img80 = &img80,
                          .imgCustom = &imgCustom,
                          .imgNumLabel = &imgNumLabel,
                          .totalImageTime = &totalImageTime,
                          .logListBox = &log,
                          .trackList = &tracks,
                          .languageSet = &texts,
                          .stats = &stats,
                          .dialogs = &dialogs});
    }
    TJob job;
    TConfig config;
    TStats stats{&job};
    TLanguageSet texts;
    PrintedLog log;
    NoBoxes dialogs;
    Box VCDCheckBox, SVCDCheckBox, imgNone, img74, img80, imgCustom;
    Start startVCDButton;
    Text pauseTimeMsg, imgNumLabel, totalImageTime;
    Grid grid;
    TVcdTrackList tracks{&job, &grid, &texts};
    TMpegFileList list{&job, &config};
};

inline bool Wanted(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--page") == 0) return true;
    return false;
}

inline int Usage(const std::string& why) {
    std::fprintf(stderr, "run_job: %s\n", why.c_str());
    std::fprintf(stderr,
                 "usage: run_job --page 1 --method N [--svcd] [--span none|74|80] [--capacity BYTES]\n"
                 "               [--margin BYTES] [--pause SECONDS] --input FILE [--input FILE]...\n"
                 "               [--increase-image ROW]... [--reduce-image ROW]... [--list-only]\n");
    return 2;
}

inline bool Number(const char* text, int64_t& out) {
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (*text == '\0' || *end != '\0') return false;
    out = v;
    return true;
}

// 0 and the arguments, or the usage exit status.
inline int Parse(int argc, char** argv, Args& a) {
    int64_t page = -1, method = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        int64_t n = 0;
        auto number = [&](int64_t lo, int64_t hi) {
            if (!v || !Number(v, n) || n < lo || n > hi) return false;
            ++i;
            return true;
        };
        if (arg == "--page") {
            if (!number(0, 2)) return Usage("--page needs a page number");
            page = n;
        } else if (arg == "--method") {
            if (!number(0, 1)) return Usage("--method on the video-cd page is 0 (toc/bin) or 1 (cue/bin)");
            method = n;
        } else if (arg == "--svcd") {
            a.svcd = true;
        } else if (arg == "--span") {
            if (!v || (std::strcmp(v, "none") && std::strcmp(v, "74") && std::strcmp(v, "80")))
                return Usage("--span takes none, 74 or 80");
            a.span = argv[++i];
        } else if (arg == "--capacity") {
            if (!number(1, INT64_MAX)) return Usage("--capacity needs a byte count");
            a.capacity = n;
        } else if (arg == "--margin") {
            if (!number(0, INT64_MAX)) return Usage("--margin needs a byte count");
            a.margin = n;
        } else if (arg == "--pause") {
            if (!number(0, 16)) return Usage("--pause takes 0 to 16 seconds");
            a.pause = int(n);
        } else if (arg == "--input") {
            if (!v) return Usage("--input needs a path");
            a.inputs.push_back(argv[++i]);
        } else if (arg == "--increase-image" || arg == "--reduce-image") {
            if (!number(1, INT32_MAX)) return Usage(arg + " needs a row number from 1");
            a.shifts.emplace_back(arg == "--increase-image", int(n));
        } else if (arg == "--list-only") {
            a.listOnly = true;
        } else {
            return Usage("unknown argument " + arg);
        }
    }
    if (page != 1) return Usage("only --page 1 (video-cd) fills a build list");
    if (method < 0) return Usage("--method is required");
    if (a.inputs.empty()) return Usage("--input is required");
    a.method = int(method);
    return 0;
}

// Adds the files as the page does, stopping at the first refusal, then
// applies the image shifts. The first refusal's result, or 0.
inline int Fill(const Args& a, Page& page) {
    if (a.svcd) page.VCDCheckBox.setChecked(false);
    page.imgNone.setChecked(a.span == "none");
    page.img74.setChecked(a.span == "74");
    page.img80.setChecked(a.span == "80");
    if (a.capacity > 0) page.list.SetCapacityOverride(a.capacity);
    if (a.margin >= 0) page.list.SetMarginOverride(a.margin);
    page.pauseTimeMsg.setText(std::to_string(a.pause));
    page.job.method = a.method;
    page.job.pageMode = 1;
    for (const std::string& path : a.inputs)
        if (const int r = page.list.AddFile(path); r != 0) return r;
    for (const auto& [increase, row] : a.shifts) {
        if (increase)
            page.list.IncreaseImage(row);
        else
            page.list.ReduceImage(row);
        page.job.multiImage = page.list.ImageCount() >= 2 ? 1 : 0;
    }
    return 0;
}

inline void Print(const TMpegFileList& list, const TTrackTable& table) {
    int index = 0;
    for (const TMpegFileInfo& e : list.entries) {
        std::printf("entry\t%d\t%d\t%d\t%lld\t%lld\t%lld\t%dx%d\t%d\t%u\t%d\t%d\t%u\t%d\t%02d:%02d.%02d\t%d\t%d\t%s\n",
                    ++index, e.image, e.trackInImage, static_cast<long long>(e.startOffset),
                    static_cast<long long>(e.endOffset), static_cast<long long>(e.size), int(e.width),
                    int(e.height), int(e.frameRateCode), e.videoBitRate, e.audioLayer, e.audioSampleRate,
                    e.audioBitRate, int(e.pal), e.playMinutes, e.playSeconds, e.playPictures, int(e.firstPiece),
                    int(e.split), e.name.c_str());
    }
    // The counts are the job's: what the image build will read.
    std::printf("images\t%d\t", table.imageCount);
    for (size_t i = 0; i < table.tracksPerImage.size(); ++i) std::printf("%s%d", i ? "," : "", table.tracksPerImage[i]);
    std::printf("\n");
    std::fflush(stdout);
}

inline int Main(int argc, char** argv) {
    Args a;
    if (const int r = Parse(argc, argv, a); r != 0) return r;
    Page page;
    if (const int r = Fill(a, page); r != 0) return r;
    if (a.listOnly) {
        Print(page.list, *page.job.trackTable);
        return 0;
    }
    return Usage("only --list-only is available for the video-cd page");
}

}  // namespace buildlist
