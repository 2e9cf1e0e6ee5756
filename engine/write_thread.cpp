#include "engine/write_thread.h"

#include <pthread.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "core/constants.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/path_lookup.h"
#include "core/result_codes.h"
#include "disc/time_code.h"
#include "disc/track_table.h"
#include "engine/image_build.h"
#include "engine/output_writers.h"
#include "engine/source_scan.h"

namespace {

constexpr uint8_t kPackStart5[5] = {0x00, 0x00, 0x01, 0xBA, 0x21};
constexpr int32_t kGrey = 0xC0C0C0;

// Workers not yet joined. A finished worker is joined by the next Create or
// by whoever waits for it, never by itself.
std::mutex gWorkersMutex;
std::vector<std::shared_ptr<WriteThread>> gWorkers;

}  // namespace

// ---- Method table ----

TMethodEntry LookUpMethod(int32_t index, int32_t pageMode, bool imgNone, bool multiImage) {
    const TMethodInfo& m = PageMethod(pageMode, index);
    TMethodEntry e;
    if (!m.Valid()) return e;
    e.code = PackedCode(m, imgNone, multiImage);
    e.inputKind = m.inputKind;
    e.outputKind = m.outputKind;
    e.opener = m.opener;
    return e;
}

// ---- Progress ----

void TProgressMeter::Reset() {
    lastShown_ = -127;
    basePercent_ = 0;
    baseTime_ = 0;
    etaSum_ = 0;
    etaCount_ = 0;
    h_ = m_ = s_ = 0;
}

void TProgressMeter::Start(int64_t nowSeconds) { baseTime_ = nowSeconds; }

bool TProgressMeter::Moves(int64_t done, int64_t total) const {
    return total > 0 && static_cast<int16_t>(done * 100 / total) != lastShown_;
}

TProgressMeter::Shown TProgressMeter::Step(int64_t done, int64_t total, int64_t nowSeconds) {
    Shown shown;
    if (total <= 0) return shown;
    const int percent = static_cast<int16_t>(done * 100 / total);
    if (percent == lastShown_) return shown;
    if (percent - basePercent_ > 1) {
        int64_t step = nowSeconds - baseTime_;
        if (step == 0) step = 1;
        etaSum_ += step;
        etaCount_ += 1;
        const int64_t average = etaSum_ / etaCount_;
        const int64_t remaining = average * (100 - percent) / (percent - basePercent_);
        h_ = static_cast<int>(remaining / 3600);
        m_ = static_cast<int>(remaining % 3600 / 60);
        s_ = static_cast<int>(remaining % 3600 % 60);
        basePercent_ = percent;
        baseTime_ = nowSeconds;
    }
    lastShown_ = percent;
    shown.changed = true;
    shown.percent = percent;
    shown.hours = h_;
    shown.minutes = m_;
    shown.seconds = s_;
    return shown;
}

// ---- Construction and thread ----

WriteThread::WriteThread(std::unique_ptr<TJobCopy> jobCopy)
    : jobCopy_(std::move(jobCopy)), job_(&jobCopy_->job), config_(&jobCopy_->config), start_(jobCopy_->start),
      controls_(job_->controls) {
    method_ = job_->method;
    pageMode_ = static_cast<int16_t>(job_->pageMode & 0xFFFF);
    runState_ = controls_ ? controls_->runState : nullptr;
    trackTable_ = job_->trackTable;
    if (controls_) lang_ = controls_->languageSet;
    job_->searchPattern = kPackStart5;
    volumeName_ = job_->volumeName;
    inputFile_ = std::make_unique<TFileIO>(job_);
    outputFile_ = std::make_unique<TFileIO>(job_);
    // Room for a whole raw sector, the 8-byte look-ahead and the fix loop's
    // searches; 5120 at least, as the searches read whole chunks.
    sector_.assign(8192, 0);
    search_.assign(5120, 0);
}

WriteThread::~WriteThread() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

std::shared_ptr<WriteThread> WriteThread::Create(std::unique_ptr<TJobCopy> jobCopy) {
    std::shared_ptr<WriteThread> worker(new WriteThread(std::move(jobCopy)));
    std::lock_guard<std::mutex> lock(gWorkersMutex);
    for (auto it = gWorkers.begin(); it != gWorkers.end();) {
        if ((*it)->Finished()) {
            (*it)->WaitFor();
            it = gWorkers.erase(it);
        } else {
            ++it;
        }
    }
    gWorkers.push_back(worker);
    worker->thread_ = std::thread([w = worker.get()] { w->Run(); });
    return worker;
}

