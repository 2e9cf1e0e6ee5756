// run_job's image build: the arguments besides the build list, the job run
// on a filled build list, and the conversions of cif and nrg images (whose
// build list is one entry per track of the image's directory).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/constants.h"
#include "core/helpers.h"
#include "core/records.h"
#include "disc/mpeg_file_list.h"
#include "disc/track_table.h"
#include "disc/vcd_track_list.h"
#include "engine/methods.h"
#include "engine/source_loader.h"
#include "engine/write_thread.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "settings/registry_settings.h"
#include "tools/sample_clip.h"

namespace buildjob {

struct BuildJobArgs {
    std::string output;
    std::string volume;
    bool volumeGiven = false;
    bool folders = false;
    bool dateGiven = false;
    platform::LocalTime date{};
    std::string source;  // methods 2 and 3
    int answer = platform::kYes;
    bool passive = false;
    bool forceRead = false, forceWrite = false;
    int32_t forcedRead = 0, forcedWrite = 0;
    std::vector<std::pair<std::string, std::string>> sets;
    // --sample ROW IN OUT: a clip of build-list row ROW between the GOPs at
    // or after frames IN and OUT, cut through the editor's model.
    bool sample = false;
    int32_t sampleRow = 0, sampleIn = 0, sampleOut = 0;
};

inline bool ParseNumber(const std::string& text, int32_t& out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') return false;
    out = static_cast<int32_t>(v);
    return true;
}

// "YYYY-MM-DD HH:MM:SS", UTC.
inline bool ParseDate(const std::string& text, platform::LocalTime& t) {
    int y, mo, d, h, mi, s;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) return false;
    if (y < 1900 || y > 2155 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 ||
        mi < 0 || s < 0)
        return false;
    t = {y, mo, d, h, mi, s, 0};
    return true;
}

// i stands at an argument: consumes it (and its value) when it is one of
// the build's and returns true; err tells a bad value.
inline bool ParseBuildJobArg(int argc, char** argv, int& i, BuildJobArgs& a, std::string& err) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
        if (i + 1 >= argc) {
            err = arg + " needs a value";
            return false;
        }
        out = argv[++i];
        return true;
    };
    std::string v;
    if (arg == "--output") {
        value(a.output);
    } else if (arg == "--volume") {
        a.volumeGiven = value(a.volume);
    } else if (arg == "--folders") {
        a.folders = true;
    } else if (arg == "--sample") {
        std::string row, in, out;
        a.sample = value(row) && value(in) && value(out);
        if (a.sample && !(ParseNumber(row, a.sampleRow) && ParseNumber(in, a.sampleIn) && ParseNumber(out, a.sampleOut)))
            err = "--sample takes a row and two frame numbers";
    } else if (arg == "--date") {
        if (value(v) && !(a.dateGiven = ParseDate(v, a.date))) err = "--date takes \"YYYY-MM-DD HH:MM:SS\"";
    } else if (arg == "--source") {
        value(a.source);
    } else if (arg == "--passive") {
        a.passive = true;
    } else if (arg == "--force-read" || arg == "--force-write") {
        int32_t& size = arg == "--force-read" ? a.forcedRead : a.forcedWrite;
        if (value(v) && !ParseNumber(v, size)) err = arg + " needs a number";
        (arg == "--force-read" ? a.forceRead : a.forceWrite) = true;
    } else if (arg == "--answer") {
        if (!value(v)) return true;
        if (v == "yes")
            a.answer = platform::kYes;
        else if (v == "no")
            a.answer = platform::kNo;
        else if (v == "cancel")
            a.answer = platform::kCancel;
        else
            err = "--answer needs yes, no or cancel";
    } else if (arg == "--set") {
        if (!value(v)) return true;
        const size_t eq = v.find('=');
        if (eq == std::string::npos || !FindSetting(v.substr(0, eq)))
            err = "--set needs NAME=VALUE with a setting's name";
        else
            a.sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else {
        return false;
    }
    return true;
}

// Stores the --set values into the registry the settings load reads.
inline bool StoreSettings(const BuildJobArgs& a, platform::Registry& registry, std::string& err) {
    for (const auto& [name, text] : a.sets) {
        const SettingInfo* info = FindSetting(name);
        if (info->type == SettingType::String) {
            registry.writeString(name, text);
        } else {
            int32_t n = 0;
            if (!ParseNumber(text, n)) {
                err = "setting " + name + " takes a number";
                return false;
            }
            registry.writeInteger(name, n);
        }
    }
    return true;
}

