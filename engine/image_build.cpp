// The image build of the worker: MPEG files (or the tracks of a cif or nrg
// image) written as the raw Mode 2 Form 2 tracks of VCD or SVCD images, with
// their frame of pregap, margin and end sectors, the scan points, the
// time stamps of continued pieces rebased, and one data track, one set of
// tables and one sheet per image.
#include "engine/image_build.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/constants.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "disc/program_stream.h"
#include "disc/sector_encoder.h"
#include "disc/time_code.h"
#include "disc/track_table.h"
#include "engine/block_reader.h"
#include "engine/output_writers.h"
#include "engine/source_scan.h"
#include "engine/system_header.h"
#include "engine/write_thread.h"
#include "tools/clip_writer.h"

namespace {

constexpr uint8_t kPackStart5[5] = {0x00, 0x00, 0x01, 0xBA, 0x21};
constexpr uint8_t kGopStart[4] = {0x00, 0x00, 0x01, 0xB8};
constexpr uint8_t kSequenceHeaderStart[4] = {0x00, 0x00, 0x01, 0xB3};
constexpr uint8_t kGapSubheader[8] = {0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x00};
constexpr uint8_t kMarginSubheader[8] = {0x01, 0x00, 0x60, 0x00, 0x01, 0x00, 0x60, 0x00};
constexpr uint8_t kEndSubheader[8] = {0x01, 0x00, 0xE0, 0x00, 0x01, 0x00, 0xE0, 0x00};
constexpr size_t kPayload = 2324;
constexpr size_t kRaw = 2352;
constexpr size_t kChunk = 5120;
constexpr int kPregap = 150, kFrontMargin = 30, kEndMargin = 44, kPostgap = 10;
// Sectors of the gathered writes: half a megabyte, which stays in the
// caches (a megabyte or more made a 687 MB build slower).
constexpr size_t kSectorsPerWrite = 224;

// First start code (00 00 01 code[3]) in s[0..n), or null. Every sector is
// scanned for a GOP, so the scan jumps between the rare 01 bytes.
const uint8_t* Find(const uint8_t* code, const uint8_t* s, size_t n) {
    if (n < 4) return nullptr;
    const uint8_t* p = s + 2;
    const uint8_t* end = s + n - 1;  // the code byte must fit
    while (p < end) {
        p = static_cast<const uint8_t*>(std::memchr(p, 0x01, size_t(end - p)));
        if (!p) return nullptr;
        if (p[1] == code[3] && p[-1] == 0 && p[-2] == 0) return p - 2;
        ++p;
    }
    return nullptr;
}

// The pictures of a GOP, from the temporal references of the picture
// headers in [from, to): one more than the largest.
int64_t PicturesIn(const uint8_t* from, const uint8_t* to, int64_t pictures) {
    if (to - from < 6) return pictures;
    const uint8_t* p = from + 2;
    const uint8_t* end = to - 3;  // the code and the reference must fit
    while (p < end) {
        p = static_cast<const uint8_t*>(std::memchr(p, 0x01, size_t(end - p)));
        if (!p) break;
        if (p[1] == 0x00 && p[-1] == 0 && p[-2] == 0)
            pictures = std::max<int64_t>(pictures, (int64_t(p[2]) << 2 | p[3] >> 6) + 1);
        ++p;
    }
    return pictures;
}

// Pictures per second of a sequence header's frame-rate code.
double FrameRateOf(int code) {
    static constexpr double kRates[9] = {0, 24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};
    return code >= 1 && code <= 8 ? kRates[code] : 0;
}

uint64_t ClampedShift(uint64_t value, uint64_t shift) { return value > shift ? value - shift : 0; }

// The PES time stamp fields of the packet at p (00 00 01 sid len ...):
// where its PTS and DTS are, or -1.
void StampFields(const uint8_t* p, size_t room, int& pts, int& dts) {
    pts = dts = -1;
    if (room < 9) return;
    if ((p[6] & 0xC0) == 0x80) {  // MPEG-2 PES header
        const uint8_t flags = p[7];
        if ((flags & 0x80) && room >= 14) pts = 9;
        if ((flags & 0xC0) == 0xC0 && room >= 19) dts = 14;
        return;
    }
    size_t q = 6;
    while (q < room && q < 6 + 16 && p[q] == 0xFF) ++q;  // stuffing
    if (q < room && (p[q] & 0xC0) == 0x40) q += 2;       // STD buffer size
    if (q >= room) return;
    if ((p[q] & 0xF0) == 0x20 && q + 5 <= room) pts = int(q);
    if ((p[q] & 0xF0) == 0x30 && q + 10 <= room) {
        pts = int(q);
        dts = int(q + 5);
    }
}

void ShiftStamp(uint8_t* field, uint64_t shift) {
    const uint64_t v = static_cast<uint64_t>(TGopTimeCode::DecodePts(field));
    TGopTimeCode::ReplacePts(field, ClampedShift(v, shift));
}

// Bytes of the pack header at p: 12 for MPEG-1, 14 plus stuffing for MPEG-2.
size_t PackHeaderLength(const uint8_t* p, size_t n) {
    if (n < 14) return n;
    if ((p[4] & 0xF0) == 0x20) return 12;
    return 14 + (p[13] & 0x07);
}

uint64_t PackScr(const uint8_t* p) {
    return (p[4] & 0xF0) == 0x20 ? TGopTimeCode::DecodeMpeg1Scr(p + 4) : TGopTimeCode::DecodeMpeg2Scr(p + 4);
}

bool BeginsWithPack(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA; }

}  // namespace

