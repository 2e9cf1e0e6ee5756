// Media too big to commit, made by a script of scripts/ once per build tree
// and shared by the tests that read them.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace media {

// The folder the script (a name under scripts/) filled, made on first use.
// A changed script, or a changed helper it names in `uses`, gets a folder of
// its own. Test processes that start together wait for the one that makes
// it (a lock beside it), so the script runs once; a folder left half made
// by a killed run goes. An empty folder name's files are missing when the
// script failed, and the tests that read them fail.
inline std::string ScriptFolder(const std::string& script, const std::string& prefix,
                                const std::vector<std::string>& uses = {}) {
    auto text = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string scripts = std::string(PELLMOR_SOURCE_DIR) + "/scripts/";
    std::string key = text(scripts + script);
    for (const std::string& u : uses) key += text(scripts + u);
    const std::string final =
        std::string(PELLMOR_BUILD_DIR) + "/" + prefix + "-" + std::to_string(std::hash<std::string>{}(key));
    const int lock = ::open((final + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    std::error_code ec;
    if (!std::filesystem::exists(final + "/done", ec)) {
        const std::string work = final + ".tmp" + (lock >= 0 ? std::string() : std::to_string(::getpid()));
        std::filesystem::remove_all(work, ec);
        if (std::system(("'" + scripts + script + "' '" + work + "' >/dev/null 2>&1").c_str()) == 0) {
            std::ofstream(work + "/done").close();
            std::filesystem::rename(work, final, ec);
        }
        std::filesystem::remove_all(work, ec);
    }
    if (lock >= 0) ::close(lock);
    return final;
}

}  // namespace media
