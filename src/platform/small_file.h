// Setup and salvo files: small regular files, read whole. Beside platform.h
// (and defined in platform.cpp) so that the many files including that header
// do not depend on it.
#pragma once

#include <cstddef>
#include <string>

namespace zv {

// The largest setup or salvo file the program reads: a hand-written one is a
// few kilobytes.
inline constexpr size_t kSmallFileMaxBytes = 1024 * 1024;
// Reads the whole of a regular file of at most `max_bytes` into *text. A
// device (/dev/zero), a pipe, a folder or a larger file is refused before a
// byte is read, and so is a file that grows past the limit while it is read;
// *error then says why in a few words ("is not a regular file"). Never
// blocks on a pipe. Returns 1 on success, 0 on failure.
int ReadSmallFile(const std::string& path, std::string* text, std::string* error,
                  size_t max_bytes = kSmallFileMaxBytes);

}  // namespace zv
