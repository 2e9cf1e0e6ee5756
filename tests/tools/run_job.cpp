// Runs one extraction job headless through the worker the main window uses,
// on a real worker thread, and prints every log line to standard output.
// The exit status is the job's result (0, 3, 5, 12, ...).
//
//   run_job --method N --source PATH --output PATH [--fix] [--bumper]
//           [--toast] [--passive] [--force-read N] [--force-write N]
//           [--tracks 1,3] [--answer yes|no|cancel] [--set NAME=VALUE]...
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "core/language_set.h"
#include "core/records.h"
#include "disc/track_table.h"
#include "engine/write_thread.h"
#include "platform/registry.h"
#include "settings/registry_settings.h"
#include "tests/tools/build_job.h"
#include "tests/tools/build_list_cli.h"
#include "tests/tools/job_setup.h"

namespace {

// Log lines go straight out, in order, as the worker adds them.
class PrintingListBox : public platform::ListBox {
public:
    void add(const std::string& line) override {
        std::lock_guard<std::mutex> lock(m_);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        lines_.push_back(line);
    }
    void clear() override {}
    int count() const override {
        std::lock_guard<std::mutex> lock(m_);
        return static_cast<int>(lines_.size());
    }
    std::string item(int index) const override {
        std::lock_guard<std::mutex> lock(m_);
        return index >= 0 && index < static_cast<int>(lines_.size()) ? lines_[static_cast<size_t>(index)] : "";
    }
    bool selected(int) const override { return false; }
    void setSelected(int, bool) override {}

private:
    mutable std::mutex m_;
    std::vector<std::string> lines_;
};

class QuietLabel : public platform::Label {
public:
    void setCaption(const std::string& text) override { caption_ = text; }
    std::string caption() const override { return caption_; }
    void setVisible(bool) override {}
    bool visible() const override { return true; }
    void setColor(int32_t) override {}

private:
    std::string caption_;
};

class QuietBar : public platform::ProgressBar {
public:
    void setPosition(int p) override { pos_ = p; }
    int position() const override { return pos_; }

private:
    int pos_ = 0;
};

class QuietButton : public platform::Button {
public:
    void setCaption(const std::string& t) override { caption_ = t; }
    std::string caption() const override { return caption_; }
    void setHint(const std::string& t) override { hint_ = t; }
    std::string hint() const override { return hint_; }
    void setEnabled(bool on) override { enabled_ = on; }
    bool enabled() const override { return enabled_; }

private:
    std::string caption_, hint_;
    bool enabled_ = true;
};

// Questions are answered as --answer says; error boxes become nothing (the
// log already holds them).
class ConsoleDialogs : public platform::Dialogs {
public:
    explicit ConsoleDialogs(int answer) : answer_(answer) {}
    int ask(const std::string&, const std::string&) override { return answer_; }
    void error(const std::string&, const std::string&) override {}
    void info(const std::string&, const std::string&) override {}
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void beep() override {}

private:
    int answer_;
};

// The settings store, held in memory: --set writes into it before the load,
// so every value goes through the same table and checks as a stored one.
class MemoryRegistry : public platform::Registry {
public:
    bool openKey(const std::string&, bool) override { return true; }
    void closeKey() override {}
    bool keyExists(const std::string&) override { return true; }
    bool deleteKey(const std::string&) override { return true; }
    bool valueExists(const std::string& name) override { return ints.count(name) || texts.count(name); }
    std::optional<int32_t> readInteger(const std::string& name) override {
        auto it = ints.find(name);
        if (it == ints.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::string> readString(const std::string& name) override {
        auto it = texts.find(name);
        if (it == texts.end()) return std::nullopt;
        return it->second;
    }
    bool writeInteger(const std::string& name, int32_t v) override {
        ints[name] = v;
        return true;
    }
    bool writeString(const std::string& name, const std::string& v) override {
        texts[name] = v;
        return true;
    }
    std::map<std::string, int32_t> ints;
    std::map<std::string, std::string> texts;
};

int Usage(const char* why) {
    std::fprintf(stderr, "run_job: %s\n", why);
    std::fprintf(stderr,
                 "usage: run_job --method N --source PATH --output PATH [--fix] [--bumper] [--toast] [--passive]\n"
                 "               [--force-read N] [--force-write N] [--tracks 1,3] [--answer yes|no|cancel]\n"
                 "               [--set NAME=VALUE]...\n");
    return 2;
}

bool ParseInt(const std::string& text, int32_t& out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') return false;
    out = static_cast<int32_t>(v);
    return true;
}

using BuildRig = jobsetup::Rig<PrintingListBox, QuietLabel, QuietBar, QuietButton, ConsoleDialogs>;

// The video-cd page's jobs: the build list's arguments fill the list as
// the page does (--list-only prints it), the build's own arguments run the
// build; --method 2|3 with a cif or nrg --source converts that image.
int BuildMain(int argc, char** argv) {
    buildjob::BuildJobArgs args;
    std::vector<char*> listArgs{argv[0]};
    int32_t method = -1;
    for (int i = 1; i < argc; ++i) {
        std::string err;
        if (buildjob::ParseBuildJobArg(argc, argv, i, args, err)) {
            if (!err.empty()) return Usage(err.c_str());
            continue;
        }
        if (std::string(argv[i]) == "--method" && i + 1 < argc) ParseInt(argv[i + 1], method);
        listArgs.push_back(argv[i]);
    }
    MemoryRegistry registry;
    std::string err;
    if (!buildjob::StoreSettings(args, registry, err)) return Usage(err.c_str());
    MainWindowValues window;
    RegistrySettings settings(registry, ".");
    BuildRig rig(args.answer);
    if (VideoCdMethod(method).opener == Opener::BuildImage) {
        TConfig config;
        settings.Load(LoadMode::Full, config, window);
        const bool svcd = std::find_if(listArgs.begin(), listArgs.end(),
                                       [](const char* a) { return std::string(a) == "--svcd"; }) != listArgs.end();
        return buildjob::RunConversionJob(rig, config, method, args, svcd);
    }

    buildlist::Args a;
    if (const int r = buildlist::Parse(int(listArgs.size()), listArgs.data(), a); r != 0) return r;
    buildlist::Page page;
    // The options as the settings give them; messages go to the log only.
    settings.Load(LoadMode::Full, page.config, window);
    page.config.DisableErrorPrompts = 1;
    page.config.DisableAudioWarningBell = 1;
    if (const int r = buildlist::Fill(a, page); r != 0) return r;
    if (a.listOnly) {
        buildlist::Print(page.list, *page.job.trackTable);
        return 0;
    }
    return buildjob::RunBuildJob(rig, page.job, page.config, a.method, args);
}

}  // namespace

int main(int argc, char** argv) {
    if (buildlist::Wanted(argc, argv)) return BuildMain(argc, argv);
    int32_t method = -1;
    std::string source, output;
    bool fix = false, bumper = false, toast = false, passive = false;
    bool forceRead = false, forceWrite = false;
    int32_t forcedRead = 0, forcedWrite = 0;
    std::vector<int> tracks;
    int answer = platform::kYes;
    MemoryRegistry registry;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--method") {
            if (!value(v) || !ParseInt(v, method)) return Usage("--method needs a number");
        } else if (a == "--source") {
            if (!value(source)) return Usage("--source needs a path");
        } else if (a == "--output") {
            if (!value(output)) return Usage("--output needs a path");
        } else if (a == "--fix") {
            fix = true;
        } else if (a == "--bumper") {
            bumper = true;
        } else if (a == "--toast") {
            toast = true;
        } else if (a == "--passive") {
            passive = true;
        } else if (a == "--force-read") {
            if (!value(v) || !ParseInt(v, forcedRead)) return Usage("--force-read needs a number");
            forceRead = true;
        } else if (a == "--force-write") {
            if (!value(v) || !ParseInt(v, forcedWrite)) return Usage("--force-write needs a number");
            forceWrite = true;
        } else if (a == "--tracks") {
            if (!value(v)) return Usage("--tracks needs a list");
            std::stringstream list(v);
            std::string item;
            while (std::getline(list, item, ',')) {
                int32_t t = 0;
                if (!ParseInt(item, t)) return Usage("--tracks takes numbers such as 1,3");
                tracks.push_back(t);
            }
        } else if (a == "--answer") {
            if (!value(v)) return Usage("--answer needs yes, no or cancel");
            if (v == "yes")
                answer = platform::kYes;
            else if (v == "no")
                answer = platform::kNo;
            else if (v == "cancel")
                answer = platform::kCancel;
            else
                return Usage("--answer needs yes, no or cancel");
        } else if (a == "--set") {
            if (!value(v)) return Usage("--set needs NAME=VALUE");
            const size_t eq = v.find('=');
            if (eq == std::string::npos) return Usage("--set needs NAME=VALUE");
            const std::string name = v.substr(0, eq), text = v.substr(eq + 1);
            const SettingInfo* info = FindSetting(name);
            if (!info) return Usage(("no setting named " + name).c_str());
            if (info->type == SettingType::String) {
                registry.writeString(name, text);
            } else {
                int32_t n = 0;
                if (!ParseInt(text, n)) return Usage(("setting " + name + " takes a number").c_str());
                registry.writeInteger(name, n);
            }
        } else {
            return Usage(("unknown argument " + a).c_str());
        }
    }
    if (method < 0) return Usage("--method is required");
    if (source.empty()) return Usage("--source is required");
    if (output.empty() && !passive) return Usage("--output is required");

