// Source openers, per-track set-up, the output opener and the CD-i bumper
// removal of the worker.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/constants.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/result_codes.h"
#include "disc/sheet_text.h"
#include "disc/time_code.h"
#include "disc/track_table.h"
#include "engine/source_scan.h"
#include "engine/write_thread.h"

namespace {

constexpr uint8_t kPackStart5[5] = {0x00, 0x00, 0x01, 0xBA, 0x21};
constexpr uint8_t kPackStart4[4] = {0x00, 0x00, 0x01, 0xBA};
constexpr uint8_t kSequenceEnd[4] = {0x00, 0x00, 0x01, 0xB9};
constexpr uint8_t kBumperName[11] = {'C', 'D', 'I', '_', 'B', 'U', 'M', '.', 'D', 'A', 'T'};
constexpr uint8_t kRiff[4] = {'R', 'I', 'F', 'F'};
constexpr uint64_t kBumperLimit = 0xF00000;

// The sector-size error tells the user to tick Force Read: a ticked one with a
// usable size stands in for the size that could not be detected.
bool TakeForcedReadSize(const TJobStart& start, TJob& job) {
    if (!start.forceRead || !IsSectorSize(job.forcedReadSize)) return false;
    job.readSectorSize = job.forcedReadSize;
    return true;
}

// How a raw track image is laid out, from its first sectors: 2352 when they
// carry the CD sync, 2336 when there is none and every 2336 bytes a sector
// begins with its subheader written twice, 0 when neither.
int RawTrackLayout(TFileIO& file) {
    static constexpr uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    constexpr size_t kSectors = 8;
    std::vector<uint8_t> head(kSectors * 2352);
    const uint64_t keep = file.position;
    file.Seek(0);
    const size_t got = file.Read(head.data(), head.size());
    file.Seek(keep);
    if (FindPattern(kSync, sizeof kSync, head.data(), got) >= 0) return 2352;
    const size_t sectors = std::min(got / 2336, kSectors);
    if (sectors < 2) return 0;
    bool submode = false;
    for (size_t k = 0; k < sectors; ++k) {
        const uint8_t* h = head.data() + k * 2336;
        if (std::memcmp(h, h + 4, 4) != 0) return 0;
        submode = submode || h[2] != 0;
    }
    return submode ? 2336 : 0;
}

}  // namespace

int WriteThread::CheckSyncDistance(uint64_t at) {
    // A forced size is the user's answer to a failed detection.
    if (start_.forceRead && IsSectorSize(job_->forcedReadSize)) return 0;
    // Raw sectors carry their sync: one read at another size would mix
    // headers (or subchannel bytes) into the stream.
    if (job_->readSectorSize != 2352) return 0;  // the other sizes carry no sync
    uint64_t first = 0;
    const int distance = SyncDistanceAt(*inputFile_, at, false, &first);
    // A sync one read size on stands where it should (a look-alike in the
    // payload may come before it).
    if (distance == 0 || distance == job_->readSectorSize || SyncAt(*inputFile_, first + 2352)) return 0;
    Log(kLogIndent + std::string("[") + SourceName() + "] " + lang_->core(msg::core::kDetectedSectorSize) + ": " +
        std::to_string(distance));
    Report(kMsgError, msg::error::kUnknownSectorSize, SourceName());
    return result::kNoSectorSize;
}

int WriteThread::StreamNotFound() {
    // A search the stop ended found nothing because it was asked to stop.
    if (!Running()) return result::kCancelled;
    FinishJob();
    Report(kMsgError, msg::error::kNoMpegStream, SourceName());
    return result::kNoMpegStream;
}

int WriteThread::CheckSectorSizes() {
    const int32_t r = job_->readSectorSize;
    if (!IsSectorSize(r)) {
        Report(kMsgError, msg::error::kUnknownSectorSize, SourceName());
        return result::kNoSectorSize;
    }
    // Raw sectors are built from one payload; plain output never writes more
    // than was read, or stale bytes would follow each sector.
    if (job_->writeSectorSize <= 0 || job_->writeSectorSize > r) job_->writeSectorSize = std::min<int32_t>(r, 2324);
    return 0;
}

int WriteThread::RunOpener(Opener opener) {
    switch (opener) {
    case Opener::TrackImage:
        return OpenTrackImage();
    case Opener::SectorImage:
        return OpenSectorImage();
    case Opener::RawOrMpeg: {
        const int r = OpenRawOrMpegSource();
        return r == result::kNoMpegStream ? StreamNotFound() : r;
    }
    case Opener::RawTrackForDat:
        return OpenRawTrackForDat();
    case Opener::DatFile:
        return OpenDatFile();
    case Opener::MpegForDat:
        return OpenMpegForDat();
    case Opener::SfdFile:
        return OpenSfdFile();
    default: return result::kNoMethod;
    }
}