uint64_t SectorTicks(const uint8_t* p, size_t n) {
    if (n < 14 || !BeginsWithPack(p)) return 1200;
    uint64_t rate = 0;
    if ((p[4] & 0xF0) == 0x20)
        rate = (uint64_t(p[9] & 0x7F) << 15) | (uint64_t(p[10]) << 7) | (p[11] >> 1);
    else
        rate = (uint64_t(p[10]) << 14) | (uint64_t(p[11]) << 6) | (p[12] >> 2);
    // mux_rate counts 50 bytes a second.
    if (rate == 0) return 1200;
    return kRaw * 90000 / (rate * 50);
}

void RebaseTimeStamps(uint8_t* p, size_t n, uint64_t shift) {
    if (n < 14 || !BeginsWithPack(p)) return;
    const bool mpeg1 = (p[4] & 0xF0) == 0x20;
    TGopTimeCode::ShiftScr(p + 4, shift, mpeg1 ? 1 : 2);
    size_t pos = PackHeaderLength(p, n);
    while (pos + 6 <= n && p[pos] == 0 && p[pos + 1] == 0 && p[pos + 2] == 1) {
        const uint8_t sid = p[pos + 3];
        if (sid == 0xBA || sid < 0xBB) break;
        const size_t length = (size_t(p[pos + 4]) << 8) | p[pos + 5];
        const bool stamped = sid == 0xBD || (sid >= 0xC0 && sid <= 0xEF);
        if (stamped) {
            int pts = -1, dts = -1;
            StampFields(p + pos, std::min(n - pos, 6 + length), pts, dts);
            if (pts >= 0) ShiftStamp(p + pos + size_t(pts), shift);
            if (dts >= 0) ShiftStamp(p + pos + size_t(dts), shift);
        }
        pos += 6 + length;
    }
}

double TrackPlaySeconds(const TMpegFileInfo& e, const TBuildTrack& t) {
    const double fps = e.frameRate > 0 ? e.frameRate : t.fps;
    // The pictures measured, at the stream's own rate: 29.97 fps counts as
    // such, where the minute, second and picture fields count 30.
    // The list measures from the first GOP to the last, which says nothing
    // once the clock has started again: the walk over every GOP counts then.
    if (t.clockRestart && t.gops.size() > 1 && t.fps > 0) {
        const int64_t first = t.gops.front().frame, last = t.gops.back().frame;
        const double average = double(last - first) / double(t.gops.size() - 1);
        return (double(last - first) + (t.lastGopPictures > 0 ? double(t.lastGopPictures) : average)) / t.fps;
    }
    if (e.playFrames > 0 && fps > 0) return double(e.playFrames) / fps;
    if (e.playMinutes > 0 || e.playSeconds > 0 || e.playPictures > 0) {
        const double pictures = fps > 0 ? e.playPictures / std::ceil(fps) : 0;
        return e.playMinutes * 60.0 + e.playSeconds + pictures;
    }
    if (t.gops.empty() || fps <= 0) return double(t.dataSectors) / 75.0;
    const int64_t first = t.gops.front().frame, last = t.gops.back().frame;
    const double average = t.gops.size() > 1 ? double(last - first) / double(t.gops.size() - 1) : 0;
    return (double(last - first) + average) / fps;
}

// ---- Method selection and start ----

int WriteThread::SelectBuildMethod(const TMethodEntry& e) {
    method_ = e.code;
    build_ = std::make_unique<TImageBuild>();
    TImageBuild& b = *build_;
    if (!jobCopy_->hasBuildList || jobCopy_->buildList.empty()) return kNoMethodCode;
    b.entries = jobCopy_->buildList;
    b.ptsOffset = jobCopy_->buildPtsOffset;
    b.conversion = e.opener == Opener::BuildImage;
    b.manyImages = b.entries.back().image != b.entries.front().image;
    job_->writeSectorSize = 2352;
    job_->searchPattern = kPackStart5;
    if (b.conversion) {
        // The tracks of the image follow one another in the source.
        job_->readSectorSize = e.inputKind == kCifKind ? 2332 : 2336;
        job_->sectorHeaderSize = e.inputKind == kCifKind ? 0 : 8;
        openerResult_ = OpenInput();
    } else {
        job_->readSectorSize = 2324;
        job_->sourceName = b.entries.front().name;
        openerResult_ = OpenEntryInput(0);
    }
    if (openerResult_ != 0) return kNoMethodCode;
    return CheckBuildLimits() == 0 ? e.code : kNoMethodCode;
}