    jobsetup::Rig<PrintingListBox, QuietLabel, QuietBar, QuietButton, ConsoleDialogs> rig(answer);
    TJob& job = rig.job;
    TConfig config;
    MainWindowValues window;
    RegistrySettings settings(registry, ".");
    settings.Load(LoadMode::Full, config, window);
    config.FixMPEGErrors = fix ? 1 : 0;
    config.RemoveCDIBumper = bumper ? 1 : 0;
    config.ToastEnable = toast ? 1 : 0;
    config.passive = passive ? 1 : 0;

    TTrackTable& table = *job.trackTable;
    // Loaded as the window loads it in a batch run: the names are given.
    SourceLoad load = rig.UnattendedLoad(method, source, output, config);
    if (forceRead) load.forcedReadSize = forcedRead;
    if (const int r = LoadSource(load).result; r != 0) return r;

    TJobStart start;
    if (!tracks.empty()) {
        const int listed = table.lastTrack - table.firstTrack + 1;
        start.selectedRows.assign(static_cast<size_t>(std::max(listed, 0)), false);
        int chosen = 0;
        for (int t : tracks) {
            const int row = t - table.firstTrack;
            // A row the source does not have would silently select every track.
            if (row < 0 || row >= listed) return Usage("--tracks names a track the source lacks");
            if (!start.selectedRows[static_cast<size_t>(row)]) {
                start.selectedRows[static_cast<size_t>(row)] = true;
                ++chosen;
            }
        }
        config.selectedTracksOnly = chosen != listed ? 1 : 0;
    }
    start.forceRead = forceRead;
    start.forceWrite = forceWrite;
    job.forcedReadSize = forcedRead;
    job.forcedWriteSize = forcedWrite;
    start.toastChecked = toast;

    job.outputName = rig.outputDialog.FileName;
    job.baseOutputName = job.outputName;
    job.method = method;
    return rig.RunJob(config, std::move(start));
}