int WriteThread::OpenInput() {
    if (inputFile_->OpenForRead(job_->sourceName) != 0) {
        Report(kMsgError, msg::error::kCannotOpen, SourceName());
        return result::kCannotOpen;
    }
    job_->inputFile = inputFile_.get();
    sourceDataEnd_ = inputKind_ == kNrgKind ? NeroDataEnd(*inputFile_) : UINT64_MAX;
    const int64_t lead = inputKind_ == kNrgKind ? NeroLead(*inputFile_) : -1;
    sourceLead_ = uint64_t(std::max<int64_t>(lead, 0));
    sourceLeadKnown_ = lead >= 0;
    if (inputKind_ == kDatKind || (inputKind_ == kMpegKind && outputKind_ != kBinKind && outputKind_ != kTocKind)) {
        job_->discKind = IsMpeg2Stream(*inputFile_) ? 2 : 1;
        inputFile_->Seek(0);
    }
    return 0;
}

int WriteThread::OpenOutput(const std::string& name, bool overwriteAll) {
    // Creating the output would empty a file the job reads or has written:
    // never, whatever the overwrite answer. The companion is checked with it.
    const bool withCompanion = outputKind_ == kMpegKind && config_->ToastEnable;
    if (!OutputClash(name).empty() || (withCompanion && !OutputClash(name + ".rsrc").empty()))
        return result::kCannotCreate;
    if (name != kPassiveOutput && !overwriteAll) {
        struct stat st;
        // The resource companion is part of the output: one answer covers both.
        const bool companion = outputKind_ == kMpegKind && config_->ToastEnable;
        if (::stat(name.c_str(), &st) == 0 || (companion && ::stat((name + ".rsrc").c_str(), &st) == 0)) {
            const int answer = Report(kMsgQuestion, msg::query::kOverwrite, ExtractName(name));
            if (answer == platform::kYes) {
                Log(kLogIndent + lang_->core(msg::core::kOutputExists) + " " + lang_->core(msg::core::kYes));
            } else if (answer == platform::kNo) {
                Log(kLogIndent + lang_->core(msg::core::kOutputExists) + " " + lang_->core(msg::core::kNo));
                return result::kOverwriteRefused;
            } else {
                Log(kLogIndent + lang_->core(msg::core::kCancelledProcessing));
                return result::kCancelled;
            }
        }
    }
    // Passive mode writes into the null sink: nothing is created.
    if (outputFile_->OpenForWrite(name == kPassiveOutput ? std::string("/dev/null") : name) != 0) return result::kCannotCreate;
    if (name != kPassiveOutput) guard_.AddOutput(name);
    job_->outputFile = outputFile_.get();
    return 0;
}

int WriteThread::LogDetectedSectorSize() {
    const int n = DetectSectorSize(*inputFile_);
    Log(kLogIndent + std::string("[") + SourceName() + "] " + lang_->core(msg::core::kDetectedSectorSize) + ": " +
        std::to_string(n));
    return n;
}

int WriteThread::OpenRawOrMpegSource() {
    if (OpenInput() != 0) return result::kCannotOpen;
    job_->readSectorSize = 2352;
    job_->writeSectorSize = 2324;
    if (inputKind_ == kMpegKind) {
        const int size = ProbeSectorSize(*inputFile_);
        if (!Running()) return result::kCancelled;
        job_->readSectorSize = size;
        if (size != 2324) {
            Log(kLogIndent + std::string("[") + SourceName() + "] " + lang_->core(msg::core::kDetectedSectorSize) + ": " +
                std::to_string(size));
            inputFile_->Seek(0);
            uint8_t head[4] = {};
            const size_t got = inputFile_->Read(head, 4);
            if (got == 4 && std::memcmp(head, kRiff, 4) == 0) {
                Log(kLogIndent + lang_->core(msg::core::kFoundXaHeader));
                job_->readSectorSize = 2352;
                job_->writeSectorSize = 2324;
            } else {
                Report(kMsgWarning, msg::warning::kPackSizeCorruption, SourceName());
                job_->writeSectorSize = (size == 2352 || size == 2336) ? 2324 : size;
            }
            inputFile_->Seek(0);
        } else {
            job_->writeSectorSize = 2324;
        }
    }
    if (!IsSectorSize(job_->readSectorSize)) {
        if (!TakeForcedReadSize(start_, *job_)) return CheckSectorSizes();
        const int32_t r = job_->readSectorSize;
        job_->writeSectorSize = (r == 2352 || r == 2336) ? 2324 : r;
    }
    if (config_->FixMPEGErrors == 1 && config_->DisableMPEGPadding == 0) job_->writeSectorSize = 2324;
    if (inputKind_ == kRawKind) {
        if (const int r = CheckSyncDistance(0); r != 0) return r;
    }
    trackTable_->sectorCount = static_cast<int64_t>(inputFile_->size / static_cast<uint64_t>(job_->readSectorSize));
    const uint8_t* pattern = SearchPackStart(job_, inputFile_->size);
    if (!pattern) return result::kNoMpegStream;
    job_->searchPattern = pattern;
    if (inputKind_ == kRawKind && !start_.forceRead) {
        // A track of 2336-byte sectors read as 2352 would mix subheaders
        // into the stream; one of neither layout cannot be read at all.
        const int layout = RawTrackLayout(*inputFile_);
        if (layout != 2352) {
            Log(kLogIndent + std::string("[") + SourceName() + "] " + lang_->core(msg::core::kDetectedSectorSize) +
                ": " + std::to_string(layout));
            if (layout == 0) {
                Report(kMsgError, msg::error::kUnknownSectorSize, SourceName());
                return result::kNoSectorSize;
            }
            job_->readSectorSize = layout;
            trackTable_->sectorCount = static_cast<int64_t>(inputFile_->size / static_cast<uint64_t>(layout));
        }
    }
    return 0;
}