void WriteThread::WaitFor() {
    std::lock_guard<std::mutex> lock(joinMutex_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void WriteThread::ApplyPriority() {
    // Linux threads carry their own nice value; raising it above normal needs
    // privileges, and a refusal simply leaves the normal priority.
    static constexpr int kNice[7] = {19, 10, 5, 0, -5, -10, -15};
    const int level = config_->PriorityLevel;
    if (level < 0 || level > 6 || level == 3) return;
    const pid_t tid = static_cast<pid_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), kNice[level]);
}

void WriteThread::Run() {
    pthread_setname_np(pthread_self(), "Write");
    ApplyPriority();
    // Nothing thrown may leave this thread: that would end the program.
    try {
        Execute();
    } catch (...) {
        EndAfterThrow(std::current_exception());
    }
    // The end goes out once, after the worker's last touch of its job; the
    // receiver may join this thread, which then only has to return.
    try {
        if (jobCopy_->onEnd) jobCopy_->onEnd(Outcome());
    } catch (...) {
        // No memory left even to say so: the thread still ends quietly.
    }
    finished_.store(true);
}

TJobOutcome WriteThread::Outcome() const {
    TJobOutcome o;
    o.result = result_;
    o.batchTask = batchTask_;
    o.generatedFiles = jobCopy_->generatedFiles;
    o.readSectorSize = job_->readSectorSize;
    o.writeSectorSize = job_->writeSectorSize;
    o.sectorHeaderSize = job_->sectorHeaderSize;
    o.discKind = job_->discKind;
    o.sourceName = job_->sourceName;
    o.outputName = job_->outputName;
    if (trackTable_) {
        o.sectorCount = trackTable_->sectorCount;
        o.selectedBytes = trackTable_->selectedBytes;
    }
    o.bumperRemoved = config_->bumperRemoved != 0;
    o.fixes = fixCount_;
    o.splits = splitCount_;
    o.padding = paddingCount_;
    return o;
}

// ---- Small helpers ----

void WriteThread::Log(const std::string& line) {
    if (controls_ && controls_->logListBox) {
        controls_->logListBox->add(line);
        controls_->logListBox->scrollToEnd();
    }
}

void WriteThread::Status(const std::string& text) {
    if (controls_ && controls_->statusLabel) controls_->statusLabel->setCaption(text);
}

int WriteThread::Report(int kind, int index, const std::string& text) {
    if (!controls_) return kind == kMsgQuestion ? platform::kCancel : 0;
    return ReportMessage(*controls_, *config_, kind, index, text);
}

std::string WriteThread::SourceName() const { return ExtractName(job_->sourceName); }

std::string WriteThread::TrackContext() const { return SourceName() + ", Track " + std::to_string(track_); }

std::string WriteThread::KindWord(int kind) const {
    if (kind < 1 || kind > 9) return std::string();
    return std::string(ImageExtensions[static_cast<size_t>(kind - 1)]);
}

