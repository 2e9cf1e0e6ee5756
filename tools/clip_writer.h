// Writes a sample clip: the sectors of an MPEG program stream from the in
// GOP up to the out GOP, made to play on its own (clock and time stamps
// from 0, time codes from 00:00:00.00, whole audio frames, the video ended
// with a sequence end code at the out GOP).
#pragma once

#include <functional>
#include <string>

#include "platform/controls.h"
#include "tools/sample_clip.h"

class TLanguageSet;
class TOutputGuard;

// The "Generating Sample..." window of the extraction page.
class SampleProgressWindow {
public:
    virtual ~SampleProgressWindow() = default;
    virtual void showWith(const std::string& text) = 0;  // bar at 0
    virtual void setPosition(int percent) = 0;
    virtual void hideAndReset() = 0;
};

struct SampleWriteHandles {
    platform::Label* status = nullptr;
    platform::Label* eta = nullptr;
    platform::ProgressBar* progress = nullptr;
    platform::Label* completed = nullptr;
    SampleProgressWindow* window = nullptr;  // none on the video-cd page
    std::string* generatedFiles = nullptr;   // gets "\"path\" " appended
    const TLanguageSet* texts = nullptr;
    // The files of the job the clip belongs to (a build): the clip goes over
    // none of them, nor over its own source.
    const TOutputGuard* guard = nullptr;
    std::function<void(const std::string&)> log;  // gets the line of a refused name
};

// An absolute name stands as it is; any other goes into the directory
// (the name alone when the directory is empty).
std::string SampleOutputPath(const std::string& name, const std::string& directory);

// What stands in the way of writing a clip, as the error to report: 0
// nothing; msg::error::kInvalidPackSize a sector of the clip does not begin
// a pack (a source not packed in 2324-byte sectors cannot be cut whole);
// msg::error::kCannotCreate no source, no picture between the points, or
// a clock or time codes that start again between them. `why` gets the
// reason, for SampleClipProblemLine.
int SampleClipProblem(const TSampleClipDescription& clip, std::string* why = nullptr);
// The log line of a refused clip: the reason and the source.
std::string SampleClipProblemLine(const std::string& why, const std::string& source);

// 0 written; result::kCannotOpen nothing written (a problem above, or the
// output could not be created or written: a partial file is removed);
// result::kCannotCreate nothing written, the output is the source or a file
// of the job (the line naming both went to `log`).
int WriteSample(const TSampleClipDescription& clip, const std::string& directory, const SampleWriteHandles& handles);
