// The files one job reads and the files it has created. Every writer asks it
// before it creates an output, so that no job ever writes over its own
// sources or over an output it wrote earlier; and a job that fails removes
// through it only what it created itself and did not finish.
//
// Files are compared as files (device and inode, through links), not by
// name. A path that does not exist yet is compared by its canonical path
// with the outputs of the job, which may not exist yet either.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class TOutputGuard {
public:
    // A file the job reads. A path that does not name a regular file is
    // ignored (a device or a missing name holds nothing to lose).
    void AddInput(const std::string& path);
    // The input or earlier output that creating `path` would overwrite, as
    // it was recorded; empty when `path` may be created. Devices (the null
    // sink, /dev/full) never clash.
    std::string Clash(const std::string& path) const;
    // Like Clash, against the inputs only.
    std::string InputClash(const std::string& path) const;
    // After `path` was created by the job: it is the job's, and unfinished.
    void AddOutput(const std::string& path);
    // The output is whole: a later failure of the job leaves it.
    void Finish(const std::string& path);
    // Removes `path` when the job created it, it is still the file the job
    // created, and it is no input of the job; true when it was removed.
    bool Remove(const std::string& path);
    // Removes every output the job created and did not finish, in the order
    // they were created; the paths removed.
    std::vector<std::string> RemoveUnfinished();
    bool Created(const std::string& path) const;

private:
    struct Entry {
        std::string path;       // as the job named it
        std::string canonical;  // absolute, links resolved as far as they exist
        bool known = false;     // a regular file: dev and ino are set
        dev_t dev = 0;
        ino_t ino = 0;
        bool finished = false;
    };
    static Entry Identify(const std::string& path);
    static bool Same(const Entry& a, const Entry& b);
    // -1 when `path` is none of the job's outputs.
    int FindOutput(const Entry& e) const;

    std::vector<Entry> inputs_;
    std::vector<Entry> outputs_;
};

// The log lines of both cases, the same for every writer.
std::string OutputClashLine(const std::string& output, const std::string& other);
std::string IncompleteRemovedLine(const std::string& path);
