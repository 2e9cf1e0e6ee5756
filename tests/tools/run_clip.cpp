// Cuts a sample clip headless, the way the editor's plain-file mode does:
// opens the source, steps GOPs to the first GOP at or after each of the two
// frames, and writes the clip between them.
//
//   run_clip --source F --in-frame N --out-frame M --output CLIP
//
// Prints the frames and offsets it used; --help prints the usage.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/language_set.h"
#include "core/records.h"
#include "core/result_codes.h"
#include "tools/clip_writer.h"
#include "tools/sample_clip.h"

namespace {

constexpr const char* kUsage =
    "usage: run_clip --source F --in-frame N --out-frame M --output CLIP\n"
    "Cuts a sample clip out of the MPEG program stream F as the clip editor does: steps\n"
    "GOPs to the first GOP at or after frame N (the in point), then on to the first at or\n"
    "after frame M (the out point), and writes the clip between them to CLIP. Frames count\n"
    "from F's first GOP; the frames and offsets used are printed.\n"
    "Exit status: 0 written; 4 nothing written (no picture between the points, F not\n"
    "packed in 2324-byte sectors, a clock or time codes that start again between the\n"
    "points, or CLIP not writable: the reason is printed); 7 no MPEG stream in F; 2 usage.\n";

int Usage(const char* why) {
    std::fprintf(stderr, "run_clip: %s\n%s", why, kUsage);
    return 2;
}

bool ParseFrame(const char* text, long long& out) {
    char* end = nullptr;
    out = std::strtoll(text, &end, 10);
    return *text != '\0' && *end == '\0' && out >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string source, output;
    long long inFrame = -1, outFrame = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) return Usage(("missing value of " + a).c_str());
        const char* v = argv[++i];
        if (a == "--source") {
            source = v;
        } else if (a == "--output") {
            output = v;
        } else if (a == "--in-frame") {
            if (!ParseFrame(v, inFrame)) return Usage("--in-frame needs a frame count");
        } else if (a == "--out-frame") {
            if (!ParseFrame(v, outFrame)) return Usage("--out-frame needs a frame count");
        } else {
            return Usage(("unknown argument " + a).c_str());
        }
    }
    if (source.empty() || output.empty() || inFrame < 0 || outFrame < 0) return Usage("every argument is required");

    TConfig config;
    TLanguageSet texts;
    int reported = 0;
    TSampleClipEditor editor(&config, &texts, nullptr, [&](int index, const std::string& text) {
        reported = index;
        std::printf("error %d: %s %s\n", index, texts.message(index).c_str(), text.c_str());
    });
    const int opened = editor.OpenMpegFile(source);
    const bool noStream = opened == msg::error::kNoMpegStream || reported == msg::error::kNoMpegStream;
    if (opened != 0) return noStream ? msg::error::kNoMpegStream : int(result::kCannotOpen);
    editor.StepToFrame(inFrame);
    editor.markButtonClick();
    editor.StepToFrame(outFrame);
    editor.SetFilenameText(output);
    const TSampleClipDescription clip = editor.Description();
    std::printf("in frame %lld offset %lld\nout frame %lld offset %lld\ntime base %lld rate %.3f\n",
                static_cast<long long>(clip.inFrame), static_cast<long long>(clip.inOffset),
                static_cast<long long>(clip.outFrame), static_cast<long long>(clip.outOffset),
                static_cast<long long>(clip.timeBase), clip.frameRate);
    std::string why;
    const int problem = SampleClipProblem(clip, &why);
    if (problem != 0) {
        std::printf("%s\n", SampleClipProblemLine(why, clip.sourcePath).c_str());
        if (problem == msg::error::kInvalidPackSize)
            std::printf("error %d: %s %s\n", problem, texts.message(problem).c_str(), clip.sourcePath.c_str());
    }
    std::string generated;
    SampleWriteHandles handles;
    handles.generatedFiles = &generated;
    handles.texts = &texts;
    handles.log = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
    const int r = WriteSample(clip, "", handles);
    if (r == result::kCannotOpen && problem == 0)
        std::printf("error %d: %s %s\n", msg::error::kCannotCreate, texts.message(msg::error::kCannotCreate).c_str(),
                    clip.outputName.c_str());
    std::printf(r == 0 ? "written %s\n" : "nothing written\n", generated.c_str());
    return r;
}
