// Runs one SFV task headless, as the batch runs it, and prints every log
// line and every text written to the task's status cell.
//
//   run_sfv --create 'PARAMETERS'   the SFV file, then masks
//   run_sfv --verify 'PARAMETERS'   the SFV file, then files (none: all)
//
// PARAMETERS is quoted as in a task row ("a b.sfv" *.mpg). The exit status
// is 0 when the checker answers true, 1 when it answers false, 2 for a bad
// command line.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "batch/sfv.h"
#include "core/records.h"

namespace {

std::mutex outMutex;

void PrintLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(outMutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class PrintingListBox : public platform::ListBox {
public:
    void add(const std::string& line) override {
        PrintLine(line);
        std::lock_guard<std::mutex> lock(m_);
        lines_.push_back(line);
    }
    void clear() override {}
    int count() const override {
        std::lock_guard<std::mutex> lock(m_);
        return static_cast<int>(lines_.size());
    }
    std::string item(int index) const override {
        std::lock_guard<std::mutex> lock(m_);
        return index >= 0 && index < static_cast<int>(lines_.size()) ? lines_[static_cast<size_t>(index)] : "";
    }
    bool selected(int) const override { return false; }
    void setSelected(int, bool) override {}

private:
    mutable std::mutex m_;
    std::vector<std::string> lines_;
};

class PrintingCell : public platform::GridCell {
public:
    void setText(const std::string& text) override {
        PrintLine("[status] " + text);
        std::lock_guard<std::mutex> lock(m_);
        text_ = text;
    }
    std::string text() const override {
        std::lock_guard<std::mutex> lock(m_);
        return text_;
    }

private:
    mutable std::mutex m_;
    std::string text_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "--create") != 0 && std::strcmp(argv[1], "--verify") != 0)) {
        std::fprintf(stderr, "usage: run_sfv --create 'SFV MASK...' | --verify 'SFV [FILE...]'\n");
        return 2;
    }
    PrintingListBox log;
    PrintingCell status;
    TConfig config;
    // Unattended, as in a batch run: errors go to the log, no box opens.
    config.DisableErrorPrompts = static_cast<int16_t>(0x8000);
    SfvContext context;
    context.log = &log;
    context.status = &status;
    TSfvChecker checker(config, context);
    const bool ok = std::strcmp(argv[1], "--create") == 0 ? checker.CreateSfv(argv[2]) : checker.VerifySfv(argv[2]);
    return ok ? 0 : 1;
}
