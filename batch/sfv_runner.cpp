#include "batch/sfv_runner.h"

#include <mutex>

// The task's status cell, written from the checker's thread and shown on
// the GUI thread.
class ThreadedSfvRunner::StatusCell final : public platform::GridCell {
public:
    StatusCell(BatchList& list, int row, platform::Poster poster) : list_(list), row_(row), poster_(std::move(poster)) {}
    void setText(const std::string& text) override {
        {
            std::lock_guard lock(m_);
            text_ = text;
        }
        BatchList* list = &list_;
        const int row = row_;
        poster_([list, row, text] { list->setStatus(row, text); });
    }
    std::string text() const override {
        std::lock_guard lock(m_);
        return text_;
    }

private:
    BatchList& list_;
    int row_;
    platform::Poster poster_;
    mutable std::mutex m_;
    std::string text_;
};

ThreadedSfvRunner::ThreadedSfvRunner(const TConfig& config, SfvContext context, BatchList& list, platform::Poster poster)
    : config_(config), context_(std::move(context)), list_(list), poster_(std::move(poster)) {}

ThreadedSfvRunner::~ThreadedSfvRunner() {
    running_ = 0;
    if (thread_.joinable()) thread_.join();
}

void ThreadedSfvRunner::start(bool create, const std::string& parameters, int row, EndHandler onEnd) {
    if (thread_.joinable()) thread_.join();
    running_ = 1;
    cell_ = std::make_unique<StatusCell>(list_, row, poster_);
    SfvContext context = context_;
    context.status = cell_.get();
    context.running = &running_;
    // The options as they stand now, with this task's batch bits.
    auto checker = std::make_shared<TSfvChecker>(config_, context);
    thread_ = std::thread([this, checker, create, parameters, onEnd = std::move(onEnd)] {
        // Nothing thrown may leave this thread: that would end the program.
        // What escapes the check is reported, and the task fails.
        bool ok = false;
        std::string output;
        try {
            ok = create ? checker->CreateSfv(parameters) : checker->VerifySfv(parameters);
            output = checker->outputText();
        } catch (...) {
            ok = false;
            output.clear();
            checker->ReportEscaped(std::current_exception());
        }
        try {
            poster_([onEnd, ok, output] { onEnd(ok, output); });
        } catch (...) {
        }
    });
}
