// Every user-visible text, by section and index, built in or loaded from a
// language file.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "core/result_codes.h"

enum class LangSection : int {
    LANGUAGE_SET_INFO = 0,
    CORE_PROGRAM_MSGS,
    COMPONENT_MSGS,
    HINT_MSGS,
    TASK_MENU_MSGS,
    DOCUMENT_MENU_MSGS,
    ERROR_MSGS,
    QUERY_MSGS,
    WARNING_MSGS,
};

// Receives the lines of the LANGUAGE_SET_COMMENTS section.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void clear() = 0;
    virtual void add(const std::string& line) = 0;
};

// A plain value: copy it to give a job a snapshot that no later load can
// change under it (see Snapshot).
class TLanguageSet {
public:
    static constexpr int kSectionCount = 9;
    static constexpr std::array<int, kSectionCount> kSlots = {3, 50, 149, 29, 3, 4, 31, 4, 5};
    static constexpr int kTotalSlots = 278;
    static constexpr int kMessageCount = 40;  // errors 0..30, questions 31..34, warnings 35..39
    // Sections may nest this deep (the file section counts as one); deeper
    // files are invalid. The format itself needs two.
    static constexpr int kMaxNesting = 16;

    // The error message of each failed load.
    enum Status : int32_t {
        kLoaded = 0,
        kCannotOpen = msg::error::kCannotOpen,
        kInvalidFile = msg::error::kInvalidLanguageFile,
        kWrongCount = msg::error::kLanguageEntryCount,
    };

    TLanguageSet();  // built-in English texts

    // Every slot back to its built-in English text; nothing else changes.
    void LoadDefaults();
    // Loads a language file over the current texts and leaves the result in
    // status (also returned): 0 loaded, 6 cannot open, 21 invalid file (the
    // built-in texts are restored), 22 wrong number of entries (what was read
    // so far stays). The memo, when given, receives the comment section.
    int LoadFromFile(const std::string& path, LineSink* memo);
    // Same, with the memo currently held in comments.
    int LoadFromFile(const std::string& path);
    const std::string& GetFileName() const { return fileName; }

    // The reader's two steps; LoadFromFile drives them.
    void ReadSection(std::istream& in, const std::string& name);
    bool CheckSectionCount(const std::string& name) const;

    // An immutable copy for a job to read from another thread.
    std::shared_ptr<const TLanguageSet> Snapshot() const { return std::make_shared<const TLanguageSet>(*this); }

    // The text at index of a section; empty when the index is out of range.
    const std::string& text(LangSection section, int index) const;
    const std::string& core(int i) const { return text(LangSection::CORE_PROGRAM_MSGS, i); }
    const std::string& component(int i) const { return text(LangSection::COMPONENT_MSGS, i); }
    const std::string& hint(int i) const { return text(LangSection::HINT_MSGS, i); }
    // The message table: errors 0..30, then questions 31..34, warnings 35..39.
    const std::string& message(int entry) const;

    // The section of that name, or -1.
    static int SectionIndex(const std::string& name);
    static const char* SectionName(LangSection section);

    int32_t status = 0;
    std::string errorSection;  // where the last failed load stopped
    LineSink* comments = nullptr;  // not owned
    std::string fileName;
    std::array<int32_t, kSectionCount> entryCounts{};

    std::array<std::vector<std::string>, kSectionCount> sections;

private:
    void ReadSection(std::istream& in, const std::string& name, int depth);
};
