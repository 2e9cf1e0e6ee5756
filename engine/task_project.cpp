#include "engine/task_project.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/file_io.h"
#include "core/result_codes.h"
#include "core/temp_file.h"
#include "engine/methods.h"

namespace {

uint32_t Get(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

void Put(std::string& out, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Append(std::string& out, uint32_t v, int bytes) {
    out.resize(out.size() + static_cast<size_t>(bytes));
    Put(out, out.size() - static_cast<size_t>(bytes), v, bytes);
}

bool SizeFits(int32_t size) { return size >= 0 && size <= kTaskProjectMaxSectorSize; }

// Reads counted strings off the part after the header, never past its end.
struct Cursor {
    const uint8_t* p;
    size_t left;

    bool Take(size_t n, const uint8_t*& at) {
        if (n > left) return false;
        at = p;
        p += n;
        left -= n;
        return true;
    }
    bool Name(int lengthBytes, std::string& out) {
        const uint8_t* at = nullptr;
        if (!Take(static_cast<size_t>(lengthBytes), at)) return false;
        const size_t n = Get(at, lengthBytes);
        if (!Take(n, at)) return false;
        if (std::memchr(at, 0, n)) return false;
        out.assign(reinterpret_cast<const char*>(at), n);
        return true;
    }
};

}  // namespace

int TaskProjectMethodCount(int pageMode) { return MethodCount(pageMode); }
int TaskProjectMaxInputs(int pageMode) { return pageMode == 0 ? 1 : pageMode == 1 ? kTaskProjectMaxFiles : -1; }

bool ParseTaskProject(const uint8_t* data, size_t size, TaskProject& out) {
    if (!data || size < kTaskProjectHeaderSize || size > kTaskProjectMaxBytes) return false;
    const uint8_t* h = data;
    if (std::memcmp(h, "KTP#", 5) != 0) return false;  // the magic and its 0 byte
    if (Get(h + 6, 2) != 2 || Get(h + 8, 2) != 1) return false;

    TaskProject p;
    p.pageMode = static_cast<int16_t>(Get(h + 14, 2));
    p.method = static_cast<int16_t>(Get(h + 16, 2));
    if (p.pageMode != 0 && p.pageMode != 1) return false;
    if (p.method < 0 || p.method >= TaskProjectMethodCount(p.pageMode)) return false;
    p.forcedReadSize = static_cast<int32_t>(Get(h + 36, 4));
    p.forcedWriteSize = static_cast<int32_t>(Get(h + 40, 4));
    if (!SizeFits(p.forcedReadSize) || !SizeFits(p.forcedWriteSize)) return false;
    if (p.pageMode == 0) {
        for (size_t i = 0; i < 8; ++i) p.options[i] = h[20 + i] != 0;
        p.selectionActive = h[48] != 0;
        if (p.selectionActive)
            for (size_t r = 0; r < kTaskProjectRows; ++r) p.selectedRows[r] = h[49 + r] != 0;
    } else {
        // "80min" and "Custom" were both written as 2.
        p.options[kOptFixErrors] = h[20] == 0 ? 0 : h[20] == 1 ? 1 : 2;
        p.options[kOptBumper] = h[21] != 0;
        p.forcedReadSize = p.forcedWriteSize = 0;
    }
    const int count = static_cast<int16_t>(Get(h + 150, 2));
    if (count < 0 || count > TaskProjectMaxInputs(p.pageMode)) return false;

    Cursor c{data + kTaskProjectHeaderSize, size - kTaskProjectHeaderSize};
    const uint8_t* clip = nullptr;
    if (!c.Name(2, p.volumeName)) return false;
    if (!c.Take(kTaskProjectClipBytes, clip)) return false;
    std::memcpy(p.sampleClip.data(), clip, kTaskProjectClipBytes);
    if (!c.Name(4, p.sampleClipName) || !c.Name(4, p.outputName)) return false;
    p.inputs.resize(static_cast<size_t>(count));
    for (std::string& name : p.inputs)
        if (!c.Name(4, name)) return false;
    if (c.left != 0) return false;
    out = std::move(p);
    return true;
}

bool EncodeTaskProject(const TaskProject& p, std::string& bytes) {
    if (p.pageMode != 0 && p.pageMode != 1) return false;
    if (p.method < 0 || p.method >= TaskProjectMethodCount(p.pageMode)) return false;
    if (!SizeFits(p.forcedReadSize) || !SizeFits(p.forcedWriteSize)) return false;
    if (p.inputs.size() > static_cast<size_t>(TaskProjectMaxInputs(p.pageMode))) return false;
    if (p.volumeName.size() > 0xFFFF) return false;
    for (const std::string* s : {&p.sampleClipName, &p.outputName})
        if (s->size() > 0xFFFFFFFFu) return false;
    for (const std::string& s : p.inputs)
        if (s.size() > 0xFFFFFFFFu) return false;

    std::string out(kTaskProjectHeaderSize, '\0');
    std::memcpy(out.data(), "KTP#", 4);
    Put(out, 6, 2, 2);
    Put(out, 8, 1, 2);
    Put(out, 10, 3, 2);
    Put(out, 12, 5, 2);
    Put(out, 14, static_cast<uint32_t>(p.pageMode), 2);
    Put(out, 16, static_cast<uint32_t>(p.method), 2);
    if (p.pageMode == 0) {
        for (size_t i = 0; i < 8; ++i) out[20 + i] = p.options[i] ? 1 : 0;
        Put(out, 36, static_cast<uint32_t>(p.forcedReadSize), 4);
        Put(out, 40, static_cast<uint32_t>(p.forcedWriteSize), 4);
        if (p.selectionActive) {
            out[48] = 1;
            for (size_t r = 0; r < kTaskProjectRows; ++r) out[49 + r] = p.selectedRows[r] ? 1 : 0;
        }
    } else {
        out[20] = static_cast<char>(p.options[kOptFixErrors] > 2 ? 2 : p.options[kOptFixErrors]);
        out[21] = p.options[kOptBumper] ? 1 : 0;
    }
    Put(out, 150, static_cast<uint32_t>(p.inputs.size()), 2);

    Append(out, static_cast<uint32_t>(p.volumeName.size()), 2);
    out += p.volumeName;
    out.append(reinterpret_cast<const char*>(p.sampleClip.data()), p.sampleClip.size());
    for (const std::string* s : {&p.sampleClipName, &p.outputName}) {
        Append(out, static_cast<uint32_t>(s->size()), 4);
        out += *s;
    }
    for (const std::string& s : p.inputs) {
        Append(out, static_cast<uint32_t>(s.size()), 4);
        out += s;
    }
    if (out.size() > kTaskProjectMaxBytes) return false;
    bytes = std::move(out);
    return true;
}

int ReadTaskProjectFile(const std::string& path, TaskProject& out) {
    uint64_t length = 0;
    const int fd = OpenRegularForRead(path, &length);
    if (fd < 0) return msg::error::kCannotOpen;
    if (length > kTaskProjectMaxBytes) {
        ::close(fd);
        return msg::error::kInvalidProject;
    }
    // One byte more than allowed shows a file that grew meanwhile.
    std::string data(static_cast<size_t>(length) + 1, '\0');
    size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return msg::error::kCannotOpen;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got > kTaskProjectMaxBytes) return msg::error::kInvalidProject;
    return ParseTaskProject(reinterpret_cast<const uint8_t*>(data.data()), got, out) ? 0 : msg::error::kInvalidProject;
}

int WriteTaskProjectFile(const std::string& path, const std::string& bytes) {
    if (path.empty()) return msg::error::kCannotCreate;
    // A link stays a link, and the file it leads to keeps its mode.
    TReplacement save(path);
    if (save.temp().empty()) return msg::error::kCannotCreate;
    bool ok = false;
    if (FILE* f = std::fopen(save.temp().c_str(), "wb")) {
        ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok = (std::fflush(f) == 0) && ok;
        ok = (::fsync(::fileno(f)) == 0) && ok;
        ok = (std::fclose(f) == 0) && ok;
    }
    return ok && save.Commit() ? 0 : msg::error::kCannotCreate;
}