// Every image is checked before anything is written: its track count, its
// tables against their slots and its end against the last BCD address.
int WriteThread::CheckBuildLimits() {
    TImageBuild& b = *build_;
    const bool isVcd = start_.vcdChecked;
    const std::string& image = job_->baseOutputName;
    if (!config_->passive && image != kPassiveOutput &&
        !SheetCanName(outputKind_ != kTocKind && config_->CUEIndexFullPath ? image : ExtractName(image))) {
        // Its sheet could not name the image: refused before a byte is written.
        Report(kMsgError, msg::error::kCannotCreate, ExtractName(image));
        openerResult_ = result::kWriteFailed;
        return result::kWriteFailed;
    }
    if (CheckBuildOutputs() != 0) {
        openerResult_ = result::kWriteFailed;
        return result::kWriteFailed;
    }
    int32_t cdiSectors = 0;
    if (isVcd && config_->AddCDIApplication) {
        b.cdi = std::make_unique<TCdiFiles>(*config_);
        if (b.cdi->Load() != 0) {
            Report(kMsgError, msg::error::kCannotOpenCdiFiles, CdiFileContext(b.cdi->failedName));
            b.cdi.reset();
            openerResult_ = result::kCannotOpen;
            return result::kCannotOpen;
        }
        cdiSectors = b.cdi->Sectors();
    }
    const int header = job_->discKind == 1 ? 2 : 1;
    for (size_t first = 0; first < b.entries.size();) {
        size_t last = first;
        while (last + 1 < b.entries.size() && b.entries[last + 1].image == b.entries[first].image) ++last;
        std::vector<TImageTrack> tracks;
        std::vector<int64_t> sectors;
        for (size_t i = first; i <= last; ++i) {
            const TMpegFileInfo& e = b.entries[i];
            const int64_t bytes = b.conversion ? e.size : std::max<int64_t>(e.endOffset - e.startOffset, 0);
            int64_t n = b.conversion ? bytes / int64_t(kPayload) : (bytes + int64_t(kPayload) - 1) / int64_t(kPayload);
            if (i == first && e.firstPiece == 1) n += header;
            sectors.push_back(n);
            TImageTrack t;
            TBuildTrack estimate;
            estimate.dataSectors = n;
            t.playSeconds = TrackPlaySeconds(e, estimate);
            tracks.push_back(t);
        }
        std::string why;
        const int r = CheckImageLimits(isVcd, tracks, cdiSectors, ImageSectors(cdiSectors, sectors), why);
        if (r != 0) {
            if (b.manyImages) why = "image " + std::to_string(b.entries[first].image) + ": " + why;
            Report(kMsgError, r, why);
            openerResult_ = r;
            return r;
        }
        first = last + 1;
    }
    return 0;
}

// No image, sheet or sample of the build goes over one of its sources or
// over another of its outputs (an image named like its own sheet): refused
// before a byte is written.
int WriteThread::CheckBuildOutputs() {
    const TImageBuild& b = *build_;
    if (config_->passive || job_->baseOutputName == kPassiveOutput) return 0;
    TOutputGuard plan = guard_;
    auto take = [&](const std::string& name) {
        const std::string other = plan.Clash(name);
        if (other.empty()) {
            plan.AddOutput(name);
            return true;
        }
        Log(OutputClashLine(name, other));
        Report(kMsgError, msg::error::kCannotCreate, ExtractName(name));
        return false;
    };
    for (size_t i = 0; i < b.entries.size(); ++i) {
        if (i > 0 && b.entries[i].image == b.entries[i - 1].image) continue;
        std::string image = job_->baseOutputName;
        if (b.manyImages && start_.yesFolder)
            image = MakeCdFolderName(*job_, b.entries[i].image);
        else if (b.manyImages && !MakeOutputName(*job_, *config_, b.entries[i].image, image))
            return 0;  // the pattern is refused when the image starts
        if (!take(image) || !take(SheetPathOf(image, outputKind_ == kTocKind))) return result::kWriteFailed;
    }
    if (start_.sampleClip && !take(SampleOutputPath(start_.sampleClip->outputName, BuildSampleFolder())))
        return result::kWriteFailed;
    return 0;
}

int WriteThread::OpenEntryInput(size_t entry) {
    const TMpegFileInfo& e = build_->entries[entry];
    job_->sourceName = e.name;
    if (!inputFile_->IsClosed() && inputFile_->name == e.name) return 0;
    inputFile_->Close();
    return OpenInput();
}

// ---- The track loop ----

