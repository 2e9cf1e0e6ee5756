// ffmpeg clips made while the tests run, once per process, in a private
// folder removed at exit; and ffprobe's view of them.
#pragma once

#include <string>

namespace clips {

bool HaveFfmpeg();

// A clip of the given ffmpeg target ("pal-vcd", "ntsc-svcd", ...) from lavfi
// test sources, bit-exact; extra goes before the output name. The path, or
// empty when ffmpeg failed. The same arguments give the same file.
std::string Target(const std::string& target, double seconds, const std::string& extra = "");
// Any clip: args are ffmpeg's arguments without the output name.
std::string Make(const std::string& name, const std::string& args);
// A new scratch path in the clip folder.
std::string Scratch(const std::string& name);

// One value of ffprobe -show_entries for the first stream of a kind ("v" or
// "a"), e.g. Probe(path, "v", "stream=width"); empty when absent or N/A.
std::string Probe(const std::string& path, const std::string& stream, const std::string& entry);
// The video stream's maximum bit rate from its CPB side data (MPEG-2).
std::string ProbeMaxBitrate(const std::string& path);

}  // namespace clips
