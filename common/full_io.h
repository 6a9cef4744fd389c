// Reading and writing a descriptor without losing a call to a signal: every
// read and write that EINTR interrupts is made again.
#ifndef QORID_COMMON_FULL_IO_H_
#define QORID_COMMON_FULL_IO_H_

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace qorid {

// One read(2) of at most `size` bytes into `data`, again after EINTR: what
// read returns otherwise (the count, 0 at the end, -1 with errno set).
ssize_t readSome(int fd, void* data, size_t size);

// Reads into `data` until `size` bytes are there or the end is reached.
// Returns the count read, or -1 with errno set when a read fails (what was
// read before it is then in `data`, but not counted).
ssize_t readFull(int fd, char* data, size_t size);

// Writes all `size` bytes of `data` to `fd`. False, with errno set, when
// that cannot be done (EIO when a write makes no progress and gives no
// reason: it would be tried for ever).
bool writeAll(int fd, const char* data, size_t size);
inline bool writeAll(int fd, const std::string& text) {
  return writeAll(fd, text.data(), text.size());
}

}  // namespace qorid

#endif  // QORID_COMMON_FULL_IO_H_
