// Creating an SFV file of a 5 GiB sparse file from the page cache, beside a
// bare loop of zlib's crc32 over 1 MiB reads and the Debian checkers run on
// the same file. Medians of three runs.
//
// Then the peak memory of verifying against SFV lists of 2 GiB, each verify
// in a child of its own whose peak resident size is reported: a list of
// entries whose one named file is listed last, and a list that is one line
// (the sparse file chosen as the SFV file). The list is read a line at a
// time, so the peak stays far below 64 MiB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
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

constexpr uint64_t kListSize = 2ull << 30;

// 2 GiB of entry lines for files that are not there, then the line of the
// one file that is.
bool makeList() {
    const std::string list = gDir + "/list.sfv";
    if (::access(list.c_str(), F_OK) == 0) return true;
    std::FILE* f = std::fopen(list.c_str(), "wb");
    if (!f) return false;
    std::string chunk;
    char line[64];
    for (int i = 0; chunk.size() < (1u << 20); ++i) {
        std::snprintf(line, sizeof line, "absent_%08d.bin %08X\r\n", i, static_cast<unsigned>(i * 2654435761u));
        chunk += line;
    }
    bool ok = true;
    for (uint64_t written = 0; ok && written < kListSize; written += chunk.size())
        ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
    ok = ok && std::fputs("abc.bin 352441C2\r\n", f) >= 0;
    ok = std::fclose(f) == 0 && ok;
    std::FILE* abc = std::fopen((gDir + "/abc.bin").c_str(), "wb");
    ok = ok && abc && std::fputs("abc", abc) >= 0;
    if (abc) ok = std::fclose(abc) == 0 && ok;
    return ok;
}

// The verify in a child: its answer and its peak resident size.
void VerifyInChild(benchmark::State& state, const std::string& parameters, bool expected) {
    long peakKiB = 0;
    for (auto _ : state) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            TSfvChecker checker(TConfig{}, SfvContext{});
            ::_exit(checker.VerifySfv(parameters) ? 0 : 1);
        }
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || (WEXITSTATUS(status) == 0) != expected) {
            state.SkipWithError("unexpected verify result");
            return;
        }
        peakKiB = usage.ru_maxrss;
    }
    state.counters["peak_rss_MiB"] = static_cast<double>(peakKiB) / 1024;
}

void VerifyNamedFileInA2GiBList(benchmark::State& state) {
    if (!makeList()) {
        state.SkipWithError("cannot write the 2 GiB list");
        return;
    }
    VerifyInChild(state, "\"" + gDir + "/list.sfv\" \"" + gDir + "/abc.bin\"", true);
}

void VerifyA2GiBListOfOneLine(benchmark::State& state) {
    const std::string path = gDir + "/one_line.sfv";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const bool made = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(kListSize)) == 0;
    if (fd >= 0) ::close(fd);
    if (!made) {
        state.SkipWithError("cannot make the sparse list");
        return;
    }
    // Nothing listed: the verify fails, having read the whole line.
    VerifyInChild(state, "\"" + path + "\"", false);
}

BENCHMARK(CreateSfvOf5GiB)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BareZlibLoop)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(Rhash)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(Cksfv)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(VerifyNamedFileInA2GiBList)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(VerifyA2GiBListOfOneLine)->Unit(benchmark::kMillisecond)->Iterations(1);

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
    for (const char* name : {"/zeros.sfv", "/list.sfv", "/abc.bin", "/one_line.sfv"}) std::remove((gDir + name).c_str());
    std::remove(gFile.c_str());
    ::rmdir(gDir.c_str());
    return 0;
}
