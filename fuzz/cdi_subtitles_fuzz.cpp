// Feeds arbitrary bytes to the CD-i subtitle scanner twice: as an image
// whose path table and directory it searches (raw layout), and as a plain
// subtitle stream it converts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/file_io.h"
#include "core/temp_file.h"
#include "tools/cdi_subtitles.h"

namespace {

const std::string& Folder() {
    static const std::string dir = CreateTempDir("pellmor-cdi-fuzz-");
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Folder() + "/input";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                   static_cast<std::streamsize>(size));
    TFileIO file;
    if (file.OpenForRead(path) != 0) return 0;
    {
        // The directory reader, on the input as a tiny raw image: the path
        // table search starts at sector 16, so read the directory directly.
        TCdiSubtitleScanner scanner(&file);
        scanner.FindCdiDirectory(file, kCdiRawGeometry);
        scanner.sectorSize = 2352;
        scanner.geometry = kCdiRawGeometry;
        scanner.ReadCdiDirectory(file, 0);
        for (const std::string& name : scanner.names) (void)TCdiSubtitleScanner::SafeOutputName(name);
    }
    TCdiSubtitleScanner scanner(&file);
    const CdiConvertResult r =
        scanner.ConvertCdiSubtitleFile(file, true, Folder(), "fuzz.en", 0, static_cast<int64_t>(size), size % 2 == 1);
    if (r.code == 0) std::remove(r.name.c_str());
    return 0;
}
