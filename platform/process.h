// Child processes of the batch: an archiver or a user's command line. Nothing
// the program builds from names goes through a shell: a child gets an argv
// list. Only a user's own command line runs as /bin/sh -c LINE.
//
// The child reads /dev/null, its output is discarded and its error output is
// kept in a private temporary file; it inherits no other descriptor and runs
// in a process group of its own, so that a stop reaches everything it
// started. The parent waits on a helper thread, never on the caller's, and
// hears of the end through the poster it was given (an event of the GUI
// thread in the program).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct ProcessEnd {
    bool started = false;     // false: the child could not be created
    int exitStatus = -1;      // the exit code when the child exited
    int signal = 0;           // the signal that ended it, 0 when it exited
    std::string errorOutput;  // what it wrote on stderr
    // A death by a signal is a failure whatever the status reads.
    bool succeeded() const { return started && signal == 0 && exitStatus == 0; }
};

// Hands a call to the thread that should run it; a direct call runs it at once.
using Poster = std::function<void(std::function<void()>)>;

class Process {
public:
    using EndHandler = std::function<void(const ProcessEnd&)>;
    virtual ~Process() = default;
    // Runs argv[0] (a path, or a bare name looked up on PATH) with argv. The
    // error output goes to a file created exclusively in tempDirectory (TEMP
    // when empty). onEnd is posted exactly once, also when the child cannot
    // be created. False, and nothing posted, while a child still runs.
    virtual bool start(const std::vector<std::string>& argv, const std::string& tempDirectory, EndHandler onEnd) = 0;
    virtual bool running() const = 0;
    // SIGTERM to the child's group, SIGKILL 5 s later if the child is still
    // there. The end comes back as usual.
    virtual void terminate() = 0;
};

// argv of a user's command line, run as it stands.
inline std::vector<std::string> ShellCommand(const std::string& line) { return {"/bin/sh", "-c", line}; }

// The posix_spawn backend. The poster carries each end to its thread; the
// destructor terminates a child that still runs and waits for it.
std::unique_ptr<Process> MakePosixProcess(Poster poster);

// Runs one child to its end on the caller's thread (tools and tests).
ProcessEnd RunToEnd(const std::vector<std::string>& argv, const std::string& tempDirectory = "");

}  // namespace platform
