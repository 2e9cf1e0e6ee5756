// Creating an SFV file of a 5 GiB sparse file from the page cache, beside a
// bare loop of zlib's crc32 over 1 MiB reads and the Debian checkers run on
// the same file. Medians of three runs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/sfv.h"
#include "core/temp_file.h"

namespace {

constexpr uint64_t kFileSize = 5ull << 30;
std::string gDir, gFile;

bool makeFile() {
    gDir = CreateTempDir("sfv_bench_");
    if (gDir.empty()) return false;
    gFile = gDir + "/zeros.bin";
    const int fd = ::open(gFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(kFileSize)) == 0;
    return ::close(fd) == 0 && ok;
}

// Reads the file once so that every run reads it from the page cache.
uint32_t bareLoop() {
    std::vector<uint8_t> block(1 << 20);
    const int fd = ::open(gFile.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    uLong crc = 0;
    ssize_t got;
    while ((got = ::read(fd, block.data(), block.size())) > 0) crc = ::crc32(crc, block.data(), static_cast<uInt>(got));
    ::close(fd);
    return static_cast<uint32_t>(crc);
}

void CreateSfvOf5GiB(benchmark::State& state) {
    const std::string parameters = "\"" + gDir + "/zeros.sfv\" \"" + gFile + "\"";
    for (auto _ : state) {
        TSfvChecker checker(TConfig{}, SfvContext{});
        if (!checker.CreateSfv(parameters)) {
            state.SkipWithError("CreateSfv failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BareZlibLoop(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(bareLoop());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void Tool(benchmark::State& state, const std::string& command) {
    for (auto _ : state) {
        if (std::system((command + " '" + gFile + "' >/dev/null 2>&1").c_str()) != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void Rhash(benchmark::State& state) { Tool(state, "rhash --crc32"); }
void Cksfv(benchmark::State& state) { Tool(state, "cksfv"); }

BENCHMARK(CreateSfvOf5GiB)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BareZlibLoop)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(Rhash)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(Cksfv)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!makeFile()) {
        std::fprintf(stderr, "cannot create the 5 GiB sparse file in %s\n", TempDir().c_str());
        if (!gDir.empty()) std::system(("rm -rf '" + gDir + "'").c_str());
        return 1;
    }
    if (bareLoop() != 0x193838C3u) std::fprintf(stderr, "unexpected CRC of the sparse file\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove((gDir + "/zeros.sfv").c_str());
    std::remove(gFile.c_str());
    ::rmdir(gDir.c_str());
    return 0;
}