int WriteThread::OpenMpegForDat() {
    if (OpenInput() != 0) return result::kCannotOpen;
    const int size = ProbeSectorSize(*inputFile_);
    if (!Running()) return result::kCancelled;
    job_->readSectorSize = size;
    if (size == 2324) {
        trackTable_->sectorCount = static_cast<int64_t>(inputFile_->size / 2324);
        job_->searchPattern = kPackStart4;
        job_->writeSectorSize = 2352;
        if (SearchPattern(job_, 4) == 0) return 0;
        return StreamNotFound();
    }
    Log(kLogIndent + std::string("[") + SourceName() + "] " + lang_->core(msg::core::kDetectedSectorSize) + ": " +
        std::to_string(size));
    Report(kMsgError, msg::error::kInvalidPackSize, SourceName());
    return result::kBadPackSize;
}

int WriteThread::OpenRawTrackForDat() {
    if (OpenInput() != 0) return result::kCannotOpen;
    job_->searchPattern = kPackStart5;
    const int n = TakeForcedReadSize(start_, *job_) ? job_->readSectorSize : LogDetectedSectorSize();
    if (n > 0 && IsSectorSize(n)) {
        job_->readSectorSize = n;
        job_->writeSectorSize = n;
        trackTable_->sectorCount = static_cast<int64_t>(inputFile_->size / static_cast<uint64_t>(n));
        if (SearchPattern(job_, 5) == 0) {
            inputFile_->Seek(0);
            return 0;
        }
        return StreamNotFound();
    }
    Report(kMsgError, msg::error::kUnknownSectorSize, SourceName());
    return result::kNoSectorSize;
}

int WriteThread::OpenSectorImage() {
    if (OpenInput() != 0) return result::kCannotOpen;
    switch (inputKind_) {
    case kCifKind: {
        job_->writeSectorSize = 2324;
        job_->sectorHeaderSize = 0;
        if (job_->readSectorSize < 1 || job_->readSectorSize > static_cast<int32_t>(sector_.size())) break;
        inputFile_->Seek(static_cast<uint64_t>(job_->readSectorSize));
        if (inputFile_->Search(kRiff, 4, search_.data(), inputFile_->size, search_.size(), false)) {
            inputFile_->Read(sector_.data(), static_cast<size_t>(job_->readSectorSize));
            // The disc sectors, which the directory's extents count, begin here.
            sourceLead_ = inputFile_->position;
            sourceLeadKnown_ = true;
        }
        break;
    }
    case kNrgKind:
        job_->writeSectorSize = 2324;
        job_->sectorHeaderSize = 8;
        break;
    default:
        job_->writeSectorSize = 2324;
        job_->sectorHeaderSize = 24;
        break;
    }
    if (!IsSectorSize(job_->readSectorSize) && !TakeForcedReadSize(start_, *job_)) {
        Report(kMsgError, msg::error::kUnknownSectorSize, SourceName());
        return result::kNoSectorSize;
    }
    return 0;
}

