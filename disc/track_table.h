// The tracks of the loaded image, or of the images of a build.
#pragma once

#include <cstdint>
#include <vector>

class TTrackTable {
public:
    TTrackTable() { Reset(); }

    void Reset() {
        firstTrack = 0;
        lastTrack = 0;
        lastIndex = -1;
        imageCount = 1;
        sectorCount = 0;
        tracksPerImage.clear();
        minutes.clear();
        seconds.clear();
        frames.clear();
        sectorSize.clear();
        start.clear();
        end.clear();
    }

    void AppendTrack() {
        minutes.push_back(0);
        seconds.push_back(0);
        frames.push_back(0);
        sectorSize.push_back(0);
        start.push_back(0);
        end.push_back(0);
    }

    int32_t firstTrack = 0;
    int32_t lastTrack = 0;
    int32_t lastIndex = -1;
    int32_t imageFirstTrack = 0;
    int32_t imageLastTrack = 0;
    int32_t imageTrackCount = 0;
    int32_t imageNumber = 0;
    int32_t imageCount = 1;
    std::vector<int32_t> tracksPerImage;
    std::vector<int32_t> minutes;
    std::vector<int32_t> seconds;
    std::vector<int32_t> frames;
    std::vector<int32_t> sectorSize;
    std::vector<int64_t> start;  // byte offsets are 64-bit
    std::vector<int64_t> end;
    int64_t sectorCount = 0;
    int64_t selectedBytes = 0;
};