std::string WriteThread::NowText() const {
    const platform::Clock& clock = controls_ && controls_->clock ? *controls_->clock : platform::defaultClock();
    const platform::LocalTime t = clock.now();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d @ %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

int64_t WriteThread::NowSeconds() const {
    const platform::Clock& clock = controls_ && controls_->clock ? *controls_->clock : platform::defaultClock();
    return clock.steadyMs() / 1000;
}

bool WriteThread::Running() const { return runState_ && runState_->running.load(std::memory_order_relaxed) == 1; }

void WriteThread::AppendGenerated(const std::string& name) {
    if (!name.empty() && name != kPassiveOutput) jobCopy_->generatedFiles += "\"" + name + "\" ";
}

// ---- Frame operations ----

int WriteThread::SelectMethod(int32_t index, int32_t pageMode) {
    const TMethodEntry e = LookUpMethod(index, pageMode, start_.imgNone, job_->multiImage == 1);
    if (e.code == kNoMethodCode) return kNoMethodCode;
    inputKind_ = e.inputKind;
    outputKind_ = e.outputKind;
    RecordInputs();
    if (pageMode == 1) return SelectBuildMethod(e);
    method_ = e.code;
    openerResult_ = RunOpener(e.opener);
    return openerResult_ == 0 ? e.code : kNoMethodCode;
}

void WriteThread::LogSettings() {
    const int level = config_->PriorityLevel;
    const std::string word = level >= 0 && level <= 6 ? lang_->core(msg::core::kPriorityIdle + level)
                                                      : lang_->core(msg::core::kPriorityNormal);
    Log(kLogIndent + lang_->core(msg::core::kThreadPriority) + " : " + word);
    Log(kLogIndent + lang_->core(msg::core::kProcessingMethod) + " : " + KindWord(inputKind_) + " => " +
        KindWord(outputKind_));
    if (inputKind_ != kCueKind && method_ != Code(Method::TocBinToMpeg)) {
        Log(kLogIndent + lang_->core(msg::core::kReadSizeSetTo) + ": " + std::to_string(job_->readSectorSize));
        Log(kLogIndent + lang_->core(msg::core::kWriteSizeSetTo) + ": " + std::to_string(job_->writeSectorSize));
    }
}

void WriteThread::FinishJob() {
    if (!controls_) return;
    if (controls_->titleLabel) controls_->titleLabel->setCaption(start_.mainCaption);
    if (controls_->etaLabel) controls_->etaLabel->setCaption("");
    if (controls_->statusLabel) controls_->statusLabel->setCaption("");
    if (controls_->completedLabel)
        controls_->completedLabel->setCaption(lang_->component(msg::component::kCompleted) + ": ");
    if (controls_->progressBar) controls_->progressBar->setPosition(0);
}

void WriteThread::ShowCounters() {
    const std::string fixes = lang_->component(msg::component::kFixes) + ": ";
    const std::string splits = lang_->component(msg::component::kSplits) + ": ";
    const std::string padding = lang_->component(msg::component::kPadding) + ": ";
    if (config_->FixMPEGErrors) {
        if (start_.fixLabel) start_.fixLabel->setCaption(fixes + std::to_string(fixCount_));
        if (start_.splitLabel)
            start_.splitLabel->setCaption(splits + (config_->DisableMPEGFileSplit == 0 && outputKind_ == kMpegKind
                                                        ? std::to_string(splitCount_)
                                                        : std::string("0")));
        if (start_.paddingLabel)
            start_.paddingLabel->setCaption(
                padding + (config_->DisableMPEGPadding == 0 ? std::to_string(paddingCount_) : std::string("0")));
    } else if (start_.fixLabel) {
        start_.fixLabel->setCaption(fixes + "0");
    }
}

void WriteThread::ProgressStep() {
    // The clock is read only when the shown percent moves.
    if (!progress_.Moves(sectorsDone_, trackSectors_)) return;
    const TProgressMeter::Shown s = progress_.Step(sectorsDone_, trackSectors_, NowSeconds());
    if (!s.changed || !controls_) return;
    if (controls_->progressBar) controls_->progressBar->setPosition(s.percent);
    if (controls_->completedLabel)
        controls_->completedLabel->setCaption(lang_->component(msg::component::kCompleted) + ": " +
                                              std::to_string(s.percent) + "%");
    char eta[32];
    std::snprintf(eta, sizeof eta, "%02d:%02d:%02d", s.hours, s.minutes, s.seconds);
    if (controls_->etaLabel) controls_->etaLabel->setCaption(eta);
    if (controls_->titleLabel) {
        char title[96];
        std::snprintf(title, sizeof title, "%d%% [ETA %02d:%02d:%02d] - Pellmor", s.percent, s.hours, s.minutes,
                      s.seconds);
        controls_->titleLabel->setCaption(title);
    }
}

// ---- The main line ----

void WriteThread::Execute() {
    if (!controls_ || !lang_) {
        // Nothing to report to: the job cannot run.
        result_ = result::kFailed;
        EndOfRun();
        return;
    }
    progress_.Reset();

    if (pageMode_ == 0) {
        if (start_.fixLabel) start_.fixLabel->setCaption(lang_->component(msg::component::kFixes) + ":");
        if (start_.splitLabel) start_.splitLabel->setCaption(lang_->component(msg::component::kSplits) + ":");
        if (start_.statusIndicator) start_.statusIndicator->setColor(kGrey);
    }

    if (method_ == kInitialiseRun) {
        Status("initialize");
        if (controls_->etaLabel) controls_->etaLabel->setCaption("...");
        if (controls_->progressBar) controls_->progressBar->setPosition(100);
        if (controls_->completedLabel) controls_->completedLabel->setCaption("100%");
        if (controls_->startButton) controls_->startButton->setCaption("...");
        FinishJob();
        EndOfRun();
        return;
    }

    fixCount_ = splitCount_ = paddingCount_ = 0;
    imageNumber_ = 1;
    if (runState_) {
        if (!start_.runningRaisedByCaller) runState_->running.store(1);
        runState_->pageMode.store(pageMode_);
    }
    inputFile_->searchContext.running = runState_ ? &runState_->running : nullptr;
    inputFile_->searchContext.progress = controls_->progressBar;
    outputFile_->searchContext = inputFile_->searchContext;

    Log("");
    Log("## Pellmor " + lang_->core(msg::core::kActive) + " : " + NowText() + " ##");
    Log(kLogIndent + lang_->core(msg::core::kMultiFileConvention) + " '" + config_->MultiFileFormat + "'");

    // Stopped before it began: nothing is opened, so no opener reports a
    // search it did not finish.
    if (start_.runningRaisedByCaller && !Running()) {
        EndCancelled();
        return;
    }

    const int32_t code = SelectMethod(method_, pageMode_);
    if (code == kNoMethodCode && openerResult_ == result::kCancelled) {
        // Stopped while the opener searched: a cancel, not a bad source.
        EndCancelled();
        return;
    }
    if (code == kNoMethodCode) {
        // The opener's own result says more than "no method" (5 no stream,
        // 4 cannot open, 9 bad pack size) and it reported it; a method the
        // table lacks is reported here. The batch sees a failure either way.
        if (openerResult_ == 0)
            Report(kMsgError, msg::error::kNoMpeg2Stream,
                   lang_->core(msg::core::kProcessingMethod) + " " + std::to_string(method_));
        result_ = openerResult_ != 0 ? openerResult_ : int(result::kNoMethod);
        FinishJob();
        EndOfRun();
        return;
    }
    method_ = code;

    // An image is raw 2352-byte sectors of 2324-byte payloads whatever the
    // forced sizes say: builds ignore them.
    const bool build = ((method_ >> 16) & kOptBuildImage) != 0;
    if (!build) {
        if (start_.forceRead) job_->readSectorSize = job_->forcedReadSize;
        if (start_.forceWrite) job_->writeSectorSize = job_->forcedWriteSize;
    }

    // Track images take their sizes per track (checked there); the log
    // shows the sizes the job really uses.
    if (inputKind_ != kCueKind && inputKind_ != kTocKind && !build) result_ = CheckSectorSizes();
    LogSettings();

    const int32_t options = (method_ >> 16) & 0xFF;
    if (config_->FixMPEGErrors && outputKind_ != kMpegKind) config_->DisableMPEGFileSplit = 1;
    if ((options & kOptBuildImage) && start_.toastChecked) {
        if (start_.toastCheckBox) start_.toastCheckBox->setChecked(false);
        config_->ToastEnable = 0;
    }
    // Set only by the first sector's check, and never with the option on.
    config_->sequenceCorrection = 0;

    jobCopy_->generatedFiles.clear();
    if (result_ == 0 && !build && CheckTrackOutputs() != 0) result_ = result::kWriteFailed;

    if (result_ == 0 && !build && config_->RemoveCDIBumper && !config_->bumperRemoved) {
        RemoveCdiBumper();
        config_->bumperRemoved = 1;
    }

    bool first = true;
    if (build) {
        if (result_ == 0) RunBuild();
    } else if (result_ == 0 && trackTable_) {
        for (int32_t t = trackTable_->firstTrack; t <= trackTable_->lastTrack && result_ == 0; ++t) {
            const size_t row = static_cast<size_t>(t - trackTable_->firstTrack);
            if (config_->selectedTracksOnly && !(row < start_.selectedRows.size() && start_.selectedRows[row])) {
                SkipTrack(t);
                continue;
            }
            ProcessTrack(t, first);
            first = false;
        }
    }

    // After the tracks.
    // A track the source holds only in part lost stream data: never a success.
    if (result_ == 0 && (streamCut_ || (streamMissing_ && jobBytes_ == 0))) result_ = result::kNoMpegStream;
    if (result_ == 0 && !config_->passive) {
        if (start_.previewButton && !jobCopy_->generatedFiles.empty())
            start_.previewButton->setEnabled(true);
        if (!build) outputSize_ = static_cast<int64_t>(outputBytes_);
    }
    if (outputOpen_) {
        if (!outputFile_->Flush()) {
            if (!writeError_) Report(kMsgError, msg::error::kCannotCreate, job_->outputName);
            writeError_ = true;
            if (result_ == 0) result_ = result::kWriteFailed;
            DropFailedOutput();
        }
        outputFile_->Close();
        outputOpen_ = false;
    }
    inputFile_->Close();
    // A stopped job keeps what it wrote (the log names a cut output); a
    // failed one leaves nothing half written.
    if (result_ != 0 && result_ != result::kCancelled) DropUnfinishedOutputs();

    ShowCounters();
    if (config_->FixMPEGErrors) {
        Log(kLogIndent + std::to_string(fixCount_) + " " + lang_->core(msg::core::kBlockCorrections));
        if (config_->DisableMPEGFileSplit == 0 && outputKind_ == kMpegKind)
            Log(kLogIndent + std::to_string(splitCount_) + " " + lang_->core(msg::core::kSplitsMade));
        if (config_->DisableMPEGPadding == 0)
            Log(kLogIndent + std::to_string(paddingCount_) + " " + lang_->core(msg::core::kBlocksPadded));
    }
    if (pageMode_ == 0 && start_.statusIndicator) {
        int32_t colour = config_->Error_Clr;
        if (result_ == 0) {
            if (streamMissing_)
                colour = config_->Warning_Clr;  // a track without its stream is no pass
            else if (fixCount_ < static_cast<uint32_t>(config_->Pass_Threshold))
                colour = config_->Pass_Clr;
            else if (fixCount_ < static_cast<uint32_t>(config_->Warning_Threshold))
                colour = config_->Warning_Clr;
        }
        start_.statusIndicator->setColor(colour);
    }
    Log("## Pellmor " + lang_->core(msg::core::kCompleted) + " : " + NowText() + " ##");
    Log("");
    EndOfRun();
}

// An output a failed write cut short looks finished on disk: it goes, and the
// log says so. Devices (an output of /dev/full, the null sink) stay.
void WriteThread::DropFailedOutput() {
    const std::string name = job_->outputName;
    if (outputOpen_) {
        outputFile_->Close();
        outputOpen_ = false;
    }
    if (name.empty() || name == kPassiveOutput) return;
    if (guard_.Remove(name)) {
        Log(IncompleteRemovedLine(name));
        DropGenerated(name);
    }
}

void WriteThread::DropUnfinishedOutputs() {
    if (outputOpen_) {
        outputFile_->Close();
        outputOpen_ = false;
    }
    for (const std::string& name : guard_.RemoveUnfinished()) {
        Log(IncompleteRemovedLine(name));
        DropGenerated(name);
    }
}

void WriteThread::DropGenerated(const std::string& name) {
    const std::string entry = "\"" + name + "\" ";
    std::string& list = jobCopy_->generatedFiles;
    for (size_t at = list.find(entry); at != std::string::npos; at = list.find(entry)) list.erase(at, entry.size());
}

void WriteThread::RecordInputs() {
    guard_.AddInput(job_->sourceName);
    // A sheet's image is the job's source; the sheet is read too.
    if (inputKind_ == kCueKind || inputKind_ == kTocKind) guard_.AddInput(job_->sheetName);
    // What the open dialog chose for an extraction (a RAR load's archive);
    // a build reads only its list.
    if (pageMode_ != 1) {
        const std::string& chosen = jobCopy_->openDialog.FileName;
        guard_.AddInput(chosen);
        if (inputKind_ == kCueKind) guard_.AddInput(SiblingWithExtension(chosen, "cue"));
        for (const std::string& f : jobCopy_->openDialog.Files) guard_.AddInput(f);
    }
    if (jobCopy_->hasBuildList)
        for (const TMpegFileInfo& e : jobCopy_->buildList) guard_.AddInput(e.name);
    if (start_.sampleClip) guard_.AddInput(start_.sampleClip->sourcePath);
    if (config_->AddCDIApplication)
        for (const std::string* f : {&config_->CDI_ImageFile, &config_->CDI_FontFile, &config_->CDI_ApplicationFile,
                                     &config_->CDI_ConfigurationFile})
            guard_.AddInput(*f);
}

std::string WriteThread::OutputClash(const std::string& name) {
    if (name.empty() || name == kPassiveOutput) return std::string();
    std::string other = guard_.Clash(name);
    if (!other.empty()) Log(OutputClashLine(name, other));
    return other;
}

// Every output the tracks will take (and its companion) is checked against
// the job's sources before the first track is written.
int WriteThread::CheckTrackOutputs() {
    if (config_->passive || job_->baseOutputName == kPassiveOutput || !trackTable_) return 0;
    const int32_t options = (method_ >> 16) & 0xFF;
    const bool companion = outputKind_ == kMpegKind && config_->ToastEnable;
    for (int32_t t = trackTable_->firstTrack; t <= trackTable_->lastTrack; ++t) {
        const size_t row = static_cast<size_t>(t - trackTable_->firstTrack);
        if (config_->selectedTracksOnly && !(row < start_.selectedRows.size() && start_.selectedRows[row])) continue;
        std::string name = job_->baseOutputName;
        if ((options & kOptPerTrack) && !MakeOutputName(*job_, *config_, t, name)) return 0;  // refused per track
        std::vector<std::string> files{name};
        if (companion) files.push_back(name + ".rsrc");
        for (const std::string& file : files) {
            if (OutputClash(file).empty()) continue;
            Report(kMsgError, msg::error::kCannotCreate, file);
            return result::kWriteFailed;
        }
        if (!(options & kOptPerTrack)) break;
    }
    return 0;
}

// Split pieces keep clear of the names the job's later tracks will take.
bool WriteThread::PlannedTrackOutput(const std::string& name) {
    const int32_t options = (method_ >> 16) & 0xFF;
    if (!(options & kOptPerTrack) || !trackTable_) return false;
    if (!plannedOutputs_) {
        plannedOutputs_.emplace();
        for (int32_t t = trackTable_->firstTrack; t <= trackTable_->lastTrack; ++t) {
            std::string planned;
            if (MakeOutputName(*job_, *config_, t, planned)) plannedOutputs_->AddOutput(planned);
        }
    }
    return !plannedOutputs_->Clash(name).empty();
}

// The two size fields of a dat are 32-bit: an output they cannot describe is
// refused before it is written.
bool WriteThread::DatTooLarge() {
    if (outputKind_ != kDatKind || job_->outputName == kPassiveOutput) return false;
    uint64_t sectors = 0;
    if (method_ == Code(Method::MpegToDat)) {
        sectors = 30 + inputFile_->size / 2324 + 1;
    } else {
        const uint64_t r = static_cast<uint64_t>(std::max<int32_t>(job_->readSectorSize, 1));
        sectors = method_ == Code(Method::CueBinToDat)
                      ? static_cast<uint64_t>(std::max<int64_t>(trackTable_->sectorCount, 0))
                      : inputFile_->size / r + 1;
    }
    if (44 + sectors * 2352 - 8 <= 0xFFFFFFFFull) return false;
    Report(kMsgError, msg::error::kCannotCreate, job_->outputName + ": a dat file holds at most 4 GiB");
    result_ = result::kWriteFailed;
    return true;
}

void WriteThread::EndAfterThrow(std::exception_ptr caught) {
    result_ = result::kFailed;
    if (controls_ && config_) {
        MessageServices services;
        services.languageSet = lang_.get();
        services.stats = controls_->stats;
        services.dialogs = controls_->dialogs;
        ReportEscapedException(services, caught, config_->DisableAudioWarningBell, config_->DisableErrorPrompts,
                               controls_->logListBox);
    }
    try {
        // An output still open was cut short.
        if (outputOpen_) DropFailedOutput();
        if (inputFile_) inputFile_->Close();
        EndOfRun();
    } catch (...) {
        if (runState_) runState_->running.store(0);
    }
    result_ = result::kFailed;
}

void WriteThread::EndCancelled() {
    result_ = result::kCancelled;
    Log(std::string(kLogIndent) + "[ " + lang_->core(msg::core::kAbortedProcessing) + " ]");
    if (pageMode_ == 0 && start_.statusIndicator) start_.statusIndicator->setColor(config_->Error_Clr);
    Log("## Pellmor " + lang_->core(msg::core::kCompleted) + " : " + NowText() + " ##");
    Log("");
    FinishJob();
    EndOfRun();
}

void WriteThread::SkipTrack(int32_t track) {
    if (inputKind_ != kNrgKind && inputKind_ != kCifKind && inputKind_ != kBinKind) return;
    // Known where the track's file lies: past its end, whatever it holds (a
    // track without a stream is left out like any other).
    const size_t at = static_cast<size_t>(track);
    if ((inputKind_ == kNrgKind || inputKind_ == kCifKind) && sourceLeadKnown_ && at < trackTable_->start.size() &&
        at < trackTable_->end.size()) {
        const int64_t adjust = inputKind_ == kNrgKind ? kNrgTrackLengthAdjust : kCifTrackLengthAdjust;
        const int64_t sectors = (std::max<int64_t>(trackTable_->end[at] - trackTable_->start[at], 0) + adjust) / 2324;
        const uint64_t end = sourceLead_ + static_cast<uint64_t>(std::max<int64_t>(trackTable_->start[at], 0)) +
                             static_cast<uint64_t>(sectors) * static_cast<uint64_t>(job_->readSectorSize);
        if (inputFile_->position < end) inputFile_->Seek(end);
        return;
    }
    if (inputFile_->SearchJobPattern(search_.data(), search_.size()) != 0) {
        if (!Running()) {
            Log(std::string(kLogIndent) + "[ " + lang_->core(msg::core::kAbortedProcessing) + " ]");
            result_ = result::kCancelled;
            return;
        }
        Report(kMsgError, msg::error::kNoMpegStream, SourceName());
        result_ = result::kNoMpegStream;
        return;
    }
    // As many sectors as the track is read for (its set-up adds back what
    // the listed length leaves out), so the reader stands past its end and
    // before the next track's stream.
    const size_t row = static_cast<size_t>(track);
    if (row < trackTable_->start.size() && row < trackTable_->end.size()) {
        const int64_t adjust = inputKind_ == kNrgKind ? kNrgTrackLengthAdjust
                               : inputKind_ == kCifKind ? kCifTrackLengthAdjust
                                                        : kBinTrackLengthAdjust;
        const int64_t listed = std::max<int64_t>(trackTable_->end[row] - trackTable_->start[row], 0);
        const int64_t sectors = (listed + adjust) / 2324;
        inputFile_->SeekBy(sectors * job_->readSectorSize);
    }
}

void WriteThread::ProcessTrack(int32_t track, bool first) {
    const int64_t trackStartTime = NowSeconds();
    const int32_t options = (method_ >> 16) & 0xFF;
    track_ = track;
    trackBytes_ = 0;
    trackOutputOpened_ = false;

    // Output name of the track.
    if (config_->passive || job_->baseOutputName == kPassiveOutput) {
        job_->outputName = kPassiveOutput;
    } else if (options & kOptPerTrack) {
        std::string name;
        if (!MakeOutputName(*job_, *config_, track, name)) {
            Report(kMsgError, msg::error::kCannotCreate, config_->MultiFileFormat);
            result_ = result::kWriteFailed;
            return;
        }
        job_->outputName = name;
    } else {
        job_->outputName = job_->baseOutputName;
    }

    result_ = SetupTrack(track);
    if (result_ != 0) return;

    if (first || (options & (kOptPerTrack | kOptPerImage))) {
        if (outputOpen_) {
            // A write that failed late (a full disk) shows up when closing.
            const std::string previous = outputFile_->name;
            outputOpen_ = false;
            if (outputFile_->Close() != 0) {
                if (!writeError_) Report(kMsgError, msg::error::kCannotCreate, previous);
                result_ = result::kWriteFailed;
                return;
            }
        }
        if (DatTooLarge()) return;
        const int r = OpenOutput(job_->outputName, false);
        if (r == result::kCannotCreate || r == result::kOverwriteRefused) {
            Report(kMsgError, msg::error::kCannotCreate, job_->outputName);
            result_ = result::kWriteFailed;
            return;
        }
        if (r == result::kCancelled) {
            result_ = result::kCancelled;
            return;
        }
        outputOpen_ = true;
        trackOutputOpened_ = true;
        outputBytes_ = 0;
    } else if (outputOpen_) {
        // Written on: unfinished again until this track is done.
        guard_.AddOutput(job_->outputName);
    }

    bool found = true;
    if (pageMode_ == 0 && (method_ == Code(Method::CueBinToMpeg) || method_ == Code(Method::TocBinToMpeg))) {
        char text[64];
        std::snprintf(text, sizeof text, "Track %d:   ", track);
        Status(text + lang_->core(msg::core::kSearching) + "...");
        // Only inside this track: a stream further on belongs to another.
        found = SearchPattern(job_, 4, trackEnd_) == 0;
    }
    LoopEnd end = LoopEnd::NoStream;
    if (found) {
        if (options & (kOptBuildImage | kOptPerTrack)) {
            char text[64];
            std::snprintf(text, sizeof text, "Track %d:   ", track);
            Status(text + lang_->core(msg::core::kWriting) + "...");
        } else {
            Status(lang_->core(msg::core::kWriting) + "...");
        }
        sectorsDone_ = 0;
        progress_.Reset();
        progress_.Start(NowSeconds());
        end = RunSectorLoop();
    }

    if (end == LoopEnd::Cancelled || !Running()) {
        // The cut output stays, named so that nobody takes it for whole.
        const bool cut = outputOpen_ && job_->outputName != kPassiveOutput && outputBytes_ > 0;
        Log(std::string(kLogIndent) + "[ " + lang_->core(msg::core::kAbortedProcessing) + " ]" +
            (cut ? " " + job_->outputName : std::string()));
        result_ = result::kCancelled;
    } else if (end == LoopEnd::Failed) {
        if (result_ == 0) result_ = result::kWriteFailed;
        if (writeError_) DropFailedOutput();
    } else if (end == LoopEnd::NoStream && trackBytes_ == 0) {
        // Reported, and the job fails at its end when no track had a stream
        // or this one lies past the source's end.
        Report(kMsgError, msg::error::kNoMpegStream, TrackContext());
        streamMissing_ = true;
        streamCut_ = streamCut_ || trackCut_;
    } else {
        if (end != LoopEnd::Done) {
            Report(kMsgError, msg::error::kNoMpegStream, TrackContext());
            streamMissing_ = true;
        }
        if (trackCut_) {
            // The source ends inside the track: what it held is written, the
            // rest is missing.
            Report(kMsgError, msg::error::kTrackTruncated, TrackContext());
            streamMissing_ = streamCut_ = true;
        }
        // A full disk must show before the track is called processed.
        if (outputOpen_ && !outputFile_->Flush()) {
            if (!writeError_) Report(kMsgError, msg::error::kCannotCreate, job_->outputName);
            writeError_ = true;
            if (result_ == 0) result_ = result::kWriteFailed;
        }
        if (!writeError_) TrackEnd();
        if (writeError_) DropFailedOutput();
        if (result_ == 0) {
            const int64_t elapsed = (NowSeconds() - trackStartTime) % 86400;
            Log(kLogIndent + lang_->core(msg::core::kProcessedTrack) + " " + std::to_string(track) + " : " +
                std::to_string(elapsed / 3600) + " " + lang_->core(msg::core::kHours) + " " +
                std::to_string(elapsed % 3600 / 60) + " " + lang_->core(msg::core::kMins) + " " +
                std::to_string(elapsed % 60) + " " + lang_->core(msg::core::kSeconds));
        }
    }
    FinishJob();
    sectorsDone_ = 0;
    progress_.Reset();

    // Only a track that wrote into its own output names it; a removed
    // output is no output.
    if (!writeError_ && (trackOutputOpened_ || trackBytes_ > 0)) {
        if (trackOutputOpened_ && trackBytes_ == 0 && job_->outputName != kPassiveOutput && result_ != result::kCancelled) {
            // The stream was not there: leave no empty file behind.
            outputFile_->Close();
            outputOpen_ = false;
            guard_.Remove(job_->outputName);
        } else {
            AppendGenerated(job_->outputName);
            if (result_ == 0) guard_.Finish(job_->outputName);
        }
    }
}

void WriteThread::EndOfRun() {
    // However the job ended (a refused overwrite, a failed opener, a stop),
    // no "searching..." or ETA of it stays on the page.
    if (lang_) FinishJob();
    if (controls_) {
        if (controls_->startButton) {
            controls_->startButton->setCaption(lang_ ? lang_->component(msg::component::kStart) : "start");
            controls_->startButton->setHint(lang_ ? lang_->hint(msg::hint::kStart) : "");
        }
        if (controls_->completedLabel)
            controls_->completedLabel->setCaption((lang_ ? lang_->component(msg::component::kCompleted) : "") + ":");
        if (controls_->stats) {
            controls_->stats->warnings.store(0);
            controls_->stats->errors.store(0);
        }
    }
    if (outputOpen_) outputFile_->Close();
    outputOpen_ = false;
    EndBuild();
    inputFile_.reset();
    outputFile_.reset();
    job_->inputFile = nullptr;
    job_->outputFile = nullptr;
    config_->buildListHeaderShown = 0;
    if (runState_) runState_->running.store(0);

    // The result answers the batch window only when a batch task really runs
    // this job (the prompt flags carry the batch bit) and the batch listens.
    batchTask_ = controls_ && controls_->batchFlag && controls_->batchFlag->load() == 1 &&
                 (config_->DisableErrorPrompts & 0x8000) && jobCopy_->batchListening;
    if (batchTask_) {
        for (platform::FileDialogState* d : {&jobCopy_->openDialog, &jobCopy_->saveDialog}) {
            d->Files.clear();
            d->FileName.clear();
        }
    }
    delete job_->controls;
    job_->controls = nullptr;
    controls_ = nullptr;
}
