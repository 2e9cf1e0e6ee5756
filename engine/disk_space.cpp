#include "engine/disk_space.h"

#include <filesystem>
#include <system_error>

#include "core/constants.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "core/result_codes.h"
#include "disc/track_table.h"
#include "engine/methods.h"

namespace {

uint64_t TrackBytes(SpaceEstimate measure, int track, const OutputEstimateInput& in) {
    if (measure == SpaceEstimate::TrackSpans) {
        const TTrackTable* t = in.trackTable;
        if (!t || track < 0 || static_cast<size_t>(track) >= t->start.size() ||
            static_cast<size_t>(track) >= t->end.size())
            return 0;
        int64_t span = t->end[track] - t->start[track];
        return span > 0 ? static_cast<uint64_t>(span) : 0;
    }
    if (!in.trackSizes || track < 1 || static_cast<size_t>(track) > in.trackSizes->size()) return 0;
    int64_t size = (*in.trackSizes)[track - 1];
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

std::vector<int> ListedTracks(const OutputEstimateInput& in) {
    std::vector<int> tracks;
    if (!in.trackTable) return tracks;
    const TTrackTable& t = *in.trackTable;
    if (in.trackListBox) {
        tracks = SelectedTrackNumbers(*in.trackListBox, t);
        if (tracks.empty())
            for (int i = 0, n = in.trackListBox->count(); i < n; ++i) tracks.push_back(t.firstTrack + i);
    } else {
        for (int k = t.firstTrack; k <= t.lastIndex; ++k) tracks.push_back(k);
    }
    return tracks;
}

}  // namespace

uint64_t RawSectorBytes(uint64_t payloadBytes) {
    return (payloadBytes + 2323) / 2324 * 2352;
}

int EstimateOutputBytes(const OutputEstimateInput& in, const LoadReporter& reporter, uint64_t& bytes) {
    bytes = 0;
    if (in.pageMode != 0) {
        // An image is written in raw sectors: each 2324-byte payload takes 2352.
        if (in.buildEntryBytes)
            for (int64_t b : *in.buildEntryBytes)
                if (b > 0) bytes += RawSectorBytes(static_cast<uint64_t>(b));
        return 0;
    }
    const SpaceEstimate measure = ExtractionMethod(in.method).space;
    if (measure == SpaceEstimate::TrackSpans || measure == SpaceEstimate::TrackSizes) {
        const std::vector<int> tracks = ListedTracks(in);
        for (int k : tracks) bytes += TrackBytes(measure, k, in);
        if (!tracks.empty()) return 0;
    }
    // Nothing listed tells the amount: the whole input is the estimate.
    TFileIO file;
    if (file.OpenForRead(in.inputName) != 0) {
        reporter.report(kMsgError, msg::error::kCannotOpen, ExtractName(in.inputName));
        return result::kCannotOpen;
    }
    bytes = file.size;
    file.Close();
    // mpg -> dat writes each 2324-byte pack as a raw sector.
    if (measure == SpaceEstimate::InputAsRawSectors) bytes = RawSectorBytes(bytes) + 44;
    return 0;
}

int64_t FreeSpaceForOutput(const std::string& outputName) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::absolute(fs::path(outputName), ec).parent_path();
    if (ec) return -1;
    // A folder the job is still to create lives on the file system above it.
    while (!fs::is_directory(folder, ec)) {
        if (!folder.has_relative_path()) return -1;
        folder = folder.parent_path();
    }
    fs::space_info info = fs::space(folder, ec);
    if (ec || info.available == static_cast<uintmax_t>(-1)) return -1;
    return info.available > static_cast<uintmax_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(info.available);
}

bool SpaceIsShort(uint64_t bytes, int64_t freeBytes) {
    return freeBytes < 0 || static_cast<uint64_t>(freeBytes) < bytes;
}

int verifyDiskSpace(uint64_t bytes, int64_t freeBytes, const LoadReporter& reporter) {
    if (!SpaceIsShort(bytes, freeBytes)) return 0;
    int answer = reporter.report(kMsgQuestion, msg::query::kNotEnoughSpace, "");
    return answer == platform::kNo || answer == platform::kCancel ? result::kCancelled : result::kOk;
}

int verifyDiskSpace(uint64_t bytes, const std::string& outputName, const LoadReporter& reporter) {
    if (outputName == kPassiveOutput) return 0;
    return verifyDiskSpace(bytes, FreeSpaceForOutput(outputName), reporter);
}