int WriteThread::OpenDatFile() {
    if (OpenInput() != 0) return result::kCannotOpen;
    uint8_t header[44] = {};
    const size_t got = inputFile_->Read(header, 44);
    uint64_t headerLength = 0;
    if (got == 44 && std::memcmp(header, kRiff, 4) == 0) {
        headerLength = 44;
        Log(kLogIndent + lang_->core(msg::core::kFoundXaHeader));
    } else {
        Report(kMsgWarning, msg::warning::kBadXaHeader, SourceName());
        // No header to pass over: the first pack may lie in those 44 bytes.
        inputFile_->Seek(0);
    }
    // Any pack start: a dat of an SVCD holds MPEG-2 packs.
    job_->searchPattern = kPackStart4;
    job_->readSectorSize = 2352;
    job_->writeSectorSize = 2324;
    if (SearchPattern(job_, 4) != 0) return StreamNotFound();
    const uint64_t match = inputFile_->position;
    inputFile_->Seek(match);
    const int p = ProbeSectorSize(*inputFile_);
    if (!Running()) return result::kCancelled;
    if (p == 2352) {
        // sizes stay
    } else if (p == 2324) {
        Report(kMsgWarning, msg::warning::kDatMayBeMpeg, SourceName());
        job_->readSectorSize = job_->writeSectorSize = 2324;
    } else if (p > 2352 || !IsSectorSize(p)) {
        // A failed probe gives no size at all: never a sector size of its own.
        Report(kMsgError, msg::error::kInvalidPackSize, SourceName());
        return result::kBadPackSize;
    } else {
        Report(kMsgWarning, msg::warning::kPackSizeCorruption, SourceName());
        job_->readSectorSize = job_->writeSectorSize = p;
    }
    inputFile_->Seek(match);
    const uint64_t size = inputFile_->size > headerLength ? inputFile_->size - headerLength : 0;
    trackTable_->sectorCount = static_cast<int64_t>(size / static_cast<uint64_t>(job_->readSectorSize));
    return 0;
}

int WriteThread::OpenSfdFile() {
    if (OpenInput() != 0) return result::kCannotOpen;
    job_->readSectorSize = 2048;
    job_->writeSectorSize = 2048;
    trackTable_->sectorCount = static_cast<int64_t>(inputFile_->size / 2048);
    job_->searchPattern = kPackStart5;
    if (SearchPattern(job_, 5) == 0) return 0;
    return StreamNotFound();
}

int WriteThread::OpenTrackImage() {
    if (OpenInput() != 0) return result::kCannotOpen;
    job_->writeSectorSize = 2324;
    job_->searchPattern = kPackStart4;
    if (SearchPattern(job_, 4) == 0) return 0;
    return StreamNotFound();
}

