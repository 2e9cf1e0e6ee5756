// Every user-visible text, by section and index, built in or loaded from a
// language file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

class TLanguageSet {
public:
    static constexpr int kSectionCount = 9;
    static constexpr std::array<int, kSectionCount> kSlots = {3, 50, 149, 29, 3, 4, 31, 4, 5};

    TLanguageSet();  // built-in English texts

    void LoadDefaults();
    // 0 loaded, 6 cannot open, 21 invalid file, 22 wrong number of entries.
    int LoadFromFile(const std::string& path);

    // The text at index of a section; empty when the index is out of range.
    const std::string& text(LangSection section, int index) const;
    const std::string& core(int i) const { return text(LangSection::CORE_PROGRAM_MSGS, i); }
    const std::string& component(int i) const { return text(LangSection::COMPONENT_MSGS, i); }
    const std::string& hint(int i) const { return text(LangSection::HINT_MSGS, i); }
    // The message table: errors 0..30, then questions 31..34, warnings 35..39.
    const std::string& message(int entry) const;

    int32_t status = 0;
    std::string errorSection;
    LineSink* comments = nullptr;  // not owned
    std::string fileName;
    std::array<int32_t, kSectionCount> entryCounts{};

    std::array<std::vector<std::string>, kSectionCount> sections;
};
