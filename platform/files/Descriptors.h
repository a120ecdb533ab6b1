// Whole transfers through a file descriptor. read(2) and write(2) may move
// less than asked, or be interrupted by a signal before moving anything;
// these go on until everything is moved, the file ends, or a real error.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace vokar::files {

// Writes every byte. False when the descriptor takes no more: errno says
// why (EIO when write moved nothing and named no error).
bool WriteWhole(int fd, std::string_view bytes);

// Reads until the buffer is full or the file ends: the count read, or -1 on
// an error (errno says which).
ssize_t ReadWhole(int fd, char* buffer, std::size_t size);

}  // namespace vokar::files