int WriteThread::SetupTrack(int32_t track) {
    TTrackTable& t = *trackTable_;
    const size_t row = static_cast<size_t>(track);
    // Disc images set up each track from its row of the table.
    const TMethodInfo* m = MethodByCode(method_);
    const Opener opener = m ? m->opener : Opener::None;
    const bool perRow = opener == Opener::TrackImage || opener == Opener::SectorImage;
    if (perRow && (track < 0 || row >= t.start.size() || row >= t.end.size() || row >= t.sectorSize.size())) {
        Report(kMsgError, msg::error::kCueIncomplete, SourceName());
        return result::kNoMpegStream;
    }
    trackEnd_ = UINT64_MAX;
    trackCut_ = false;
    // A disc image lists each track's length from its directory, even where
    // the image ends before the track does (its end is then held to the
    // image's): whether the image holds the whole track.
    // An nrg's directory extents count from its first disc sector, behind
    // its lead; its sectors end at its footer.
    auto imageEndsInside = [&](int64_t adjust) {
        if (row >= t.minutes.size() || row >= t.seconds.size() || row >= t.frames.size()) return false;
        const int64_t sectors = SheetFrames(t.minutes[row], t.seconds[row], t.frames[row]) + adjust / 2324;
        return sourceLead_ + static_cast<uint64_t>(std::max<int64_t>(t.start[row], 0) + sectors * job_->readSectorSize) >
               std::min(inputFile_->size, sourceDataEnd_);
    };
    switch (method_) {
    case Code(Method::CueBinToDat):
    case Code(Method::CueBinToMpeg):
    case Code(Method::TocBinToMpeg): {
        job_->readSectorSize = start_.forceRead ? job_->forcedReadSize : t.sectorSize[row];
        if (method_ == Code(Method::CueBinToDat))
            job_->writeSectorSize = start_.forceWrite ? job_->forcedWriteSize : job_->readSectorSize;
        else
            job_->writeSectorSize = start_.forceWrite ? job_->forcedWriteSize : 2324;
        if (const int r = CheckSectorSizes(); r != 0) return r;
        if (const int r = CheckSyncDistance(static_cast<uint64_t>(std::max<int64_t>(t.start[row], 0))); r != 0)
            return r;
        const int64_t length = std::max<int64_t>(t.end[row] - t.start[row], 0);
        t.sectorCount = length / job_->readSectorSize;
        inputFile_->Seek(static_cast<uint64_t>(std::max<int64_t>(t.start[row], 0)));
        trackEnd_ = inputFile_->position + static_cast<uint64_t>(t.sectorCount * job_->readSectorSize);
        // The sheet readers clamp a track to the image: one that starts at
        // its end, or one the image ends in before the tracks after it, is
        // wholly or partly missing.
        {
            const uint64_t size = inputFile_->size;
            const bool last = track >= t.lastIndex;
            trackCut_ = static_cast<uint64_t>(std::max<int64_t>(t.start[row], 0)) >= size ||
                        (!last && static_cast<uint64_t>(std::max<int64_t>(t.end[row], 0)) >= size) ||
                        (last && LastTrackCut(row));
        }
        break;
    }
    case Code(Method::BinToMpeg):
        t.sectorCount = std::max<int64_t>(t.end[row] - t.start[row], 0) / 2324;
        inputFile_->Seek(static_cast<uint64_t>(std::max<int64_t>(t.start[row], 0)));
        // The directory gives the length in payload bytes; the image holds
        // whole sectors.
        trackEnd_ = inputFile_->position + static_cast<uint64_t>(t.sectorCount * job_->readSectorSize);
        trackCut_ = trackEnd_ > inputFile_->size || imageEndsInside(kBinTrackLengthAdjust);
        break;
    case Code(Method::NrgToMpeg):
    case Code(Method::CifToMpeg):
        // The whole file's sectors: the listed length leaves out the margins
        // a VCD track has, and an SVCD track has none. Empty sectors at the
        // end are dropped by the sector loop.
        t.sectorCount = (std::max<int64_t>(t.end[row] - t.start[row], 0) +
                         (method_ == Code(Method::NrgToMpeg) ? kNrgTrackLengthAdjust : kCifTrackLengthAdjust)) /
                        2324;
        // Its real place lies further on still: these files hold more in front.
        trackCut_ = imageEndsInside(method_ == Code(Method::NrgToMpeg) ? kNrgTrackLengthAdjust : kCifTrackLengthAdjust);
        break;
    default:
        break;
    }
    trackSectors_ = t.sectorCount;
    return 0;
}

// The readers let the last track of a sheet run to the end of the image;
// the toc's stated length, and the image's own track directory, tell
// whether the image ends before the track does.
bool WriteThread::LastTrackCut(size_t row) {
    const TTrackTable& t = *trackTable_;
    const int64_t start = std::max<int64_t>(t.start[row], 0);
    const int32_t r = t.sectorSize[row];
    const int64_t size = static_cast<int64_t>(inputFile_->size);
    if (inputKind_ == kTocKind && row < t.minutes.size() && row < t.seconds.size() && row < t.frames.size() &&
        start + r * SheetFrames(t.minutes[row], t.seconds[row], t.frames[row]) > size)
        return true;
    return DirectoryTrackEnd(job_->sourceName, r, start) > size;
}

void WriteThread::RemoveCdiBumper() {
    const uint64_t limit = std::min<uint64_t>(inputFile_->size, kBumperLimit);
    const uint64_t from = inputFile_->position;
    inputFile_->Seek(0);
    Status(lang_->core(msg::core::kPreScanning) + "...");
    if (inputFile_->Search(kBumperName, sizeof kBumperName, search_.data(), inputFile_->size, search_.size(), true)) {
        uint64_t after = inputFile_->position;
        while (inputFile_->Search(kSequenceEnd, 4, search_.data(), limit, search_.size(), false)) {
            inputFile_->SeekBy(4);
            after = inputFile_->position;
        }
        // Continue from just past the last end code, and back on the grid of
        // pack starts: the failed last search left the input anywhere.
        inputFile_->Seek(after);
        if (job_->searchPattern && inputFile_->Search(job_->searchPattern, 4, search_.data(), inputFile_->size,
                                                      search_.size(), false)) {
            // stands at the next pack
        } else {
            inputFile_->Seek(after);
        }
        Log(kLogIndent + lang_->core(msg::core::kCdiSequence));
    } else {
        // Back where the opener left the input: at the stream it found, past
        // a dat's header, on a raw track's pack grid.
        inputFile_->Seek(from);
        Log(kLogIndent + lang_->core(msg::core::kNoCdiSequence));
    }
    Status("");
    if (controls_ && controls_->progressBar) controls_->progressBar->setPosition(0);
}