bool WriteThread::ImageOutputName(int32_t image, std::string& name) {
    if (config_->passive || job_->baseOutputName == kPassiveOutput) {
        name = kPassiveOutput;
        return true;
    }
    if (!build_->manyImages) {
        name = job_->baseOutputName;
        return true;
    }
    if (start_.yesFolder) {
        name = MakeCdFolderName(*job_, image);
        std::error_code ec;
        std::filesystem::create_directories(ExtractDir(name), ec);
        return true;
    }
    if (MakeOutputName(*job_, *config_, image, name)) return true;
    Report(kMsgError, msg::error::kCannotCreate, config_->MultiFileFormat);
    return false;
}

void WriteThread::RunBuild() {
    TImageBuild& b = *build_;
    // A clip that cannot be written fails the build before any image is.
    if (start_.sampleClip && !config_->passive && job_->baseOutputName != kPassiveOutput) {
        std::string why;
        const int problem = SampleClipProblem(*start_.sampleClip, &why);
        if (problem != 0) Log(SampleClipProblemLine(why, start_.sampleClip->sourcePath));
        if (problem == msg::error::kInvalidPackSize) {
            Report(kMsgError, problem, start_.sampleClip->sourcePath);
        } else if (problem != 0) {
            Report(kMsgError, msg::error::kCannotCreate, start_.yesFolder ? "Sample file" : "Sample File");
        }
        if (problem != 0) {
            result_ = result::kWriteFailed;
            return;
        }
    }
    std::string tempRoot = config_->TempDirectory;
    while (tempRoot.size() > 1 && (tempRoot.back() == '/' || tempRoot.back() == '\\')) tempRoot.pop_back();
    const TableReportFn report = [this](int kind, int index, const std::string& text) { Report(kind, index, text); };
    if (CreateScanTables(tempRoot, b.tableFolder, report) != 0) {
        result_ = result::kWriteFailed;
        return;
    }
    b.out.resize(kSectorsPerWrite * kRaw);
    for (size_t e = 0; e < b.entries.size() && result_ == 0; ++e) {
        const int64_t trackStartTime = NowSeconds();
        const int32_t track = int32_t(e) + 1;
        track_ = track;
        trackBytes_ = 0;
        if (!b.imageStarted) {
            result_ = StartImage(e);
            if (result_ != 0) break;
        }
        result_ = SetupBuildTrack(e);
        if (result_ != 0) break;
        char text[64];
        std::snprintf(text, sizeof text, "Track %d:   ", track);
        Status(text + lang_->core(msg::core::kWriting) + "...");
        sectorsDone_ = 0;
        progress_.Reset();
        progress_.Start(NowSeconds());
        const LoopEnd end = BuildTrack(e);
        if (end == LoopEnd::Cancelled || !Running()) {
            Log(std::string(kLogIndent) + "[ " + lang_->core(msg::core::kAbortedProcessing) + " ]");
            result_ = result::kCancelled;
        } else if (end != LoopEnd::Done) {
            if (result_ == 0) result_ = result::kWriteFailed;
        } else {
            const int64_t elapsed = (NowSeconds() - trackStartTime) % 86400;
            Log(kLogIndent + lang_->core(msg::core::kProcessedTrack) + " " + std::to_string(track) + " : " +
                std::to_string(elapsed / 3600) + " " + lang_->core(msg::core::kHours) + " " +
                std::to_string(elapsed % 3600 / 60) + " " + lang_->core(msg::core::kMins) + " " +
                std::to_string(elapsed % 60) + " " + lang_->core(msg::core::kSeconds));
        }
        FinishJob();
        sectorsDone_ = 0;
        progress_.Reset();
        if (result_ != 0) break;
        const bool lastOfImage = e + 1 == b.entries.size() || b.entries[e + 1].image != b.entries[e].image;
        if (lastOfImage) result_ = EndImage(e);
    }
    if (result_ == 0 && start_.sampleClip) result_ = WriteBuildSample();
    if (outputOpen_) {
        // A stopped image stays on disk as far as it was written; a failed
        // one goes at the job's end.
        outputFile_->Close();
        outputOpen_ = false;
        AppendGenerated(job_->outputName);
    }
    outputBytes_ = 0;
}

