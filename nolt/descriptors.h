// The process's file descriptors: which are open, and keeping them from the
// programs it runs (one descriptor owned, and full writes, are
// qorid::Descriptor and qorid::writeAll). Nothing here is thread-safe with
// respect to descriptors opened or closed meanwhile by other threads.
#ifndef NOLT_DESCRIPTORS_H_
#define NOLT_DESCRIPTORS_H_

#include "common/descriptor.h"
#include "common/full_io.h"

#include <vector>

namespace nolt {

using qorid::Descriptor;
using qorid::writeAll;

// The open descriptors, in ascending order: those listed in /proc/self/fd,
// or where it cannot be read, those from 0 to 1023 that are open.
std::vector<int> openDescriptors();

// Sets close-on-exec on `fd` where it is open and not set yet; a closed or
// invalid descriptor (-1) is left alone.
void keepFromExec(int fd);

// keepFromExec for every descriptor open now and not in `before` (ascending,
// as openDescriptors gives it): what was opened in between.
void keepNewFromExec(const std::vector<int>& before);

}  // namespace nolt

#endif  // NOLT_DESCRIPTORS_H_
