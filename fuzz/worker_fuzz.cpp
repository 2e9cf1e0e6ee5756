// Runs whole extraction jobs on small arbitrary sources, loaded through the
// window's loader as run_job loads them: byte 0 picks the method, byte 1 the options, byte 2
// where track 2 starts in the sheet; the rest is the source. Besides memory
// errors it checks that no job writes more than its input can give: raw
// sectors around every payload, the dat header and lead-in, a few system
// header sectors per output and one sector of padding margin.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "core/temp_file.h"
#include "tests/tools/job_setup.h"

namespace {

class Log : public platform::ListBox {
public:
    void add(const std::string&) override { ++n_; }
    void clear() override { n_ = 0; }
    int count() const override { return n_; }
    std::string item(int) const override { return {}; }
    bool selected(int) const override { return false; }
    void setSelected(int, bool) override {}

private:
    int n_ = 0;
};

class Label : public platform::Label {
public:
    void setCaption(const std::string& t) override { text_ = t; }
    std::string caption() const override { return text_; }
    void setVisible(bool) override {}
    bool visible() const override { return true; }
    void setColor(int32_t) override {}

private:
    std::string text_;
};

class Bar : public platform::ProgressBar {
public:
    void setPosition(int p) override { p_ = p; }
    int position() const override { return p_; }

private:
    int p_ = 0;
};

class Button : public platform::Button {
public:
    void setCaption(const std::string&) override {}
    std::string caption() const override { return {}; }
    void setHint(const std::string&) override {}
    std::string hint() const override { return {}; }
    void setEnabled(bool) override {}
    bool enabled() const override { return true; }
};

class Box : public platform::CheckBox {
public:
    explicit Box(bool on) : on_(on) {}
    void setChecked(bool on) override { on_ = on; }
    bool checked() const override { return on_; }
    void setEnabled(bool) override {}
    bool enabled() const override { return true; }

private:
    bool on_;
};

// Every question is answered yes (overwrite the previous run's output).
class Boxes : public platform::Dialogs {
public:
    int ask(const std::string&, const std::string&) override { return platform::kYes; }
    void error(const std::string&, const std::string&) override {}
    void info(const std::string&, const std::string&) override {}
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void beep() override {}
};

const std::string& Folder() {
    static const std::string dir = CreateTempDir("pellmor-worker-fuzz-");
    return dir;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

using M = Method;
constexpr Method kMethods[] = {M::CueBinToMpeg, M::CueBinToDat, M::BinToMpeg, M::TocBinToMpeg,
                               M::RawToMpeg,    M::RawToDat,    M::DatToMpeg, M::MpegToDat,
                               M::MpegToMpeg,   M::CifToMpeg,   M::NrgToMpeg, M::SfdToMpeg};
constexpr const char* kExtensions[] = {"bin", "bin", "bin", "bin", "raw", "raw", "dat", "mpg", "mpg", "cif", "nrg", "sfd"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t pick = data[0] % (sizeof kMethods / sizeof kMethods[0]);
    const TMethodInfo& info = ExtractionMethod(kMethods[pick]);
    const int method = info.index;
    const uint8_t flags = data[1];
    const int trackStart = data[2] % 40;
    const uint8_t* body = data + 3;
    const size_t length = size - 3;

    const std::string dir = Folder();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove_all(entry.path(), ec);
    const std::string image = dir + "/src." + kExtensions[pick];
    Write(image, body, length);
    std::string source = image;
    const char* mode = (flags & 0x10) ? "MODE2/2336" : "MODE2/2352";
    if (info.load == SourceForm::CueSheet) {
        char cue[256];
        std::snprintf(cue, sizeof cue,
                      "FILE \"src.bin\" BINARY\n  TRACK 01 %s\n    INDEX 01 00:00:00\n"
                      "  TRACK 02 %s\n    INDEX 01 00:00:%02d\n",
                      mode, mode, trackStart);
        source = dir + "/src.cue";
        Write(source, reinterpret_cast<const uint8_t*>(cue), std::strlen(cue));
    } else if (info.load == SourceForm::TocSheet) {
        const int split = trackStart * 2352;
        char toc[400];
        std::snprintf(toc, sizeof toc,
                      "CD_ROM_XA\n\nTRACK MODE2_RAW\nDATAFILE \"src.bin\" 00:00:%02d\n\n"
                      "TRACK MODE2_RAW\nDATAFILE \"src.bin\" #%d 00:00:01\n",
                      trackStart, split);
        source = dir + "/src.toc";
        Write(source, reinterpret_cast<const uint8_t*>(toc), std::strlen(toc));
    }

    jobsetup::Rig<Log, Label, Bar, Button, Boxes> rig;
    TConfig config;
    config.MultiFileFormat = "_%02d";
    config.DisableErrorPrompts = 1;
    config.FixMPEGErrors = flags & 0x01;
    config.ToastEnable = (flags & 0x02) ? 1 : 0;
    config.RemoveCDIBumper = (flags & 0x04) ? 1 : 0;
    config.DisableMPEGPadding = (flags & 0x20) ? 1 : 0;
    config.DisableHeaderCorrection = (flags & 0x40) ? 1 : 0;
    // Track 0 as the window's box gives it: listed for sheets only.
    Box trackZero(flags & 0x08);
    const std::string output = dir + "/out." + (info.outputKind == kDatKind ? "dat" : "mpg");
    SourceLoad load = rig.UnattendedLoad(method, source, output, config);
    load.trackZeroBox = &trackZero;
    if (LoadSource(load).result != 0) return 0;

    TJobStart start;
    start.toastChecked = config.ToastEnable != 0;
    rig.job.outputName = rig.outputDialog.FileName;
    rig.job.baseOutputName = rig.job.outputName;
    rig.job.method = method;
    rig.RunJob(config, std::move(start));

    uint64_t written = 0, outputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (entry.path().filename().string().rfind("out", 0) != 0) continue;
        written += entry.file_size(ec);
        ++outputs;
    }
    const uint64_t sector = 2352;
    const uint64_t bound = length * sector / 2324 + length / 1000 + (outputs + 1) * 4 * sector + 31 * sector + 44;
    if (written > bound) {
        std::fprintf(stderr, "method %d: %llu bytes in, %llu out (bound %llu)\n", method,
                     static_cast<unsigned long long>(length), static_cast<unsigned long long>(written),
                     static_cast<unsigned long long>(bound));
        std::abort();
    }
    return 0;
}