int WriteThread::StartImage(size_t entry) {
    TImageBuild& b = *build_;
    imageNumber_ = b.entries[entry].image;
    std::string name;
    if (!ImageOutputName(imageNumber_, name)) return result::kWriteFailed;
    job_->outputName = name;
    const int r = OpenOutput(name, false);
    if (r == result::kCannotCreate || r == result::kOverwriteRefused) {
        Report(kMsgError, msg::error::kCannotCreate, name);
        return result::kWriteFailed;
    }
    if (r == result::kCancelled) return result::kCancelled;
    outputOpen_ = true;
    outputBytes_ = 0;

    b.image = std::make_unique<TVideoCdImage>(*config_, start_.vcdChecked, b.cdi.get());
    const platform::Clock& clock = controls_->clock ? *controls_->clock : platform::defaultClock();
    b.image->SetDate(clock.utcNow());
    b.image->SetVolumeLabel(volumeName_, imageNumber_);
    if (!b.labelChangeLogged && b.image->volumeIdentifier() != b.image->volumeLabel()) {
        b.labelChangeLogged = true;
        Log(kLogIndent + std::string("Volume label \"") + b.image->volumeLabel() + "\" recorded as \"" +
            b.image->volumeIdentifier() + "\": ISO 9660 allows only A-Z, 0-9 and _ in it");
    }
    b.image->SetTableFolder(b.tableFolder);
    const uint64_t before = outputFile_->bytesWritten;
    const int placed = b.image->WritePlaceholder(*outputFile_);
    outputBytes_ += outputFile_->bytesWritten - before;
    if (placed != 0) {
        writeError_ = true;
        Report(kMsgError, msg::error::kCannotCreate, name);
        return result::kWriteFailed;
    }
    address_ = uint32_t(outputBytes_ / kRaw) + 150;
    // The stream bytes of the image being written, as the track table keeps them.
    trackTable_->selectedBytes = 0;
    for (size_t i = entry; i < b.entries.size() && b.entries[i].image == imageNumber_; ++i)
        trackTable_->selectedBytes += b.conversion ? b.entries[i].size : b.entries[i].endOffset - b.entries[i].startOffset;
    b.imageFirst = entry;
    b.tracks.clear();
    b.imageStarted = true;
    return 0;
}

int WriteThread::SetupBuildTrack(size_t entry) {
    TImageBuild& b = *build_;
    const TMpegFileInfo& e = b.entries[entry];
    if (b.conversion) {
        // The track's record, less the margins its kind allows for, can fall
        // short of the data (an SVCD written without margins): the record is
        // read whole from the first pack; margin and gap sectors at its end
        // are dropped as the track ends.
        const int64_t margins = inputKind_ == kCifKind ? kCifTrackLengthAdjust : kNrgTrackLengthAdjust;
        trackSectors_ = (e.size + margins) / int64_t(kPayload);
        // As in an extraction: the track's file is not before its extent.
        const size_t row = size_t(std::max(e.trackInImage, 0));
        if (row < trackTable_->start.size()) {
            const uint64_t extent = uint64_t(std::max<int64_t>(trackTable_->start[row], 0));
            if (inputFile_->position < extent) inputFile_->Seek(extent);
        }
        if (!FindPackOfDiscKind() || !NextSectorOnTheGrid()) {
            Report(kMsgError, msg::error::kNoMpegStream, SourceName());
            return result::kNoMpegStream;
        }
        // Only the sectors whose payload lies before an nrg's footer (the
        // reader stands at a payload, past its sector's subheader).
        if (sourceDataEnd_ != UINT64_MAX && job_->readSectorSize > 0) {
            const uint64_t r = uint64_t(job_->readSectorSize);
            const uint64_t left = sourceDataEnd_ > inputFile_->position ? sourceDataEnd_ - inputFile_->position : 0;
            const uint64_t whole = left >= kPayload ? (left - kPayload) / r + 1 : 0;
            trackSectors_ = std::min<int64_t>(trackSectors_, int64_t(whole));
        }
    } else {
        if (const int r = OpenEntryInput(entry); r != 0) return r;
        // A last partial sector is written too, padded with zeros.
        const int64_t bytes = std::max<int64_t>(e.endOffset - e.startOffset, 0);
        trackSectors_ = (bytes + int64_t(kPayload) - 1) / int64_t(kPayload);
        inputFile_->Seek(uint64_t(std::max<int64_t>(e.startOffset, 0)));
    }
    trackTable_->sectorCount = trackSectors_;
    return 0;
}

// The next pack start of the disc kind's MPEG form: MPEG-1 packs for a VCD,
// MPEG-2 packs for an SVCD, whatever their clock's high bits.
bool WriteThread::FindPackOfDiscKind() {
    const bool mpeg2 = job_->discKind == 2;
    while (inputFile_->Search(kPackStart5, 4, search_.data(), inputFile_->size, kChunk, false)) {
        const uint64_t at = inputFile_->position;
        uint8_t head[5] = {};
        const bool whole = inputFile_->Read(head, 5) == 5;
        inputFile_->Seek(at);
        if (!whole) return false;
        if (mpeg2 ? (head[4] & 0xC4) == 0x44 : (head[4] & 0xF1) == 0x21) return true;
        inputFile_->Seek(at + 1);
    }
    return false;
}

// The sector after the first pack opens a pack too, or is empty: else the
// image's sectors are not of the size its kind reads (an nrg opened as a
// cif, say) and every sector taken would be cut in the wrong place.
bool WriteThread::NextSectorOnTheGrid() {
    const uint64_t at = inputFile_->position;
    const uint64_t next = at + uint64_t(job_->readSectorSize);
    uint8_t head[4] = {};
    inputFile_->Seek(next);
    const bool whole = next + 4 <= inputFile_->size && inputFile_->Read(head, 4) == 4;
    inputFile_->Seek(at);
    if (!whole || trackSectors_ < 2) return true;
    static constexpr uint8_t kEmpty[4] = {0, 0, 0, 0};
    return std::memcmp(head, kPackStart5, 4) == 0 || std::memcmp(head, kEmpty, 4) == 0;
}

