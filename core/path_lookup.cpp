#include "core/path_lookup.h"

#include "core/helpers.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A name with more parts than this is not a real file name; the cap keeps a
// hostile sheet from making us walk for long.
constexpr size_t kMaxParts = 64;

bool IsRegular(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool IsDirectory(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = x - 'A' + 'a';
        if (y >= 'A' && y <= 'Z') y = y - 'A' + 'a';
        if (x != y) return false;
    }
    return true;
}

// The entry of dir called part, exactly or else ignoring case; wantDir
// chooses between a folder (inner parts) and a regular file (the last part).
bool FindEntry(const fs::path& dir, const std::string& part, bool wantDir, fs::path& out) {
    if (part == "..") {
        out = dir / part;
        return IsDirectory(out);
    }
    fs::path exact = dir / part;
    if (wantDir ? IsDirectory(exact) : IsRegular(exact)) {
        out = exact;
        return true;
    }
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return false;
    std::vector<std::string> matches;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::string entry = it->path().filename().string();
        if (!SameIgnoringCase(entry, part)) continue;
        if (wantDir ? IsDirectory(it->path()) : IsRegular(it->path())) matches.push_back(entry);
    }
    if (matches.empty()) return false;
    // Several spellings of one name: take the same one every time.
    out = dir / *std::min_element(matches.begin(), matches.end());
    return true;
}

std::string Join(const std::string& base, const std::string& rel) {
    if (base.empty() || base == ".") return rel;
    if (base.back() == '/') return base + rel;
    return base + "/" + rel;
}

}  // namespace

std::string ResolveNamedFile(const std::string& sheetDir, const std::string& name) {
    if (name.empty()) return {};
    std::string n = name;
    std::replace(n.begin(), n.end(), '\\', '/');

    // A drive letter means nothing here; only the folder and name after it
    // can still be found below the sheet.
    bool drive = n.size() >= 2 && n[1] == ':' &&
                 ((n[0] >= 'A' && n[0] <= 'Z') || (n[0] >= 'a' && n[0] <= 'z'));
    if (drive) n.erase(0, 2);

    std::string base = sheetDir.empty() ? std::string(1, '.') : sheetDir;
    while (base.size() > 1 && base.back() == '/') base.pop_back();

    if (!drive && !n.empty()) {
        std::string asWritten = n.front() == '/' ? n : Join(base, n);
        if (IsRegular(asWritten)) return asWritten;
    }

    std::vector<std::string> parts;
    for (size_t pos = 0; pos <= n.size();) {
        size_t next = n.find('/', pos);
        if (next == std::string::npos) next = n.size();
        std::string part = n.substr(pos, next - pos);
        if (!part.empty() && part != ".") parts.push_back(part);
        pos = next + 1;
    }
    if (parts.empty()) return {};
    if (parts.size() > kMaxParts) parts.erase(parts.begin(), parts.end() - kMaxParts);

    for (size_t first = 0; first < parts.size(); ++first) {
        fs::path cur = base;
        bool found = true;
        for (size_t i = first; i < parts.size() && found; ++i)
            found = FindEntry(cur, parts[i], i + 1 < parts.size(), cur);
        if (found) {
            std::string p = cur.string();
            if (p.rfind("./", 0) == 0 && base == ".") p.erase(0, 2);
            return p;
        }
    }
    return {};
}


std::string SiblingWithExtension(const std::string& path, const std::string& extension) {
    if (SameIgnoringCase(ExtensionOf(path), extension)) return path;
    const std::string wanted = WithoutExtension(path) + "." + extension;
    if (IsRegular(wanted)) return wanted;
    const std::string found = ResolveNamedFile(ExtractDir(path), ExtractName(wanted));
    return found.empty() ? wanted : found;
}