// The job's clock with its recording time fixed by --date.
class FixedDateClock : public platform::Clock {
public:
    explicit FixedDateClock(const platform::LocalTime& t) : t_(t) {}
    platform::LocalTime now() const override { return t_; }
    platform::LocalTime utcNow() const override { return t_; }
    int64_t steadyMs() const override { return platform::defaultClock().steadyMs(); }

private:
    platform::LocalTime t_;
};

// Runs the build of job.mpegList (filled) as the video-cd page's start
// button does; the job's result.
// The rig gives the job's controls and the window's handles.
template <class RigT>
int RunBuildJob(RigT& rig, TJob& job, TConfig& config, int method, const BuildJobArgs& a) {
    if (!job.mpegList || job.mpegList->entries.empty()) {
        std::fprintf(stderr, "run_job: the build list is empty\n");
        return 2;
    }
    if (a.output.empty() && !a.passive) {
        std::fprintf(stderr, "run_job: --output is required\n");
        return 2;
    }
    config.passive = a.passive ? 1 : 0;
    const std::vector<TMpegFileInfo>& entries = job.mpegList->entries;
    job.multiImage = entries.back().image != entries.front().image ? 1 : 0;
    job.pageMode = 1;
    job.method = method;
    job.volumeName = a.volume;
    job.forcedReadSize = a.forcedRead;
    job.forcedWriteSize = a.forcedWrite;
    job.outputName = a.passive ? kPassiveOutput : a.output;
    job.baseOutputName = job.outputName;
    TTrackTable& table = *job.trackTable;
    table.firstTrack = 1;
    table.lastTrack = static_cast<int32_t>(entries.size());

    TJobStart start;
    start.forceRead = a.forceRead;
    start.forceWrite = a.forceWrite;
    start.yesFolder = a.folders;
    start.vcdChecked = job.discKind != 2;
    start.imgNone = job.trackTable->imageCount <= 1 && !job.multiImage;
    if (a.sample) {
        // The editor in build-list mode on the list, as the page opens it.
        TSampleClipEditor editor(&config, nullptr, nullptr, [](int index, const std::string& text) {
            std::printf("sample error %d: %s\n", index, text.c_str());
        });
        TVcdTrackList rows;
        for (size_t i = 1; i < entries.size(); ++i) rows.AddRow(entries[i].image, entries[i].trackInImage, "", "");
        if (editor.OpenTrackList(rows, *job.mpegList, job.discKind) != 0 || editor.TrackListGridClick(a.sampleRow) != 0) {
            std::fprintf(stderr, "run_job: --sample names no row the editor can open\n");
            return 2;
        }
        editor.StepToFrame(a.sampleIn);
        editor.markButtonClick();
        editor.StepToFrame(a.sampleOut);
        start.sampleClip = editor.Description();
        std::printf("sample %s frames %lld..%lld offsets %lld..%lld\n", start.sampleClip->outputName.c_str(),
                    static_cast<long long>(start.sampleClip->inFrame), static_cast<long long>(start.sampleClip->outFrame),
                    static_cast<long long>(start.sampleClip->inOffset),
                    static_cast<long long>(start.sampleClip->outOffset));
    }

    std::unique_ptr<FixedDateClock> clock;
    if (a.dateGiven) clock = std::make_unique<FixedDateClock>(a.date);
    rig.clock = clock.get();
    const int result = rig.RunJob(job, config, std::move(start));
    rig.clock = nullptr;
    return result;
}

// Methods 2 (cif) and 3 (nrg): the image's tracks become the build list,
// one entry each, and are rebuilt into a cue/bin image of the kind the
// page's VCD/SVCD box says. Without --volume an nrg keeps its own label.
template <class RigT>
int RunConversionJob(RigT& rig, TConfig& config, int method, const BuildJobArgs& a, bool svcd = false) {
    TJob& job = rig.job;
    if (a.source.empty()) {
        std::fprintf(stderr, "run_job: --source is required\n");
        return 2;
    }
    job.discKind = svcd ? 2 : 1;
    const TJobControls window = rig.Controls();
    MessageServices services{window.languageSet.get(), window.stats, window.dialogs};
    const LoadReporter reporter = LoadReporter::For(services, config, window.logListBox);
    auto list = std::make_unique<TMpegFileList>(&job, &config);
    BuildJobArgs args = a;
    std::string label;
    if (const int r = LoadImageForBuild(method, a.source, job, *list, reporter, nullptr, &label); r != 0) return r;
    job.mpegList = list.get();
    if (!a.volumeGiven && method == Index(VcdMethod::NrgToCueBin)) args.volume = label;
    const int r = RunBuildJob(rig, job, config, method, args);
    job.mpegList = nullptr;
    return r;
}

}  // namespace buildjob
