#include "engine/source_loader.h"

#include <sys/stat.h>

#include <atomic>

#include "core/constants.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "core/language_set.h"
#include "core/path_lookup.h"
#include "core/result_codes.h"
#include "disc/cue_reader.h"
#include "disc/mpeg_file_list.h"
#include "disc/toc_reader.h"
#include "disc/track_table.h"
#include "engine/methods.h"

namespace {

// Names the save dialog offers for a method's output.
void NameOutput(int method, bool toast, const std::string& source, platform::FileDialogState& save) {
    save.FileName = WithoutExtension(ExtractName(source));
    const TMethodInfo& m = ExtractionMethod(method);
    switch (m.outputKind) {
    case kDatKind:
        save.Filter = "*.dat (vcd mpeg video)|*.dat";
        save.DefaultExt = "dat";
        break;
    case kMpegKind:
        // Output and source would share the name.
        if (m.inputKind == kMpegKind) save.FileName.clear();
        if (toast) {
            save.Filter = "*.mpeg (vcd mpeg video)|*.mpeg";
            save.DefaultExt = "mpeg";
        } else {
            save.Filter = "*.mpg (vcd mpeg video)|*.mpg";
            save.DefaultExt = "mpg";
        }
        break;
    default:
        save.Filter = "*.raw (cd track image)|*.raw";
        save.DefaultExt = "raw";
        break;
    }
    save.FilterIndex = 1;
    save.multiSelect = false;
}

class Loader {
public:
    explicit Loader(const SourceLoad& in)
        : in_(in),
          job_(*in.job),
          config_(*in.config),
          open_(*in.openDialog),
          save_(*in.saveDialog),
          texts_(in.texts ? in.texts : std::make_shared<const TLanguageSet>()),
          reporter_(LoadReporter::For(MessageServices{texts_.get(), in.stats, in.dialogs}, *in.config, in.log)) {
        if (!job_.trackTable) job_.trackTable = new TTrackTable();
    }

    SourceLoadOutcome Run();

private:
    TTrackTable& table() { return *job_.trackTable; }
    bool Choose(bool& firstCancelled);
    void LoadChosen();
    bool LoadSheet(bool toc);
    void LoadImage(DiscImageKind kind);
    void LoadStream();
    void Fail();
    void ForBatch();

