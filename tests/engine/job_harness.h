// One extraction job driven the way the main window drives it: load the
// source (cue/toc reader, directory scan, or a single stream), fill the
// controls block with recording handles, start the worker on its thread and
// wait for it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/file_io.h"
#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/records.h"
#include "core/temp_file.h"
#include "disc/cue_reader.h"
#include "disc/toc_reader.h"
#include "disc/track_table.h"
#include "engine/source_scan.h"
#include "engine/write_thread.h"
#include "settings/registry_settings.h"
#include "tests/support/fakes.h"

namespace harness {

inline std::string Fixture(const std::string& name) { return std::string(PELLMOR_FIXTURES) + "/" + name; }

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Byte strings compared without printing megabytes of them on a mismatch.
inline ::testing::AssertionResult SameBytes(const std::string& a, const std::string& b) {
    if (a == b) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size() << ", first difference at "
                                         << i;
}

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Output of a command (for md5sum, ffprobe).
inline std::string Command(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// Video frames ffprobe decodes from a file, followed by any error it prints.
inline std::string Frames(const std::string& path) {
    std::string out = Command("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                              "stream=nb_read_frames -of csv=p=0 '" + path + "' 2>&1");
    while (!out.empty() && (out.back() == '\n' || out.back() == ',')) out.pop_back();
    return out;
}

inline std::string Md5(const std::string& path) {
    const std::string out = Command("md5sum '" + path + "'");
    return out.substr(0, out.find(' '));
}

// A scratch folder removed at the end of the test.
struct TempFolder {
    TempFolder() : path(CreateTempDir("pellmor-engine-")) {}
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

// Calls a hook on every position the worker sets (used to stop a job midway).
class HookedProgressBar : public platform::ProgressBar {
public:
    std::function<void(int)> onPosition;
    void setPosition(int p) override {
        pos_ = p;
        if (onPosition) onPosition(p);
    }
    int position() const override { return pos_; }

private:
    int pos_ = 0;
};

struct Job {
    Job() {
        job.trackTable = new TTrackTable();
        fakes::MemoryRegistry registry;
        MainWindowValues window;
        RegistrySettings settings(registry, ".");
        settings.Load(LoadMode::Full, config, window);
        config.DisableErrorPrompts = 1;  // errors are logged, not boxed
        stats.languageSet = texts.get();
        job.batchContext->returnSignal = &returnSignal;
    }

    TJobControls* MakeControls() {
        auto* c = new TJobControls();
        c->statusLabel = &status;
        c->etaLabel = &eta;
        c->progressBar = &progress;
        c->completedLabel = &completed;
        c->logListBox = &log;
        c->startButton = &startButton;
        c->languageSet = texts;
        c->batchFlag = &batchActive;
        c->openDialog = &openDialog;
        c->saveDialog = &saveDialog;
        c->runState = &runState;
        c->dialogs = &dialogs;
        c->stats = &stats;
        c->titleLabel = &title;
        return c;
    }

    // Source loading as the window does it; 0 when the source is ready.
    int Load(int method, const std::string& source) {
        job.sourceName = source;
        job.discKind = 1;
        job.pageMode = 0;
        TTrackTable& t = *job.trackTable;
        t.lastIndex = -1;
        std::unique_ptr<TJobControls> controls(MakeControls());
        MessageServices services{texts.get(), &stats, &dialogs};
        const LoadReporter reporter = LoadReporter::For(services, config, &log);
        if (method == 2 || method == 3 || method == 5) {
            int parsed = 0;
            if (method == 5) {
                TTocReader reader(&job, &config, controls.get());
                if (reader.Open(source) != 0) return 4;
                parsed = reader.Parse();
            } else {
                TCueReader reader(&job, &config, controls.get());
                if (reader.Open(source) != 0) return 4;
                parsed = reader.Parse();
            }
            if (parsed != 1) return 4;
            t.firstTrack = 1;
            t.lastTrack = t.lastIndex;
            return 0;
        }
        if (method == 4 || method == 11 || method == 12) {
            int32_t adjust = kBinTrackLengthAdjust;
            if (method == 4) {
                TFileIO probe(&job);
                if (probe.OpenForRead(source) != 0) return 4;
                job.readSectorSize = DetectSectorSize(probe);
            } else if (method == 11) {
                job.readSectorSize = 2332;
                adjust = kCifTrackLengthAdjust;
            } else {
                job.readSectorSize = 2336;
                adjust = kNrgTrackLengthAdjust;
            }
            return GetFilesFromTOC(source, job, adjust, nullptr, nullptr, reporter);
        }
        t.firstTrack = 1;
        t.lastTrack = 1;
        t.lastIndex = 1;
        return 0;
    }

    // Runs the job to its end on the worker thread; its result.
    int Run(int method, const std::string& output) {
        job.method = method;
        job.outputName = config.passive ? "nul" : output;
        job.baseOutputName = job.outputName;
        job.controls = MakeControls();
        start.fixLabel = &fixLabel;
        start.splitLabel = &splitLabel;
        start.paddingLabel = &paddingLabel;
        start.statusIndicator = &indicator;
        start.previewButton = &previewButton;
        start.generatedFiles = &generated;
        auto worker = WriteThread::Create(&job, &config, start);
        worker->WaitFor();
        return worker->Result();
    }

    int LoadAndRun(int method, const std::string& source, const std::string& output) {
        const int r = Load(method, source);
        return r != 0 ? -r : Run(method, output);
    }

    std::vector<std::string> Lines() const { return log.lines(); }
    bool Logged(const std::string& text) const {
        for (const auto& l : log.lines())
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    int Count(const std::string& text) const {
        int n = 0;
        for (const auto& l : log.lines()) n += l.find(text) != std::string::npos ? 1 : 0;
        return n;
    }

    TJob job;
    TConfig config;
    TJobStart start;
    std::shared_ptr<TLanguageSet> texts = std::make_shared<TLanguageSet>();
    fakes::RecordingListBox log;
    fakes::RecordingLabel status, eta, completed, title, fixLabel, splitLabel, paddingLabel, indicator;
    HookedProgressBar progress;
    fakes::RecordingButton startButton, previewButton;
    fakes::ScriptedDialogs dialogs{platform::kYes};
    fakes::RecordingEdit returnSignal;
    TRunState runState;
    TStats stats{&job};
    std::atomic<uint8_t> batchActive{0};
    platform::FileDialogState openDialog, saveDialog;
    std::string generated;
};

}  // namespace harness
