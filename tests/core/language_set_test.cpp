#include "core/language_set.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

#include "core/temp_file.h"

namespace fs = std::filesystem;
using S = LangSection;

namespace {

class MemoSink : public LineSink {
public:
    void clear() override {
        lines.clear();
        ++clears;
    }
    void add(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
    int clears = 0;
};

class LangDir {
public:
    LangDir() : path_(CreateTempDir("pellmor_lang_")) {
        if (path_.empty()) std::abort();  // never write beside nothing
    }
    ~LangDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string write(const std::string& name, const std::string& bytes) const {
        auto p = path_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    std::string path(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

struct Slot {
    S section;
    int index;
    std::string text;
    bool operator==(const Slot&) const = default;
};

void PrintTo(const Slot& s, std::ostream* os) {
    *os << TLanguageSet::SectionName(s.section) << "[" << s.index << "]=\"" << s.text << "\"";
}

// Slots whose text differs from the built-in set, in slot order.
std::vector<Slot> Changed(const TLanguageSet& set) {
    TLanguageSet english;
    std::vector<Slot> out;
    for (int s = 0; s < TLanguageSet::kSectionCount; ++s)
        for (int i = 0; i < TLanguageSet::kSlots[s]; ++i) {
            auto sec = static_cast<S>(s);
            if (set.text(sec, i) != english.text(sec, i)) out.push_back({sec, i, set.text(sec, i)});
        }
    return out;
}

const std::string kHead = "#PELLMOR_LANGUAGE_FILE\n";
const std::string kTaskDe = "#TASK_MENU_MSGS\nProjekt oeffnen\nProjekt speichern\nStapel oeffnen\n#END_TASK_MENU_MSGS\n";
const std::vector<Slot> kTaskDeSlots = {
    {S::TASK_MENU_MSGS, 0, "Projekt oeffnen"},
    {S::TASK_MENU_MSGS, 1, "Projekt speichern"},
    {S::TASK_MENU_MSGS, 2, "Stapel oeffnen"},
};

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

}  // namespace

TEST(LanguageSetDefaults, EverySectionHasItsSlots) {
    TLanguageSet set;
    const std::vector<int> expected = {3, 50, 149, 29, 3, 4, 31, 4, 5};
    int total = 0;
    for (int s = 0; s < TLanguageSet::kSectionCount; ++s) {
        EXPECT_EQ(static_cast<int>(set.sections[s].size()), expected[s]) << s;
        total += static_cast<int>(set.sections[s].size());
        for (const auto& t : set.sections[s]) EXPECT_FALSE(t.empty()) << s;
    }
    EXPECT_EQ(total, 278);
    EXPECT_EQ(set.status, 0);
    EXPECT_TRUE(set.errorSection.empty());
    EXPECT_TRUE(set.GetFileName().empty());
}

TEST(LanguageSetDefaults, SampleTextsMatchTheBuiltInList) {
    TLanguageSet set;
    const std::vector<Slot> samples = {
        {S::LANGUAGE_SET_INFO, 0, "English"},
        {S::LANGUAGE_SET_INFO, 1, "3.50 - Jan. 1, 2003"},
        {S::CORE_PROGRAM_MSGS, 0, "Select Binary Image File"},
        {S::CORE_PROGRAM_MSGS, 12, "idle"},
        {S::CORE_PROGRAM_MSGS, 18, "critical"},
        {S::CORE_PROGRAM_MSGS, 29, "Output file exists.  Overwrite?"},
        {S::CORE_PROGRAM_MSGS, 30, "success"},
        {S::CORE_PROGRAM_MSGS, 43, "Found XA header.  Auto-switching to read[2352]/write[2324]"},
        {S::CORE_PROGRAM_MSGS, 49, "Your images will have a volume label that will look like the following"},
        {S::COMPONENT_MSGS, 0, "start"},
        {S::COMPONENT_MSGS, 71, "-"},
        {S::COMPONENT_MSGS, 95, "Warnings"},
        {S::COMPONENT_MSGS, 96, "Errors"},
        {S::COMPONENT_MSGS, 125, "? random"},
        {S::COMPONENT_MSGS, 140,
         "Enter in the filename style you want the multiple output files to have.  Use %d to represent the file "
         "number, %02d to represent file number as two digits.\n\nexamples:\nFILE_%02d     outputs-> FILE_01.? "
         "FILE_02.?\nFILE(disc%d)  outputs-> FILE(disc1).? FILE(disc2).?"},
        {S::COMPONENT_MSGS, 141,
         "Enter in the style you want the volume name to have.  You can use %d to represent the image number and "
         "%02d to represent image number as two digits.\n\nexamples:\nVOL_%02d      -> image 1 with VOL_01 volume "
         "name, image 2 with VOL_02 volume name\nVOL_D%d       -> image 1 with VOL_D1 volume name, image 2 with "
         "VOL_D2 volume name"},
        {S::COMPONENT_MSGS, 148, "SFV Check Archive First"},
        {S::HINT_MSGS, 0, "Select extraction/conversion method"},
        {S::HINT_MSGS, 23, "Pause time before playing next track.  Default is 5 seconds"},
        {S::HINT_MSGS, 28, "Move slider to end position and press OK when done"},
        {S::TASK_MENU_MSGS, 2, "Open batch list"},
        {S::DOCUMENT_MENU_MSGS, 0, "What's new?"},
        {S::DOCUMENT_MENU_MSGS, 3, "FAQ"},
        {S::ERROR_MSGS, 0, "Unable to change directory."},
        {S::ERROR_MSGS, 13, "Track does not match size expected in CUE file.  Track will be truncated."},
        {S::ERROR_MSGS, 30, "Filename cannot be empty!"},
        {S::QUERY_MSGS, 0, "There may not be enough space to write the output file.  Continue?"},
        {S::QUERY_MSGS, 3, "Remove Pellmor entries from registry?"},
        {S::WARNING_MSGS, 0, "WARNING: Corruption might occur for non-valid pack sized MPEGs"},
        {S::WARNING_MSGS, 4, "WARNING: MPEG file may not have constant 2324 pack size."},
    };
    for (const auto& s : samples) EXPECT_EQ(set.text(s.section, s.index), s.text) << ::testing::PrintToString(s);
    EXPECT_EQ(set.core(30), "success");
    EXPECT_EQ(set.component(0), "start");
    EXPECT_EQ(set.hint(9), "Click here to begin processing");
}

TEST(LanguageSetDefaults, MessageTableRunsErrorsQuestionsWarnings) {
    TLanguageSet set;
    EXPECT_EQ(set.message(0), "Unable to change directory.");
    EXPECT_EQ(set.message(30), "Filename cannot be empty!");
    EXPECT_EQ(set.message(31), "There may not be enough space to write the output file.  Continue?");
    EXPECT_EQ(set.message(34), "Remove Pellmor entries from registry?");
    EXPECT_EQ(set.message(35), "WARNING: Corruption might occur for non-valid pack sized MPEGs");
    EXPECT_EQ(set.message(39), "WARNING: MPEG file may not have constant 2324 pack size.");
}

TEST(LanguageSetDefaults, IndexOutOfRangeGivesEmptyText) {
    TLanguageSet set;
    EXPECT_EQ(set.core(-1), "");
    EXPECT_EQ(set.core(50), "");
    EXPECT_EQ(set.core(12 + 1000), "");  // a priority level far beyond the table
    EXPECT_EQ(set.component(149), "");
    EXPECT_EQ(set.text(static_cast<S>(9), 0), "");
    EXPECT_EQ(set.text(static_cast<S>(-1), 0), "");
    EXPECT_EQ(set.message(-1), "");
    EXPECT_EQ(set.message(40), "");
}

TEST(LanguageSetDefaults, LoadDefaultsRestoresEverySlotOnly) {
    TLanguageSet set;
    set.sections[2][140] = "x";
    set.sections[8][4] = "y";
    set.status = 22;
    set.errorSection = "HINT_MSGS";
    set.LoadDefaults();
    EXPECT_TRUE(Changed(set).empty());
    EXPECT_EQ(set.status, 22);
    EXPECT_EQ(set.errorSection, "HINT_MSGS");
}

struct FileCase {
    const char* name;
    std::optional<std::string> prior;    // loaded first into the same set
    std::optional<std::string> content;  // nothing: the file does not exist
    int status;
    std::string errorSection;
    std::vector<Slot> changed;
    std::vector<std::string> memo;
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

class LanguageFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(LanguageFileTest, LoadGivesStatusSectionSlotsAndMemo) {
    const FileCase& c = GetParam();
    LangDir dir;
    TLanguageSet set;
    MemoSink memo;
    if (c.prior) set.LoadFromFile(dir.write("prior.lng", *c.prior), &memo);
    std::string path = c.content ? dir.write("case.lng", *c.content) : dir.path("missing.lng");

    int rc = set.LoadFromFile(path, &memo);

    EXPECT_EQ(rc, c.status);
    EXPECT_EQ(set.status, c.status);
    EXPECT_EQ(set.errorSection, c.errorSection);
    EXPECT_EQ(set.GetFileName(), path);
    EXPECT_EQ(Changed(set), c.changed);
    EXPECT_EQ(memo.lines, c.memo);
}

const std::string kPriorDe = kHead + "#LANGUAGE_SET_COMMENTS\nalt\n#END_LANGUAGE_SET_COMMENTS\n" + kTaskDe;

INSTANTIATE_TEST_SUITE_P(
    Files, LanguageFileTest,
    ::testing::Values(
        FileCase{"MissingFileChangesNothing", kPriorDe, std::nullopt, 6, "", kTaskDeSlots, {"alt"}},
        FileCase{"EmptyFileRestoresEnglish", kPriorDe, "", 21, "", {}, {}},
        FileCase{"WrongCaseFirstLine", kPriorDe, "#pellmor_language_file\n" + kTaskDe, 21, "", {}, {}},
        FileCase{"EmptyLineBeforeFirstLine", std::nullopt, "\n" + kHead + kTaskDe, 21, "", {}, {}},
        FileCase{"BlanksAndCrlfAroundFirstLine", std::nullopt,
                 " \t#PELLMOR_LANGUAGE_FILE  \r\n#TASK_MENU_MSGS\r\nProjekt oeffnen\r\n  Projekt speichern \r\n"
                 "Stapel oeffnen\r\n#END_TASK_MENU_MSGS\r\n#END_PELLMOR_LANGUAGE_FILE\r\n",
                 0, "", kTaskDeSlots, {}},
        FileCase{"ByteOrderMarkSkipped", std::nullopt, "\xEF\xBB\xBF" + kHead + kTaskDe, 0, "", kTaskDeSlots, {}},
        FileCase{"FourthInfoEntry", std::nullopt,
                 kHead + "#LANGUAGE_SET_INFO\nDeutsch\n1.0\nJemand\nzu viel\n#END_LANGUAGE_SET_INFO\n" + kTaskDe, 22,
                 "LANGUAGE_SET_INFO",
                 {{S::LANGUAGE_SET_INFO, 0, "Deutsch"}, {S::LANGUAGE_SET_INFO, 1, "1.0"},
                  {S::LANGUAGE_SET_INFO, 2, "Jemand"}},
                 {}},
        FileCase{"SectionMissingItsLastEntry", std::nullopt,
                 kHead + "#WARNING_MSGS\nW0\nW1\nW2\nW3\n#END_WARNING_MSGS\n" + kTaskDe, 0, "",
                 {{S::TASK_MENU_MSGS, 0, "Projekt oeffnen"},
                  {S::TASK_MENU_MSGS, 1, "Projekt speichern"},
                  {S::TASK_MENU_MSGS, 2, "Stapel oeffnen"},
                  {S::WARNING_MSGS, 0, "W0"},
                  {S::WARNING_MSGS, 1, "W1"},
                  {S::WARNING_MSGS, 2, "W2"},
                  {S::WARNING_MSGS, 3, "W3"}},
                 {}},
        FileCase{"SectionMissingTwoEntries", std::nullopt,
                 kHead + "#WARNING_MSGS\nW0\nW1\nW2\n#END_WARNING_MSGS\n" + kTaskDe, 22, "WARNING_MSGS",
                 {{S::WARNING_MSGS, 0, "W0"}, {S::WARNING_MSGS, 1, "W1"}, {S::WARNING_MSGS, 2, "W2"}},
                 {}},
        FileCase{"TooManyErrorEntries", std::nullopt, kHead + "#ERROR_MSGS\n" + Repeat("E\n", 32), 22, "ERROR_MSGS",
                 [] {
                     std::vector<Slot> v;
                     for (int i = 0; i < 31; ++i) v.push_back({S::ERROR_MSGS, i, "E"});
                     return v;
                 }(),
                 {}},
        // The end line names a section not read yet: its count fails.
        FileCase{"EndLineOfUnreadSection", std::nullopt,
                 kHead + "#TASK_MENU_MSGS\nA\nB\nC\n#END_QUERY_MSGS\n#DOCUMENT_MENU_MSGS\nD0\nD1\nD2\nD3\n", 22,
                 "QUERY_MSGS",
                 {{S::TASK_MENU_MSGS, 0, "A"}, {S::TASK_MENU_MSGS, 1, "B"}, {S::TASK_MENU_MSGS, 2, "C"}},
                 {}},
        // The end line names a complete section: it closes the task section,
        // and the task section's own end line then closes the file.
        FileCase{"EndLineOfCompleteSection", std::nullopt,
                 kHead + "#QUERY_MSGS\nQ0\nQ1\nQ2\nQ3\n#END_QUERY_MSGS\n#TASK_MENU_MSGS\nA\nB\nC\n#END_QUERY_MSGS\n"
                         "#END_TASK_MENU_MSGS\n#DOCUMENT_MENU_MSGS\nD0\nD1\nD2\nD3\n#END_DOCUMENT_MENU_MSGS\n",
                 0, "",
                 {{S::TASK_MENU_MSGS, 0, "A"},
                  {S::TASK_MENU_MSGS, 1, "B"},
                  {S::TASK_MENU_MSGS, 2, "C"},
                  {S::QUERY_MSGS, 0, "Q0"},
                  {S::QUERY_MSGS, 1, "Q1"},
                  {S::QUERY_MSGS, 2, "Q2"},
                  {S::QUERY_MSGS, 3, "Q3"}},
                 {}},
        FileCase{"UnknownSectionSkipped", std::nullopt,
                 kHead + "#SOMETHING_ELSE\nfoo\nbar\n#END_SOMETHING_ELSE\n" + kTaskDe,
                 0, "", kTaskDeSlots, {}},
        FileCase{"CommentsAndEmptyLines", std::nullopt,
                 kHead + "// file comment\n\n#LANGUAGE_SET_COMMENTS\nfirst line\n// not shown\n\n  second  line \n"
                         "#END_LANGUAGE_SET_COMMENTS\n#TASK_MENU_MSGS\n// skipped\nProjekt oeffnen\n\n"
                         "Projekt speichern\nStapel oeffnen\n#END_TASK_MENU_MSGS\n",
                 0, "", kTaskDeSlots, {"first line", "second  line"}},
        FileCase{"NoEndLines", std::nullopt, kHead + kTaskDe + "#QUERY_MSGS\nQ0\nQ1\n", 0, "",
                 {{S::TASK_MENU_MSGS, 0, "Projekt oeffnen"},
                  {S::TASK_MENU_MSGS, 1, "Projekt speichern"},
                  {S::TASK_MENU_MSGS, 2, "Stapel oeffnen"},
                  {S::QUERY_MSGS, 0, "Q0"},
                  {S::QUERY_MSGS, 1, "Q1"}},
                 {}},
        FileCase{"StrayLinesAtFileLevelIgnored", std::nullopt, kHead + kTaskDe + "stray\nmore\n", 0, "",
                 kTaskDeSlots, {}},
        FileCase{"ShortFileAfterLongOne",
                 kHead + kTaskDe + "#DOCUMENT_MENU_MSGS\nNeu\nGeschichte\nHandbuch\nFragen\n#END_DOCUMENT_MENU_MSGS\n",
                 kHead + "#TASK_MENU_MSGS\nOeffnen\nSpeichern\n#END_TASK_MENU_MSGS\n", 0, "",
                 {{S::TASK_MENU_MSGS, 0, "Oeffnen"},
                  {S::TASK_MENU_MSGS, 1, "Speichern"},
                  {S::TASK_MENU_MSGS, 2, "Stapel oeffnen"},
                  {S::DOCUMENT_MENU_MSGS, 0, "Neu"},
                  {S::DOCUMENT_MENU_MSGS, 1, "Geschichte"},
                  {S::DOCUMENT_MENU_MSGS, 2, "Handbuch"},
                  {S::DOCUMENT_MENU_MSGS, 3, "Fragen"}},
                 {}},
        // A failure of the earlier load must not name this one's section.
        FileCase{"ErrorSectionOfEarlierLoadForgotten",
                 kHead + "#LANGUAGE_SET_INFO\na\nb\nc\nd\n",
                 kHead + "#WARNING_MSGS\nW0\n#END_WARNING_MSGS\n", 22, "WARNING_MSGS",
                 {{S::LANGUAGE_SET_INFO, 0, "a"},
                  {S::LANGUAGE_SET_INFO, 1, "b"},
                  {S::LANGUAGE_SET_INFO, 2, "c"},
                  {S::WARNING_MSGS, 0, "W0"}},
                 {}},
        FileCase{"BytesKeptAsTheyAre", std::nullopt,
                 kHead + "#TASK_MENU_MSGS\n\xC4nderung\xA0\nA\x01" "B\nC\n#END_TASK_MENU_MSGS\n", 0, "",
                 {{S::TASK_MENU_MSGS, 0, "\xC4nderung\xA0"},
                  {S::TASK_MENU_MSGS, 1, "A\x01" "B"},
                  {S::TASK_MENU_MSGS, 2, "C"}},
                 {}},
        FileCase{"NothingReadAfterFileEndLine", std::nullopt,
                 kHead + "#END_PELLMOR_LANGUAGE_FILE\n" + kTaskDe, 0, "", {}, {}},
        FileCase{"ModestNestingStillReads", std::nullopt,
                 kHead + "#A\n#B\n#C\nx\n#END_C\n#END_B\n#END_A\n" + kTaskDe, 0, "", kTaskDeSlots, {}},
        FileCase{"DeeplyNestedFileIsInvalid", kPriorDe, kHead + Repeat("#X\n", 200000), 21, "X", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LanguageFile, DirectoryCannotBeOpened) {
    LangDir dir;
    TLanguageSet set;
    set.LoadFromFile(dir.path(""));
    EXPECT_EQ(set.status, 6);
}

TEST(LanguageFile, CountersCountTheStoredEntriesOfThisLoad) {
    LangDir dir;
    TLanguageSet set;
    set.LoadFromFile(dir.write("a.lng", kHead + kTaskDe + "#QUERY_MSGS\nQ0\nQ1\nQ2\nQ3\n#END_QUERY_MSGS\n"));
    set.LoadFromFile(dir.write("b.lng", kHead + kTaskDe + kTaskDe));
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(set.entryCounts[static_cast<int>(S::TASK_MENU_MSGS)], 6);
    EXPECT_EQ(set.entryCounts[static_cast<int>(S::QUERY_MSGS)], 0);
}

TEST(LanguageFile, SameFileTwiceGivesSameTexts) {
    LangDir dir;
    std::string path = dir.write("de.lng", kHead + kTaskDe + "#HINT_MSGS\n" + Repeat("Hinweis\n", 29) +
                                               "#END_HINT_MSGS\n");
    TLanguageSet set;
    set.LoadFromFile(path);
    auto once = Changed(set);
    set.LoadFromFile(path);
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(Changed(set), once);
    EXPECT_EQ(once.size(), 3u + 29u);
}

TEST(LanguageFile, OneArgumentLoadUsesTheHeldMemo) {
    LangDir dir;
    TLanguageSet set;
    MemoSink memo;
    set.comments = &memo;
    set.LoadFromFile(dir.write("c.lng", kHead + "#LANGUAGE_SET_COMMENTS\nhello\n#END_LANGUAGE_SET_COMMENTS\n"));
    EXPECT_EQ(memo.lines, std::vector<std::string>{"hello"});
    set.LoadFromFile(dir.write("d.lng", kHead + "#LANGUAGE_SET_COMMENTS\nhello\n"), nullptr);
    EXPECT_EQ(set.comments, nullptr);
}

TEST(LanguageFile, ShippedEnglishFileLoadsAndChangesNothing) {
    TLanguageSet set;
    MemoSink memo;
    set.LoadFromFile(std::string(PELLMOR_SOURCE_DIR) + "/lang/english.lng", &memo);
    EXPECT_EQ(set.status, 0);
    EXPECT_TRUE(set.errorSection.empty());
    EXPECT_FALSE(memo.lines.empty());
    // Every slot is given, so a translation made from the file reaches every text.
    for (int s = 0; s < TLanguageSet::kSectionCount; ++s)
        EXPECT_EQ(set.entryCounts[s], TLanguageSet::kSlots[s]) << s;
    // Only the two hints the built-in set breaks over lines differ: a line of
    // the file cannot hold a break, so each break stands as two blanks.
    TLanguageSet english;
    std::vector<Slot> joined;
    for (int i : {140, 141}) {
        std::string t = english.component(i);
        for (size_t at; (at = t.find("\n\n")) != std::string::npos;) t.replace(at, 2, "  ");
        for (size_t at; (at = t.find('\n')) != std::string::npos;) t.replace(at, 1, "  ");
        joined.push_back({S::COMPONENT_MSGS, i, t});
    }
    EXPECT_EQ(Changed(set), joined);
}

TEST(LanguageSetSnapshot, JobCopyIgnoresLaterLoads) {
    LangDir dir;
    std::string de = dir.write("de.lng", kHead + "#CORE_PROGRAM_MSGS\n" + Repeat("erfolg\n", 50) +
                                             "#END_CORE_PROGRAM_MSGS\n");
    std::string bad = dir.write("bad.lng", "nonsense\n");
    TLanguageSet set;
    auto snapshot = set.Snapshot();

    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread reader([&] {
        while (!stop) wrong += snapshot->core(30) != "success";
    });
    for (int i = 0; i < 50; ++i) set.LoadFromFile(i % 2 ? de : bad);
    stop = true;
    reader.join();

    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(set.core(30), "erfolg");
    EXPECT_EQ(snapshot->core(30), "success");
}
