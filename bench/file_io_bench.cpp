// Reading an image sector by sector through TFileIO against plain 1 MiB
// read() calls of the same file, both from the page cache.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/temp_file.h"

namespace {

constexpr size_t kFileSize = 256u << 20;
std::string gPath;

bool makeFile() {
    gPath = CreateTempFile("file_io_bench_", ".bin");
    if (gPath.empty()) return false;
    int fd = ::open(gPath.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0) return false;
    std::vector<uint8_t> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 31 + 7);
    bool ok = true;
    for (size_t done = 0; ok && done < kFileSize; done += block.size())
        ok = ::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size());
    return ::close(fd) == 0 && ok;
}

void SectorsThroughFileIO(benchmark::State& state) {
    std::vector<uint8_t> sector(2352);
    for (auto _ : state) {
        TFileIO f;
        if (f.OpenForRead(gPath) != 0) {
            state.SkipWithError("open failed");
            return;
        }
        uint64_t sum = 0;
        size_t got;
        while ((got = f.Read(sector.data(), sector.size())) != 0) sum += sector[got - 1];
        benchmark::DoNotOptimize(sum);
        f.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileSize));
}

void PlainReads1MiB(benchmark::State& state) {
    std::vector<uint8_t> block(1 << 20);
    for (auto _ : state) {
        int fd = ::open(gPath.c_str(), O_RDONLY);
        if (fd < 0) {
            state.SkipWithError("open failed");
            return;
        }
        uint64_t sum = 0;
        ssize_t got;
        while ((got = ::read(fd, block.data(), block.size())) > 0) sum += block[static_cast<size_t>(got) - 1];
        benchmark::DoNotOptimize(sum);
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileSize));
}

BENCHMARK(PlainReads1MiB)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5);
BENCHMARK(SectorsThroughFileIO)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!makeFile()) {
        std::fprintf(stderr, "cannot create the 256 MiB test file in %s\n", TempDir().c_str());
        if (!gPath.empty()) std::remove(gPath.c_str());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(gPath.c_str());
    return 0;
}
