// The smallest C++ program that does what qorid's start-up does at least:
// ask uname for the machine and print it with iostream.
#include <sys/utsname.h>

#include <iostream>

int main() {
  struct utsname uts;
  if (uname(&uts) != 0) {
    return 1;
  }
  std::cout << uts.machine << std::endl;
  return 0;
}
