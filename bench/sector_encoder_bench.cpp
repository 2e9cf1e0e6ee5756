// Throughput of BuildSector in raw sector bytes per second, over a ring of
// sectors larger than the first-level cache, as an image build sees them.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "disc/sector_encoder.h"

namespace {

std::vector<uint8_t> Sectors(size_t count) {
    std::vector<uint8_t> buf(count * kRawSectorSize);
    std::mt19937 rng(7);
    for (auto& b : buf) b = uint8_t(rng());
    return buf;
}

void Build(benchmark::State& state, int type) {
    constexpr size_t kCount = 64;
    std::vector<uint8_t> buf = Sectors(kCount);
    uint32_t address = 150;
    size_t i = 0;
    for (auto _ : state) {
        uint8_t* s = buf.data() + i * kRawSectorSize;
        benchmark::DoNotOptimize(BuildSector(s, type, address++));
        benchmark::ClobberMemory();
        i = (i + 1) % kCount;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kRawSectorSize));
}

void BM_BuildSectorForm2(benchmark::State& state) { Build(state, kSectorMode2Form2); }
void BM_BuildSectorForm1(benchmark::State& state) { Build(state, kSectorMode2Form1); }
void BM_BuildSectorMode1(benchmark::State& state) { Build(state, kSectorMode1); }

void BM_ComputeEdc(benchmark::State& state) {
    std::vector<uint8_t> buf = Sectors(1);
    for (auto _ : state) benchmark::DoNotOptimize(ComputeEdc(buf.data(), 16, 2347));
    state.SetBytesProcessed(int64_t(state.iterations()) * 2332);
}

}  // namespace

BENCHMARK(BM_BuildSectorForm2);
BENCHMARK(BM_BuildSectorForm1);
BENCHMARK(BM_BuildSectorMode1);
BENCHMARK(BM_ComputeEdc);

BENCHMARK_MAIN();
