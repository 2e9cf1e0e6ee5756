#include "batch/batch_list_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "batch/batch_list.h"
#include "core/file_io.h"
#include "core/helpers.h"
#include "core/result_codes.h"
#include "core/temp_file.h"

namespace {

constexpr size_t kHeaderSize = 12;

uint32_t LittleEndian(std::string_view bytes, size_t at, int count) {
    uint32_t v = 0;
    for (int i = count - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return v;
}

}  // namespace

int ParseBatchList(std::string_view bytes, std::vector<StoredTask>& tasks) {
    tasks.clear();
    if (bytes.size() < kHeaderSize) return msg::error::kInvalidBatchList;
    if (bytes.substr(0, 5) != std::string_view("KTQ#\0", 5)) return msg::error::kInvalidBatchList;
    if (LittleEndian(bytes, 6, 2) != 1 || LittleEndian(bytes, 8, 2) != 0) return msg::error::kInvalidBatchList;
    const uint32_t count = LittleEndian(bytes, 10, 2);
    if (count > static_cast<uint32_t>(kMaxStoredTasks)) return msg::error::kInvalidBatchList;
    std::vector<StoredTask> read;
    size_t at = kHeaderSize;
    for (uint32_t t = 0; t < count; ++t) {
        StoredTask task;
        for (std::string& column : task) {
            if (bytes.size() - at < 4) return msg::error::kInvalidBatchList;
            const uint32_t length = LittleEndian(bytes, at, 4);
            at += 4;
            if (length > bytes.size() - at) return msg::error::kInvalidBatchList;
            column.assign(bytes.substr(at, length));
            at += length;
        }
        // The texts of a task are the sequencer's to judge: a row it cannot
        // run fails when it runs, the list opens.
        read.push_back(std::move(task));
    }
    tasks = std::move(read);
    return 0;
}

int ReadBatchListFile(const std::string& path, std::vector<StoredTask>& tasks) {
    tasks.clear();
    const int fd = OpenRegularForRead(path);
    if (fd < 0) return msg::error::kCannotOpen;
    std::string bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    if (n < 0) return msg::error::kCannotOpen;
    return ParseBatchList(bytes, tasks);
}

std::string SerializeBatchList(const std::vector<StoredTask>& tasks) {
    std::string out("KTQ#\0\0", 6);
    auto put = [&out](uint32_t v, int count) {
        for (int i = 0; i < count; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(1, 2);
    put(0, 2);
    put(static_cast<uint32_t>(tasks.size()), 2);
    for (const StoredTask& task : tasks)
        for (const std::string& column : task) {
            put(static_cast<uint32_t>(column.size()), 4);
            out += column;
        }
    return out;
}

int WriteBatchListFile(const std::string& path, const std::vector<StoredTask>& tasks) {
    if (tasks.size() > static_cast<size_t>(kMaxStoredTasks)) return msg::error::kCannotCreate;
    for (const StoredTask& task : tasks)
        for (const std::string& column : task)
            if (column.size() > 0xFFFFFFFFu) return msg::error::kCannotCreate;
    // A link stays a link, and the file it leads to keeps its mode.
    TReplacement save(path);
    if (save.temp().empty()) return msg::error::kCannotCreate;
    const std::string bytes = SerializeBatchList(tasks);
    TFileIO file;
    bool ok = file.OpenForWrite(save.temp()) == 0;
    ok = ok && file.Write(bytes.data(), bytes.size()) == bytes.size();
    ok = file.Close() == 0 && ok;
    return ok && save.Commit() ? 0 : msg::error::kCannotCreate;
}
