// SFV tasks of the batch: a TSfvChecker run on a thread of its own, so that
// the windows stay responsive; its progress and its end come back through
// the poster.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "batch/batch_list.h"
#include "batch/sequencer.h"
#include "batch/sfv.h"
#include "platform/process.h"

class ThreadedSfvRunner final : public SfvRunner {
public:
    // The context's status and running fields are the runner's own.
    ThreadedSfvRunner(const TConfig& config, SfvContext context, BatchList& list, platform::Poster poster);
    ~ThreadedSfvRunner() override;
    void start(bool create, const std::string& parameters, int row, EndHandler onEnd) override;
    void stop() override { running_ = 0; }

private:
    class StatusCell;
    const TConfig& config_;
    SfvContext context_;
    BatchList& list_;
    platform::Poster poster_;
    std::atomic<uint8_t> running_{0};
    std::unique_ptr<StatusCell> cell_;
    std::thread thread_;
};