    const SourceLoad& in_;
    TJob& job_;
    TConfig& config_;
    platform::FileDialogState& open_;
    platform::FileDialogState& save_;
    std::shared_ptr<const TLanguageSet> texts_;
    LoadReporter reporter_;
    SourceLoadOutcome out_;
};

SourceLoadOutcome Loader::Run() {
    // Archives become batch tasks; unattended there is nobody to choose them
    // (passive mode is unattended too, but shows the open dialog).
    const bool archive = ExtractionMethod(in_.method).load == SourceForm::Archive;
    if (archive && in_.unattended && !in_.passive) {
        out_.result = result::kFailed;
        return out_;
    }
    if (!in_.unattended || in_.passive) {
        open_.Title.clear();
        if (!config_.DefaultLoadDir.empty()) open_.InitialDir = config_.DefaultLoadDir;
        if (const char* filter = SourceOpenFilter(in_.method)) {
            open_.Filter = filter;
            open_.FilterIndex = 1;
        }
        // Several sources at once become one batch task each.
        open_.multiSelect = ExtractionMethod(in_.method).severalFiles;
    }
    bool firstCancelled = false;
    if (!in_.batchTask && !Choose(firstCancelled)) {
        out_.result = result::kFailed;
        return out_;
    }
    if (in_.sourceChosen) in_.sourceChosen();

    if (!open_.FileName.empty()) config_.DefaultLoadDir = ExtractFolder(open_.FileName);
    job_.discKind = 1;
    job_.pageMode = 0;
    const std::string source = open_.FileName;
    // Archives and several sources are handed to the batch; the page loads
    // none of them.
    if (archive && !in_.batchTask) {
        ForBatch();
        return out_;
    }
    if (!in_.unattended && !in_.batchTask) {
        if (open_.Files.size() > 1 && LoadsSeveralSources(in_.method)) {
            std::string folder = config_.DefaultSaveDir.empty() ? "." : config_.DefaultSaveDir;
            if (!in_.fileDialogs ||
                !in_.fileDialogs->selectDirectory("Select directory to save output files to:", folder)) {
                out_.result = result::kFailed;
                return out_;
            }
            save_.Files = OutputNamesForSources(open_.Files, folder, in_.method);
            config_.DefaultSaveDir = folder;
            ForBatch();
            if (in_.inputFileField) in_.inputFileField->setText(source);
            table().lastIndex = -1;
            return out_;
        }
    }
    if (!in_.unattended) NameOutput(in_.method, in_.toast, source, save_);
    // Without a remembered folder the output goes beside its source, not
    // into whatever folder the program was started from.
    if (!config_.DefaultSaveDir.empty())
        save_.InitialDir = config_.DefaultSaveDir;
    else if (!source.empty())
        save_.InitialDir = ExtractFolder(source);

    const bool saved = in_.unattended || (in_.fileDialogs && in_.fileDialogs->executeSave(save_));
    if (saved) {
        LoadChosen();
        if (out_.result != result::kOk || in_.batchTask) return out_;
    } else {
        // Without an output the new source is not loaded, and the previous
        // one is gone from the dialogs: nothing may start.
        Fail();
    }
    if (firstCancelled) {
        out_.result = result::kFailed;
        return out_;
    }
    StoreTrackSelection(0, in_.trackListBox, 0, table(), config_);
    return out_;
}

// The open dialog, or the name it holds when nobody is there to ask.
bool Loader::Choose(bool& firstCancelled) {
    auto ask = [&] { return in_.fileDialogs && in_.fileDialogs->executeOpen(open_); };
    bool chosen = false;
    if (!in_.unattended) {
        chosen = ask();
        firstCancelled = !chosen;
    }
    if (!chosen && in_.passive) chosen = ask();
    if (!chosen && !in_.unattended) return false;
    // Unattended with nothing held: nothing to load.
    return chosen || !open_.FileName.empty();
}

void Loader::LoadChosen() {
    if (!save_.FileName.empty() && save_.FileName != kPassiveOutput)
        config_.DefaultSaveDir = ExtractFolder(save_.FileName);
    if (in_.batchTask) {
        open_.FileName.clear();
        open_.Files.clear();
    }
    if (in_.passive)
        save_.FileName = kPassiveOutput;
    else
        out_.namingUsable = true;
    if (in_.inputFileField) in_.inputFileField->setText(open_.FileName);
    job_.sourceName = open_.FileName;
    job_.sheetName.clear();  // until a sheet reader names it
    table().lastIndex = -1;
    if (in_.batchTask) return;

    const SourceForm form = ExtractionMethod(in_.method).load;
    switch (form) {
    case SourceForm::CueSheet:
    case SourceForm::TocSheet:
        if (!LoadSheet(form == SourceForm::TocSheet)) out_.result = result::kCannotOpen;
        break;
    case SourceForm::BinImage: LoadImage(DiscImageKind::Bin); break;
    case SourceForm::CifImage: LoadImage(DiscImageKind::Cif); break;
    case SourceForm::NrgImage: LoadImage(DiscImageKind::Nrg); break;
    default: LoadStream(); break;
    }
}

bool Loader::LoadSheet(bool toc) {
    // From the dialog, not the field: the field's text is for showing.
    std::string path = open_.FileName;
    if (!toc) {
        path = SiblingWithExtension(path, "cue");
        if (in_.inputFileField) in_.inputFileField->setText(path);
    }
    // The readers report through a controls block and may ask for a
    // missing image in the open dialog; it lives only as long as the reader.
    std::atomic<uint8_t> unattended{static_cast<uint8_t>(in_.unattended ? 1 : 0)};
    TJobControls controls;
    controls.logListBox = in_.log;
    controls.stats = in_.stats;
    controls.languageSet = texts_;
    controls.dialogs = in_.dialogs;
    controls.fileDialogs = in_.fileDialogs;
    controls.openDialog = &open_;
    controls.batchFlag = &unattended;

    auto parse = [&](auto& reader) {
        if (reader.Open(path) != 0) {
            // A sheet that cannot be read is no source.
            reporter_.report(kMsgError, msg::error::kCannotOpen, ExtractName(path));
            Fail();
            return false;
        }
        if (in_.releaseScan) in_.releaseScan();
        if (in_.trackLengths) in_.trackLengths->clear();
        if (reader.Parse() == 1) {
            const bool zero = in_.trackZeroBox && in_.trackZeroBox->checked();
            if (in_.trackListBox) {
                FillTrackList(*in_.trackListBox, table(), zero, *texts_, in_.trackMsgLabel);
            } else {
                table().firstTrack = zero ? 0 : 1;
                if (in_.trackMsgLabel) in_.trackMsgLabel->setCaption(texts_->core(msg::core::kAllTracksSelected));
            }
            if (in_.startButton) in_.startButton->setEnabled(true);
            if (in_.trackZeroBox) in_.trackZeroBox->setEnabled(true);
            out_.startable = true;
            out_.trackZeroUsable = true;
            return true;
        }
        Fail();
        // Unattended, a sheet that does not parse fails the load; with the
        // user present the parser's own message is the answer.
        return !in_.unattended;
    };
    if (toc) {
        TTocReader reader(&job_, &config_, &controls);
        return parse(reader);
    }
    TCueReader reader(&job_, &config_, &controls);
    return parse(reader);
}

void Loader::LoadImage(DiscImageKind kind) {
    if (in_.trackLengths) in_.trackLengths->clear();
    const int r =
        ScanDiscImage(kind, open_.FileName, job_, in_.trackListBox, in_.startButton, reporter_, in_.trackLengths,
                      in_.forcedReadSize);
    if (r != 0) {
        Fail();
        out_.result = r;
        return;
    }
    out_.startable = true;
}

// One stream, one track.
void Loader::LoadStream() {
    if (in_.releaseScan) in_.releaseScan();
    if (in_.trackListBox) in_.trackListBox->clear();
    if (in_.trackLengths) in_.trackLengths->clear();
    if (in_.startButton) in_.startButton->setEnabled(true);
    out_.startable = true;
    table().firstTrack = 1;
    table().lastTrack = 1;
    table().lastIndex = 1;
}

// A load that did not give a source: nothing of the previous one may start.
void Loader::Fail() {
    if (in_.startButton) in_.startButton->setEnabled(false);
    if (in_.trackZeroBox) in_.trackZeroBox->setEnabled(false);
    table().Reset();
    if (in_.trackLengths) in_.trackLengths->clear();
    if (in_.trackListBox) in_.trackListBox->clear();
    if (in_.inputFileField) in_.inputFileField->setText("");
    if (in_.trackMsgLabel) in_.trackMsgLabel->setCaption("");
    open_.FileName.clear();
    open_.Files.clear();
    save_.FileName.clear();
    save_.Files.clear();
    job_.sourceName.clear();
    job_.outputName.clear();
    job_.baseOutputName.clear();
    if (in_.releaseScan) in_.releaseScan();
    out_.cleared = true;
    out_.startable = false;
    out_.trackZeroUsable = false;
    out_.namingUsable = false;
}

// Files chosen for the batch: no source is listed, the names stay.
void Loader::ForBatch() {
    if (in_.trackListBox) in_.trackListBox->clear();
    table().Reset();
    if (in_.trackLengths) in_.trackLengths->clear();
    config_.selectedTracksOnly = 0;
    if (in_.startButton) in_.startButton->setEnabled(false);
    if (in_.trackZeroBox) in_.trackZeroBox->setEnabled(false);
    out_.forBatch = true;
}

std::string Joined(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

}  // namespace

SourceLoadOutcome LoadSource(const SourceLoad& load) { return Loader(load).Run(); }

bool LoadsSeveralSources(int method) {
    const TMethodInfo& m = ExtractionMethod(method);
    return m.severalFiles && m.load != SourceForm::Archive;
}

std::vector<std::string> OutputNamesForSources(const std::vector<std::string>& sources, const std::string& folder,
                                               int method) {
    const bool dat = ExtractionMethod(method).outputKind == kDatKind;
    std::vector<std::string> names;
    names.reserve(sources.size());
    for (const std::string& source : sources)
        names.push_back(Joined(folder, WithoutExtension(ExtractName(source)) + (dat ? ".dat" : ".mpg")));
    return names;
}

bool IsSheetMethod(int method) {
    const SourceForm form = ExtractionMethod(method).load;
    return form == SourceForm::CueSheet || form == SourceForm::TocSheet;
}

const char* SourceOpenFilter(int method) { return ExtractionMethod(method).openFilter; }

int LoadImageForBuild(int videoCdMethod, const std::string& source, TJob& job, TMpegFileList& list,
                      const LoadReporter& reporter, std::vector<int64_t>* trackLengths, std::string* volumeLabel) {
    const SourceForm form = VideoCdMethod(videoCdMethod).load;
    if (form != SourceForm::CifImage && form != SourceForm::NrgImage) return result::kFailed;
    const DiscImageKind kind = form == SourceForm::CifImage ? DiscImageKind::Cif : DiscImageKind::Nrg;
    job.sourceName = source;
    std::vector<int64_t> lengths;
    if (const int r = ScanDiscImage(kind, source, job, nullptr, nullptr, reporter, &lengths); r != result::kOk) {
        job.sourceName.clear();
        return r;
    }
    // An image rebuilt from one that ends inside a track would lack part of
    // it: a build takes whole images only.
    const TTrackTable* table = job.trackTable;
    // The extents count from behind the file's lead; an nrg's sectors end
    // at its footer.
    uint64_t size = 0, lead = 0;
    if (TFileIO file; file.OpenForRead(source) == 0) {
        size = file.size;
        if (kind == DiscImageKind::Nrg) {
            size = NeroDataEnd(file);
            lead = uint64_t(std::max<int64_t>(NeroLead(file), 0));
        } else {
            lead = uint64_t(std::max<int64_t>(CifLead(file), 0));
        }
        file.Close();
    }
    const int32_t adjust = kind == DiscImageKind::Cif ? kCifTrackLengthAdjust : kNrgTrackLengthAdjust;
    for (size_t k = 1; table && k < table->start.size() && k < table->end.size(); ++k) {
        const int64_t sectors = (table->end[k] - table->start[k] + adjust) / 2324;
        if (lead + static_cast<uint64_t>(table->start[k] + sectors * job.readSectorSize) > size) {
            reporter.report(kMsgError, msg::error::kTrackTruncated,
                            ExtractName(source) + ", Track " + std::to_string(k));
            job.sourceName.clear();
            return result::kNoMpegStream;
        }
    }
    // One entry per track of the image.
    for (size_t k = 0; k < lengths.size(); ++k) {
        TMpegFileInfo e;
        e.size = lengths[k];
        e.image = 1;
        e.trackInImage = static_cast<int32_t>(k) + 1;
        e.name = source;
        list.entries.push_back(std::move(e));
    }
    if (trackLengths) *trackLengths = std::move(lengths);
    if (volumeLabel && kind == DiscImageKind::Nrg)
        *volumeLabel = ReadVolumeLabel(source, kNrgVolumeLabelOffset, reporter, true);
    return result::kOk;
}
