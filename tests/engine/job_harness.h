// One extraction job driven the way the main window drives it, with
// recording handles: load the source, start the worker on its thread and
// wait for it.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/constants.h"
#include "core/records.h"
#include "core/temp_file.h"
#include "engine/write_thread.h"
#include "settings/registry_settings.h"
#include "tests/support/fakes.h"
#include "tests/tools/job_setup.h"

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

// What vcdxrip wrote for one track of an image.
struct Ripped {
    uint64_t size;
    std::string md5;
};

// image -> the files vcdxrip wrote for it, in track order.
inline std::map<std::string, std::vector<Ripped>> Manifest() {
    std::map<std::string, std::vector<Ripped>> m;
    std::istringstream in(ReadFile(Fixture("vcdxrip.manifest")));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream f(line);
        std::string image, file, md5;
        uint64_t size = 0;
        f >> image >> file >> size >> md5;
        m[image].push_back({size, md5});
    }
    return m;
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

// What tests/run_job did: its exit status and its standard output (the log).
struct Outcome {
    int status = -1;
    std::string out;
};

// A shell command line's exit status and standard output.
inline Outcome RunShell(const std::string& command) {
    Outcome o;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return o;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) o.out.append(buf, n);
    const int raw = ::pclose(p);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return o;
}

inline Outcome RunJob(const std::string& args) {
    return RunShell(std::string(PELLMOR_BUILD_DIR) + "/tests/run_job " + args + " 2>/dev/null");
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

using RecordingRig = jobsetup::Rig<fakes::RecordingListBox, fakes::RecordingLabel, HookedProgressBar,
                                   fakes::RecordingButton, fakes::ScriptedDialogs>;

struct Job : RecordingRig {
    Job() : RecordingRig(platform::kYes) {
        fakes::MemoryRegistry registry;
        MainWindowValues window;
        RegistrySettings settings(registry, ".");
        settings.Load(LoadMode::Full, config, window);
        config.DisableErrorPrompts = 1;  // errors are logged, not boxed
    }

    // Source loading as the window does it in a batch run; 0 when the
    // source is ready.
    int Load(int method, const std::string& source) {
        SourceLoad load = UnattendedLoad(method, source, "", config);
        if (start.forceRead) load.forcedReadSize = job.forcedReadSize;
        return LoadSource(load).result;
    }

    // Runs the job to its end on the worker thread; its result.
    int Run(int method, const std::string& output) {
        job.method = method;
        job.outputName = config.passive ? kPassiveOutput : output;
        job.baseOutputName = job.outputName;
        return RunJob(config, start);
    }

    int LoadAndRun(int method, const std::string& source, const std::string& output) {
        const int r = Load(method, source);
        return r != 0 ? -r : Run(method, output);
    }
    int LoadAndRun(Method method, const std::string& source, const std::string& output) {
        return LoadAndRun(Index(method), source, output);
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

    TConfig config;
    TJobStart start;
};

}  // namespace harness
