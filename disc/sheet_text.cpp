#include "disc/sheet_text.h"

#include <filesystem>
#include <system_error>

#include "core/file_io.h"
#include "core/language_set.h"
#include "core/message_reporter.h"
#include "core/helpers.h"
#include "core/path_lookup.h"
#include "core/records.h"
#include "core/result_codes.h"

bool ReadSheetLines(std::istream& in, std::vector<std::string>& lines) {
    lines.clear();
    std::string text;
    char chunk[16384];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxSheetBytes) return false;
    }
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lines.empty() && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return true;
}

bool SplitSheetWords(const std::string& line, bool slashComments, std::vector<SheetWord>& words) {
    words.clear();
    size_t i = 0, n = line.size();
    while (i < n) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\v' || c == '\f') {
            ++i;
            continue;
        }
        if (slashComments && c == '/' && i + 1 < n && line[i + 1] == '/') break;
        SheetWord w;
        if (c == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string::npos) return false;
            w.text = line.substr(i + 1, close - i - 1);
            w.quoted = true;
            i = close + 1;
        } else {
            size_t j = i;
            while (j < n && line[j] != ' ' && line[j] != '\t' && line[j] != '\v' && line[j] != '\f' &&
                   line[j] != '"' && !(slashComments && line[j] == '/' && j + 1 < n && line[j + 1] == '/'))
                ++j;
            w.text = line.substr(i, j - i);
            i = j;
        }
        words.push_back(std::move(w));
    }
    return true;
}

bool ParseSheetNumber(const std::string& text, int64_t max, int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > max) return false;
    value = v;
    return true;
}

bool ParseSheetTime(const std::string& text, int32_t& minutes, int32_t& seconds, int32_t& frames) {
    size_t a = text.find(':');
    if (a == std::string::npos) return false;
    size_t b = text.find(':', a + 1);
    if (b == std::string::npos) return false;
    std::string m = text.substr(0, a), s = text.substr(a + 1, b - a - 1), f = text.substr(b + 1);
    int64_t mv, sv, fv;
    if (m.size() > 3 || s.size() > 2 || f.size() > 2) return false;
    if (!ParseSheetNumber(m, 999, mv) || !ParseSheetNumber(s, 59, sv) || !ParseSheetNumber(f, 74, fv)) return false;
    minutes = static_cast<int32_t>(mv);
    seconds = static_cast<int32_t>(sv);
    frames = static_cast<int32_t>(fv);
    return true;
}

void SheetServices::Error(int index, const std::string& context) const {
    static const TJobControls none;
    ReportMessage(controls ? *controls : none, *options, kMsgError, index, context);
}

void SheetServices::Refuse(const std::string& line) const {
    if (!controls) return;
    if (controls->logListBox) controls->logListBox->add(line);
    if (controls->stats) {
        controls->stats->errors.fetch_add(1);
        controls->stats->Show(controls->languageSet.get());
    }
}

bool SheetServices::Unattended() const {
    if (options && (static_cast<uint16_t>(options->DisableErrorPrompts) & 0x8000)) return true;
    if (!controls || !controls->fileDialogs) return true;
    return controls->batchFlag && controls->batchFlag->load() == 1;
}

bool OpenSheetImage(const SheetServices& services, TFileIO& image, const std::string& sheetDir,
                    const std::string& name, const std::string& filter, std::string& opened) {
    std::string found = ResolveNamedFile(sheetDir, name);
    if (!found.empty() && image.OpenForRead(found) == 0) {
        opened = found;
        return true;
    }
    services.Error(msg::error::kCueImageMissing, "");
    if (services.Unattended()) {
        services.Error(msg::error::kCannotOpen, ExtractName(name));
        return false;
    }
    // A copy: the main window's dialog keeps naming the sheet, which a task
    // project or the next start still needs.
    platform::FileDialogState state;
    if (services.controls->openDialog) state = *services.controls->openDialog;
    state.Filter = filter;
    state.FilterIndex = 1;
    state.Title = services.controls->languageSet ? services.controls->languageSet->core(msg::core::kSelectBinaryImage)
                                                 : std::string();
    state.FileName.clear();
    state.Files.clear();
    state.multiSelect = false;
    state.InitialDir = sheetDir;
    if (!services.controls->fileDialogs->executeOpen(state)) return false;
    const std::string& chosen = state.FileName;
    std::error_code ec;
    if (chosen.empty() || !std::filesystem::is_regular_file(chosen, ec) || image.OpenForRead(chosen) != 0) {
        services.Error(msg::error::kCannotOpen, ExtractName(chosen));
        return false;
    }
    opened = chosen;
    return true;
}

TSheetReader::TSheetReader(TJob* job, TConfig* options, const TJobControls* controls)
    : imageFile(std::make_unique<TFileIO>(job)),
      job(job),
      options(options),
      trackTable(job ? job->trackTable : nullptr),
      controls_(controls ? controls : (job ? job->controls : nullptr)) {}

TSheetReader::~TSheetReader() { Close(); }

int TSheetReader::Open(const std::string& path) {
    auto in = OpenRegularStream(path);
    if (!in) return msg::error::kCannotOpen;
    sheetFile = std::move(in);
    sheetPath_ = path;
    return 0;
}

void TSheetReader::Close() {
    if (imageFile && !imageFile->IsClosed()) imageFile->Close();
    imageFile.reset();
    sheetFile.reset();
}

bool TSheetReader::TakeLines(std::vector<std::string>& lines) {
    if (!sheetFile || !job || !options || !trackTable || !imageFile) return false;
    const bool whole = ReadSheetLines(*sheetFile, lines);
    sheetFile.reset();
    if (!whole) Fail(msg::error::kCueIncomplete, ExtractName(sheetPath_));
    return whole;
}

int TSheetReader::Fail(int index, const std::string& context) {
    Services().Error(index, context);
    if (imageFile && !imageFile->IsClosed()) imageFile->Close();
    return 0;
}
