#include "core/language_set.h"

#include <istream>

#include "core/file_io.h"

extern const char* const kBuiltInLanguageTexts[TLanguageSet::kTotalSlots];

namespace {

constexpr const char* kSectionNames[TLanguageSet::kSectionCount] = {
    "LANGUAGE_SET_INFO", "CORE_PROGRAM_MSGS", "COMPONENT_MSGS", "HINT_MSGS",  "TASK_MENU_MSGS",
    "DOCUMENT_MENU_MSGS", "ERROR_MSGS",       "QUERY_MSGS",     "WARNING_MSGS",
};
constexpr const char* kFileSection = "PELLMOR_LANGUAGE_FILE";
constexpr const char* kCommentSection = "LANGUAGE_SET_COMMENTS";
constexpr const char* kEndPrefix = "END_";

const std::string kEmpty;

// Blanks and every control character go from both ends (a CR before the LF too).
std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// No text of the format comes near this; a longer line is no language file's
// (a film or a disc image chosen by mistake) and is never held whole.
constexpr size_t kMaxLineBytes = 64 * 1024;

// std::getline with a bound: false at the end of the file, and on a line
// longer than the bound, which sets tooLong.
bool GetLine(std::istream& in, std::string& line, bool& tooLong) {
    line.clear();
    std::streambuf* buf = in.rdbuf();
    for (;;) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return !line.empty();
        }
        if (c == '\n') return true;
        if (line.size() == kMaxLineBytes) {
            tooLong = true;
            return false;
        }
        line += static_cast<char>(c);
    }
}

}  // namespace

TLanguageSet::TLanguageSet() { LoadDefaults(); }

void TLanguageSet::LoadDefaults() {
    int slot = 0;
    for (int s = 0; s < kSectionCount; ++s) {
        sections[s].resize(kSlots[s]);
        for (int i = 0; i < kSlots[s]; ++i) sections[s][i] = kBuiltInLanguageTexts[slot++];
    }
}

int TLanguageSet::SectionIndex(const std::string& name) {
    for (int s = 0; s < kSectionCount; ++s)
        if (name == kSectionNames[s]) return s;
    return -1;
}

const char* TLanguageSet::SectionName(LangSection section) {
    int s = static_cast<int>(section);
    return s >= 0 && s < kSectionCount ? kSectionNames[s] : "";
}

const std::string& TLanguageSet::text(LangSection section, int index) const {
    int s = static_cast<int>(section);
    if (s < 0 || s >= kSectionCount || index < 0) return kEmpty;
    const auto& v = sections[s];
    return static_cast<size_t>(index) < v.size() ? v[index] : kEmpty;
}

const std::string& TLanguageSet::message(int entry) const {
    if (entry < 0) return kEmpty;
    if (entry < 31) return text(LangSection::ERROR_MSGS, entry);
    if (entry < 35) return text(LangSection::QUERY_MSGS, entry - 31);
    return text(LangSection::WARNING_MSGS, entry - 35);
}

int TLanguageSet::LoadFromFile(const std::string& path) { return LoadFromFile(path, comments); }

int TLanguageSet::LoadFromFile(const std::string& path, LineSink* memo) {
    fileName = path;
    comments = memo;
    status = kLoaded;
    errorSection.clear();  // a failure of an earlier load must not name this one

    const std::unique_ptr<std::istream> file = OpenRegularStream(path);
    if (!file) {
        status = kCannotOpen;
        return status;
    }
    std::istream& in = *file;

    std::string first;
    bool tooLong = false;
    if (!GetLine(in, first, tooLong)) {
        status = kInvalidFile;
    } else {
        if (comments) comments->clear();
        entryCounts.fill(0);
        if (StartsWith(first, "\xEF\xBB\xBF")) first.erase(0, 3);
        if (Trim(first) != std::string("#") + kFileSection)
            status = kInvalidFile;
        else
            ReadSection(in, kFileSection);
    }

    if (status == kInvalidFile) {
        if (comments) comments->clear();
        LoadDefaults();
    }
    return status;
}

void TLanguageSet::ReadSection(std::istream& in, const std::string& name) { ReadSection(in, name, 1); }

// Recursion is bounded by kMaxNesting, so a file of many section lines cannot
// exhaust the stack.
void TLanguageSet::ReadSection(std::istream& in, const std::string& name, int depth) {
    std::string current = name;
    const std::string endLine = kEndPrefix + name;
    int index = 0;
    std::string raw;
    while (status == kLoaded && current != endLine) {
        bool tooLong = false;
        if (!GetLine(in, raw, tooLong)) {
            if (tooLong) status = kInvalidFile;
            break;  // a file may end without its end lines
        }
        std::string line = Trim(raw);
        if (line.empty()) continue;

        if (line[0] == '#') {
            current = line.substr(1);
            if (current.size() >= 4 && StartsWith(current, kEndPrefix)) {
                // Any end line closes this level; the count is checked for the
                // section it names.
                if (status != kLoaded) break;
                std::string closed = current.substr(4);
                if (!CheckSectionCount(closed)) {
                    status = kWrongCount;
                    current = closed;
                }
                break;
            }
            if (depth >= kMaxNesting) {
                status = kInvalidFile;
                break;
            }
            ReadSection(in, current, depth + 1);
            continue;
        }
        if (StartsWith(line, "//")) continue;

        // Entries belong to the section this level reads; lines that follow a
        // nested section's end at this level are not part of the format.
        if (current != name) continue;
        int s = SectionIndex(current);
        if (s >= 0) {
            if (index >= kSlots[s]) {
                status = kWrongCount;
                break;
            }
            auto& v = sections[s];
            if (v.size() < static_cast<size_t>(kSlots[s])) v.resize(kSlots[s]);
            v[index++] = line;
            ++entryCounts[s];
        } else if (current == kCommentSection) {
            if (comments) comments->add(line);
        }
    }
    if (status != kLoaded && errorSection.empty()) errorSection = current;
}

// Each section passes with one entry fewer than it has slots: a section
// missing only its last entry keeps that slot's previous text.
bool TLanguageSet::CheckSectionCount(const std::string& name) const {
    if (name.size() <= 4 || StartsWith(name, kEndPrefix)) return true;
    int s = SectionIndex(name);
    if (s < 0) return true;
    return entryCounts[s] >= kSlots[s] - 1;
}