bool WriteThread::WriteEmptySectors(int count, const uint8_t* subheader) {
    std::vector<uint8_t>& out = build_->out;
    while (count > 0) {
        const size_t n = std::min<size_t>(size_t(count), kSectorsPerWrite);
        for (size_t i = 0; i < n; ++i) {
            uint8_t* s = out.data() + i * kRaw;
            std::memset(s, 0, kRaw);
            std::memcpy(s + 16, subheader, 8);
            BuildSector(s, kSectorMode2Form2, address_++);
        }
        OutWrite(out.data(), n * kRaw);
        if (writeError_) return false;
        count -= int(n);
    }
    return true;
}

WriteThread::LoopEnd WriteThread::BuildTrack(size_t entry) {
    TImageBuild& b = *build_;
    TMpegFileInfo& e = b.entries[entry];
    const bool firstOfImage = entry == b.imageFirst;
    if (!WriteEmptySectors(kPregap, kGapSubheader)) return LoopEnd::Failed;
    const int64_t n = int64_t(outputBytes_ / kRaw);
    e.trackStartMinute = int16_t(n / 4500);
    e.trackStartSecond = int16_t(n / 75 % 60);
    e.trackStartFrame = int16_t(n % 75);
    if (!WriteEmptySectors(kFrontMargin, kMarginSubheader)) return LoopEnd::Failed;
    b.frameSectors = kPregap + kFrontMargin;
    b.sectorCount = 0;
    b.tracks.emplace_back();
    b.tracks.back().firstAddress = address_;

    b.rebase = e.firstPiece == 1 && !b.conversion;
    b.shiftKnown = false;
    b.sequenceMoved = false;
    b.headers = false;
    if (b.rebase && firstOfImage) {
        // The piece continues a file: its image starts with the fixed pack
        // and system header sectors, and its clock follows theirs.
        const uint64_t before = outputFile_->bytesWritten;
        const bool mpeg2 = job_->discKind != 1;
        const bool ok = mpeg2 ? WriteMpeg2SystemHeaderSector(*outputFile_, true, &address_)
                              : WriteMpeg1SystemHeaderSectors(*outputFile_, true, &address_);
        outputBytes_ += outputFile_->bytesWritten - before;
        if (!ok) {
            writeError_ = true;
            Report(kMsgError, msg::error::kCannotCreate, job_->outputName);
            result_ = result::kWriteFailed;
            return LoopEnd::Failed;
        }
        const int64_t added = mpeg2 ? 1 : 2;
        b.sectorCount += added;
        e.size += added * int64_t(kPayload);
        uint8_t last[kPayload];
        if (mpeg2)
            BuildMpeg2SystemHeaderPayload(last);
        else
            BuildMpeg1SystemHeaderPayloadB(last);
        b.headerScr = PackScr(last);
        b.headers = true;
    }

    const LoopEnd end = BuildDataSectors(entry);
    if (end != LoopEnd::Done) return end;

    if (!WriteEmptySectors(kEndMargin, kMarginSubheader) || !WriteEmptySectors(1, kEndSubheader))
        return LoopEnd::Failed;
    b.sectorCount += kEndMargin + 1;
    if (!WriteEmptySectors(kPostgap, kGapSubheader)) return LoopEnd::Failed;
    // The size as written: frame, data and end sectors, not the postgap.
    e.size = (b.frameSectors + b.sectorCount) * int64_t(kRaw);
    return LoopEnd::Done;
}

