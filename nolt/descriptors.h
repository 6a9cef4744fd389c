// The process's file descriptors: which are open, keeping them from the
// programs it runs, and one descriptor owned. Nothing here is thread-safe
// with respect to descriptors opened or closed meanwhile by other threads.
#ifndef NOLT_DESCRIPTORS_H_
#define NOLT_DESCRIPTORS_H_

#include <string>
#include <vector>

namespace nolt {

// An open descriptor, or -1 for none; closed by the destructor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : mFd(fd) {}
  ~Descriptor();
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int fd() const { return mFd; }

 private:
  int mFd;
};

// The open descriptors, in ascending order: those listed in /proc/self/fd,
// or where it cannot be read, those from 0 to 1023 that are open.
std::vector<int> openDescriptors();

// Sets close-on-exec on `fd` where it is open and not set yet; a closed or
// invalid descriptor (-1) is left alone.
void keepFromExec(int fd);

// keepFromExec for every descriptor open now and not in `before` (ascending,
// as openDescriptors gives it): what was opened in between.
void keepNewFromExec(const std::vector<int>& before);

// Writes all of `text` to `fd`, again after EINTR. False, with errno set,
// when that cannot be done (EIO when a write makes no progress).
bool writeAll(int fd, const std::string& text);

}  // namespace nolt

#endif  // NOLT_DESCRIPTORS_H_
