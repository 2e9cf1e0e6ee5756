// Peak memory of the CD-i subtitle converter against the stream's length:
// plain subtitle streams of 2 MiB to 512 MiB (the fixture's first block over
// and over), each converted to SRT in a child of its own, whose peak
// resident size is reported. The converter writes as it converts, so the
// peak stays flat while the text grows with the stream.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/temp_file.h"
#include "tools/cdi_subtitles.h"

namespace {

std::string gDir;

// The stream of so many blocks, made once.
std::string Stream(int64_t blocks) {
    const std::string path = gDir + "/s" + std::to_string(blocks) + ".stream";
    if (::access(path.c_str(), F_OK) == 0) return path;
    std::ifstream in(std::string(PELLMOR_SOURCE_DIR) + "/tests/fixtures/cdi_subtitles.stream", std::ios::binary);
    std::string block(TCdiSubtitleScanner::kBlockSize, '\0');
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    std::string chunk;
    for (int i = 0; i < 512; ++i) chunk += block;
    std::ofstream out(path, std::ios::binary);
    for (int64_t b = 0; b < blocks; b += 512) out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    return path;
}

void ConvertPlainStream(benchmark::State& state) {
    const int64_t blocks = state.range(0);
    const std::string source = Stream(blocks);
    long peakKiB = 0;
    for (auto _ : state) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            TFileIO file;
            if (file.OpenForRead(source) != 0) ::_exit(2);
            TCdiSubtitleScanner scanner(&file);
            const int64_t length = static_cast<int64_t>(file.Size());
            const CdiConvertResult r = scanner.ConvertCdiSubtitleFile(file, true, gDir, "out", 0, length, false);
            ::_exit(r.code == 0 ? 0 : 1);
        }
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("conversion failed");
            return;
        }
        peakKiB = usage.ru_maxrss;
    }
    std::ifstream srt(gDir + "/out.srt", std::ios::binary | std::ios::ate);
    state.counters["stream_MiB"] = static_cast<double>(blocks * TCdiSubtitleScanner::kBlockSize) / (1 << 20);
    state.counters["srt_MiB"] = static_cast<double>(srt.tellg()) / (1 << 20);
    state.counters["peak_rss_MiB"] = static_cast<double>(peakKiB) / 1024;
    std::remove((gDir + "/out.srt").c_str());
}

BENCHMARK(ConvertPlainStream)
    ->Arg(1 << 10)
    ->Arg(1 << 14)
    ->Arg(1 << 16)
    ->Arg(1 << 18)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    gDir = CreateTempDir("subtitle_bench_");
    if (gDir.empty()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::system(("rm -rf '" + gDir + "'").c_str());
    return 0;
}