// One payload in its raw sector: time stamps of a continued piece, scan
// point, subheader, then the sector completed.
void WriteThread::BuildPayload(uint8_t* sector, uint8_t* p) {
    TImageBuild& b = *build_;
    TBuildTrack& t = b.tracks.back();
    if (b.rebase) {
        if (!b.shiftKnown && BeginsWithPack(p)) {
            // The first real pack follows the last header sector by one
            // sector's time at the stream's mux rate.
            const uint64_t target = b.headers ? b.headerScr + SectorTicks(p, kPayload) : 0;
            b.shift = ClampedShift(PackScr(p), target);
            b.shiftKnown = true;
        }
        // A clock that starts again inside the piece (clips joined end to
        // end) runs from near 0 already: from there on it stays as it is,
        // where taking the shift off would hold every stamp at 0.
        if (b.shiftKnown && b.shift > 0 && BeginsWithPack(p) && PackScr(p) < b.shift) b.shift = 0;
        if (b.shiftKnown && b.shift > 0) RebaseTimeStamps(p, kPayload, b.shift);
        if (job_->discKind == 2 && !b.sequenceMoved) {
            // The piece's first video data starts with its sequence header,
            // moved within its own packet so every packet header stays true.
            b.sequenceMoved = true;
            LeadVideoWithSequenceHeader(p, kPayload);
        }
    }
    if (t.fps == 0) {
        const uint8_t* h = Find(kSequenceHeaderStart, p, kPayload);
        if (h && h + 8 <= p + kPayload) t.fps = FrameRateOf(h[7] & 0x0F);
    }
    const uint8_t* g = Find(kGopStart, p, kPayload);
    if (!t.gops.empty()) t.lastGopPictures = PicturesIn(p, g ? g : p + kPayload, t.lastGopPictures);
    if (g) {
        uint8_t* gop = p + (g - p);
        int64_t frame = t.gops.empty() ? 0 : t.gops.back().frame;
        if (gop + 8 <= p + kPayload && t.fps > 0) {
            TGopTimeCode code;
            if (b.rebase && b.shiftKnown && b.shift > 0) {
                const int64_t frames = std::llround(double(b.shift) * t.fps / 90000.0);
                code.ShiftBack(gop, frames, t.fps);
            }
            code.Read(gop);
            frame = code.FrameNumber(t.fps) + t.frameOffset;
            if (!t.gops.empty()) {
                // A time code that goes back, or on by more than any GOP
                // lasts, starts a new clock: count on from the GOP before.
                const int64_t previous = t.gops.back().frame;
                if (frame < previous || frame - previous > int64_t(10 * t.fps)) {
                    const size_t n = t.gops.size();
                    const int64_t step = t.lastGopPictures > 0 ? t.lastGopPictures
                                         : n > 1 ? std::max<int64_t>(previous - t.gops[n - 2].frame, 1)
                                                 : std::max<int64_t>(std::llround(t.fps / 2), 1);
                    t.frameOffset += previous + step - frame;
                    frame = previous + step;
                    t.clockRestart = true;
                }
            }
        }
        t.gops.push_back({address_, frame});
        t.lastGopPictures = PicturesIn(g, p + kPayload, 0);
    }
    SetDataSubheader(sector + 16, p, job_->discKind == 2);
    BuildSector(sector, kSectorMode2Form2, address_++);
}

WriteThread::LoopEnd WriteThread::BuildDataSectors(size_t entry) {
    TImageBuild& b = *build_;
    const TMpegFileInfo& e = b.entries[entry];
    const size_t r = size_t(job_->readSectorSize);
    int64_t remaining = b.conversion ? INT64_MAX : std::max<int64_t>(e.endOffset - e.startOffset, 0);
    BlockReader reader(inputFile_->name, inputFile_->position, r, kSectorsPerWrite, trackSectors_);
    if (!reader.Started()) {
        Report(kMsgError, msg::error::kCannotOpen, SourceName());
        result_ = result::kCannotOpen;
        return LoopEnd::Failed;
    }
    std::vector<uint8_t>& out = b.out;
    TBuildTrack& t = b.tracks.back();
    size_t written = 0;
    // One payload into the gathered sectors; a full buffer goes out.
    auto put = [&](const uint8_t* payload, size_t bytes) {
        uint8_t* sector = out.data() + written * kRaw;
        std::memcpy(sector + 24, payload, bytes);
        if (bytes < kPayload) std::memset(sector + 24 + bytes, 0, kPayload - bytes);
        BuildPayload(sector, sector + 24);
        ++b.sectorCount;
        ++t.dataSectors;
        trackBytes_ += bytes;
        jobBytes_ += bytes;
        if (++written == kSectorsPerWrite) {
            OutWrite(out.data(), written * kRaw);
            written = 0;
        }
        return !writeError_;
    };
    // Empty disc sectors of a converted image wait: data after them makes
    // them part of the stream, the end of the track drops them.
    std::vector<uint8_t> held;
    bool emptyNext = false;
    while (sectorsDone_ < trackSectors_ && remaining > 0) {
        if (!Running()) return LoopEnd::Cancelled;
        BlockReader::Block& block = reader.Next();
        const bool unreadable = block.got < block.want && block.at + block.got < inputFile_->size;
        if (unreadable) {
            // The file shrank or the disk failed: the track is not whole.
            Report(kMsgError, msg::error::kCannotOpen, SourceName());
            result_ = result::kCannotOpen;
            return LoopEnd::Failed;
        }
        if (block.got == 0) break;
        const size_t got = block.got;
        inputFile_->Seek(block.at + got);
        const size_t count = (got + r - 1) / r;
        bool stop = false;
        for (size_t i = 0; i < count && !stop && Running(); ++i) {
            const uint8_t* s = block.data.data() + i * r;
            const size_t have = std::min(r, got - i * r);
            size_t bytes = std::min(have, kPayload);
            if (!b.conversion) bytes = size_t(std::min<int64_t>(int64_t(bytes), remaining));
            const size_t beyond = got - std::min(got, (i + 1) * r);
            const bool empty = emptyNext;
            emptyNext = b.conversion && EndOfData(s, have, s + r, beyond);
            ++sectorsDone_;
            ProgressStep();
            if (empty) {
                held.insert(held.end(), s, s + kPayload);
                continue;
            }
            for (size_t at = 0; at < held.size(); at += kPayload)
                if (!put(held.data() + at, kPayload)) return LoopEnd::Failed;
            held.clear();
            if (!put(s, bytes)) return LoopEnd::Failed;
            remaining -= int64_t(bytes);
            if (have < r || remaining <= 0) stop = true;
        }
        if (!Running()) return LoopEnd::Cancelled;
        if (stop) break;
    }
    OutWrite(out.data(), written * kRaw);
    if (writeError_) return LoopEnd::Failed;
    if (!Running()) return LoopEnd::Cancelled;
    if (remaining > 0 && !b.conversion) {
        // The file is shorter than when it was listed: the track is not whole.
        Report(kMsgError, msg::error::kCannotOpen, SourceName());
        result_ = result::kCannotOpen;
        return LoopEnd::Failed;
    }
    return LoopEnd::Done;
}

