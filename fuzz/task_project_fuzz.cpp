// Feeds arbitrary bytes to the task project parser: nothing it accepts may
// change when written and parsed again, and what it refuses leaves the
// record alone.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/task_project.h"

namespace {
void Check(bool ok) {
    if (!ok) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TaskProject p;
    p.outputName = "untouched";
    if (!ParseTaskProject(data, size, p)) {
        Check(p.outputName == "untouched" && p.inputs.empty());
        return 0;
    }
    // What was read came from the input: names cannot outgrow it.
    size_t names = p.volumeName.size() + p.sampleClipName.size() + p.outputName.size();
    for (const std::string& s : p.inputs) names += s.size();
    Check(names + kTaskProjectHeaderSize + kTaskProjectClipBytes <= size);

    std::string bytes;
    Check(EncodeTaskProject(p, bytes));
    Check(bytes.size() <= size);
    TaskProject again;
    Check(ParseTaskProject(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), again));
    Check(again == p);
    std::string twice;
    Check(EncodeTaskProject(again, twice) && twice == bytes);
    return 0;
}
