// The batch list file (".ktq"), little-endian: "KTQ#" and a 0, one byte not
// read back, version 1.0 as two 16-bit words, the 16-bit task count, then per
// task columns 1, 3, 4 and 5, each as a 32-bit length and its bytes.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

using StoredTask = std::array<std::string, 4>;  // columns 1, 3, 4, 5

inline constexpr int kMaxStoredTasks = 32767;  // the count field is signed

// The tasks of a list file's bytes, the whole layout checked before any is
// given back (the columns' texts are taken as they stand): 0, or
// msg::error::kInvalidBatchList with tasks left empty.
int ParseBatchList(std::string_view bytes, std::vector<StoredTask>& tasks);
// 0, msg::error::kCannotOpen when the file cannot be read, or
// kInvalidBatchList.
int ReadBatchListFile(const std::string& path, std::vector<StoredTask>& tasks);

std::string SerializeBatchList(const std::vector<StoredTask>& tasks);
// Written to a new file beside path and renamed over it only when complete:
// 0, or msg::error::kCannotCreate (nothing replaced) when it cannot be written or holds more tasks
// than the count field can.
int WriteBatchListFile(const std::string& path, const std::vector<StoredTask>& tasks);