// ---- End of an image ----

int WriteThread::EndImage(size_t lastEntry) {
    TImageBuild& b = *build_;
    outputSize_ = int64_t(outputBytes_);
    const std::string name = job_->outputName;
    outputOpen_ = false;
    const bool closed = outputFile_->Close() == 0;
    AppendGenerated(name);
    b.imageStarted = false;
    if (!closed) {
        if (!writeError_) Report(kMsgError, msg::error::kCannotCreate, name);
        return result::kWriteFailed;
    }
    if (name == kPassiveOutput) {
        b.image.reset();
        return 0;
    }
    TImageTables tables;
    tables.imagePath = name;
    tables.isVcd = start_.vcdChecked;
    tables.tocSheet = outputKind_ == kTocKind;
    tables.cueFullPath = config_->CUEIndexFullPath != 0;
    TScanPoints points;
    for (size_t i = b.imageFirst; i <= lastEntry; ++i) {
        const TMpegFileInfo& e = b.entries[i];
        const TBuildTrack& t = b.tracks[i - b.imageFirst];
        TImageTrack track;
        track.size = uint64_t(e.size);
        track.pal = e.pal != 0 || (b.conversion && t.fps == 25);
        track.hasAudio = b.conversion || e.audioSampleRate > 0;
        track.pauseSeconds = e.pause;
        track.playSeconds = TrackPlaySeconds(e, t);
        tables.tracks.push_back(track);
        tables.starts.push_back({e.trackStartMinute, e.trackStartSecond, e.trackStartFrame});
        points.BeginTrack(track.playSeconds, t.firstAddress);
        const double fps = t.fps > 0 ? t.fps : (e.frameRate > 0 ? e.frameRate : 25);
        const int64_t first = t.gops.empty() ? 0 : t.gops.front().frame;
        for (const TBuildGop& g : t.gops) points.AddGop(g.address, double(g.frame - first) / fps);
    }
    const TableReportFn report = [this](int kind, int index, const std::string& text) { Report(kind, index, text); };
    std::string sheet = SheetPathOf(name, tables.tocSheet);
    if (!OutputClash(sheet).empty()) {
        b.image.reset();
        Report(kMsgError, msg::error::kCannotCreate, ExtractName(sheet));
        return result::kWriteFailed;
    }
    const int r = BuildVcdTables(*b.image, tables, points, b.tableFolder, report, sheet);
    b.image.reset();
    if (r != 0) return r;
    AppendGenerated(sheet);
    guard_.AddOutput(sheet);
    guard_.Finish(sheet);
    guard_.Finish(name);
    return 0;
}

// The sample clip, after the images: into SAMPLE under the output folder
// when the images go into folders of their own, else beside them.
std::string WriteThread::BuildSampleFolder() const {
    const std::string dir = ExtractFolder(job_->baseOutputName);
    return start_.yesFolder ? dir + "/SAMPLE" : dir;
}

int WriteThread::WriteBuildSample() {
    if (config_->passive || job_->baseOutputName == kPassiveOutput) return 0;
    const std::string dir = BuildSampleFolder();
    if (start_.yesFolder) {
        Log(kLogIndent + lang_->core(msg::core::kGeneratingSample));
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
    }
    SampleWriteHandles h;
    h.status = controls_->statusLabel;
    h.eta = controls_->etaLabel;
    h.progress = controls_->progressBar;
    h.completed = controls_->completedLabel;
    h.generatedFiles = &jobCopy_->generatedFiles;
    h.texts = lang_.get();
    h.guard = &guard_;
    h.log = [this](const std::string& line) { Log(line); };
    if (WriteSample(*start_.sampleClip, dir, h) == 0) {
        const std::string path = SampleOutputPath(start_.sampleClip->outputName, dir);
        guard_.AddOutput(path);
        guard_.Finish(path);
        return 0;
    }
    Report(kMsgError, msg::error::kCannotCreate, start_.yesFolder ? "Sample file" : "Sample File");
    return result::kWriteFailed;
}

void WriteThread::EndBuild() {
    if (!build_) return;
    if (!build_->tableFolder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(build_->tableFolder, ec);
    }
    build_.reset();
}
