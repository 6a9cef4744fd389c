// One open file descriptor, owned: closed by the destructor.
#ifndef QORID_COMMON_DESCRIPTOR_H_
#define QORID_COMMON_DESCRIPTOR_H_

namespace qorid {

// Owns `fd` (-1 or any negative value for none) and closes it once: when
// reset or destroyed. Not copyable; moving hands the descriptor over. Not
// thread-safe.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : mFd(fd) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : mFd(other.mFd) { other.mFd = -1; }
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      reset(other.mFd);
      other.mFd = -1;
    }
    return *this;
  }

  [[nodiscard]] int fd() const { return mFd; }
  [[nodiscard]] bool isOpen() const { return mFd >= 0; }
  // Closes the descriptor held, if any, and holds `fd` instead.
  void reset(int fd = -1);
  // Closes the descriptor held and says how, for a file whose writes count:
  // 0, or -1 with errno set (the descriptor is closed all the same; none
  // held is EBADF). Holds none afterwards.
  int close();

 private:
  int mFd;
};

}  // namespace qorid

#endif  // QORID_COMMON_DESCRIPTOR_H_
