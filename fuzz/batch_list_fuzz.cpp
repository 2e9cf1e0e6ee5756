// Feeds arbitrary bytes to the batch list reader. A list it accepts must
// write back and read again to the same tasks, and go into a task list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "batch/batch_list.h"
#include "batch/batch_list_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<StoredTask> tasks;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (ParseBatchList(bytes, tasks) != 0) {
        if (!tasks.empty()) std::abort();
        return 0;
    }
    std::vector<StoredTask> again;
    if (ParseBatchList(SerializeBatchList(tasks), again) != 0 || again != tasks) std::abort();
    BatchList list;
    list.AppendStored(tasks);
    for (int r = 1; r <= list.taskCount(); ++r) {
        if (list.cell(r, 0) != std::to_string(r)) std::abort();
        list.ReadTaskRow(r);
        list.WriteTaskRow(r);
    }
    return 0;
}
