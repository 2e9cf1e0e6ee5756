#include "engine/methods.h"

const TMethodInfo* MethodByCode(int32_t code) {
    if (code == kNoMethodCode || code == 0) return nullptr;
    for (const TMethodInfo& m : method_table::kExtraction)
        if (m.code == code) return &m;
    for (const TMethodInfo& m : method_table::kVideoCd)
        if (m.code == code || m.spanningCode == code || m.multiImageCode == code) return &m;
    return nullptr;
}
