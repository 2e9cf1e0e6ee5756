// Small shared helpers: the source-kind extensions, path and text splitting,
// counted strings, time stamps, fixed-width numbers, byte-order stores, an
// MSB-first bit reader and writer, MPEG stream probes and sector-size
// detection. None keeps state of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"

class TFileIO;

// Source and output kind k (1..9) is entry k - 1.
inline constexpr std::array<std::string_view, 9> ImageExtensions{"raw", "dat", "mpg", "nrg", "cif",
                                                                 "cue", "bin", "sfd", "toc"};

// Paths: "/" and "\" both separate folders (stored files may carry "\").
// The extension helpers look only at the last path component, and a "." that
// begins the name (".bin") starts no extension.
std::string WithoutExtension(const std::string& path);  // whole path when the name has no "."
std::string ExtensionOf(const std::string& path);       // without the dot; empty when none
std::string ExtractDir(const std::string& path);        // with its last separator; "./" for a bare name
// ExtractDir without its last separator, as dialogs and settings hold a folder
// ("/" stays, "." for a bare name).
std::string ExtractFolder(const std::string& path);
std::string ExtractName(const std::string& path);       // after the last separator
void StripExtension(std::string& path);  // in place: WithoutExtension

std::string LeftStr(const std::string& text, int n);   // first n characters (all when n exceeds)
std::string RightStr(const std::string& text, int n);  // last n characters (all when n exceeds)
// Drops a leading double quote, and the last character when it is one too.
std::string StripQuotes(const std::string& text);

// Writes the length as a little-endian integer of prefixWidth (2 or 4) bytes,
// then the characters. False, and nothing written, for another width or a
// text longer than the prefix can count; false when the write fails.
bool WriteCountedString(const std::string& text, int prefixWidth, TFileIO& file);

// Year, month, day, hour, minute, second, millisecond, unpadded, run together.
// Not unique: use CreateTempFile (core/temp_file.h) for temporary names.
std::string NowStamp(const platform::Clock& clock = platform::defaultClock());
// 1..12 for a text beginning "Jan".."Dec" (case-sensitive), else -1.
int MonthIndex(const std::string& text);
// Exactly width (1..10) decimal digits, padded with "0", higher digits
// dropped; a negative value counts as 0.
std::string IntToZeroPadded(int64_t value, int width);

uint32_t BigEndianToInt(const uint8_t* bytes, int count);  // count 1..4; 0 otherwise
// Stores the low 16 (count 2) or all 32 bits (count 4), most significant
// byte first unless littleEndian; other counts store nothing.
void PutEndianInt(uint8_t* buffer, uint32_t value, int count, bool littleEndian);
// Bit 0 is mask 0x80 of byte 0. count 1..32; other counts read 0 / write nothing.
uint32_t ReadBits(const uint8_t* bytes, size_t bitPosition, int count);
size_t WriteBits(uint8_t* bytes, size_t bitPosition, uint32_t value, int count);  // next bit position

// MPEG probes over 2 MiB from where they start (a whole 5120-byte chunk is
// needed and a match at least 2352 bytes before the end of that range); they
// stop early when the file's search context asks to.
bool IsMpeg2FromHere(TFileIO& file);      // extension start code in the 2 MiB from here; position kept
bool IsMpeg2Stream(TFileIO& file);        // extension start code from 0; left at 0
bool IsMpegProgramStream(TFileIO& file);  // pack start code from 0; left at 0

// Raw sector size (2352, 2368 or 2448) when the CD syncs from byte 0 on
// follow each other at that distance (as measured by SyncDistanceAt) and
// the first of them lies on that grid; 0 otherwise. Left at offset 0.
int DetectSectorSize(TFileIO& file);
// The distance between CD syncs from the first sync in the 5120 bytes from
// `offset` on: of the distances from each sync to the next within 5120
// bytes after it (up to eight), the one most of them share, so one damaged
// sync does not change it; 0 when there are not two syncs. With `atOffset`
// the first sync must stand at `offset` itself. Position kept; `firstSync`
// (when given) gets the first sync's offset.
int SyncDistanceAt(TFileIO& file, uint64_t offset, bool atOffset = false, uint64_t* firstSync = nullptr);
// Whether a CD sync stands at `offset`. Position kept.
bool SyncAt(TFileIO& file, uint64_t offset);
// Distance between the first two MPEG pack starts from the current position,
// or 0 when it cannot be told (0 is no sector size, so callers can refuse it).
// Left at offset 0 on success.
int ProbeSectorSize(TFileIO& file);
