// A cNolt for the fuzz targets: every message is formatted, counted by level
// and thrown away.
#ifndef QORID_FUZZ_QUIET_LOGGER_H_
#define QORID_FUZZ_QUIET_LOGGER_H_

namespace fuzz_log {

// Messages of every cNolt in the process since the last reset().
struct Counts {
  unsigned debug = 0;
  unsigned info = 0;
  unsigned warn = 0;
  unsigned error = 0;
  unsigned fatal = 0;
  unsigned total() const { return debug + info + warn + error + fatal; }
};

const Counts& counts();
void reset();

}  // namespace fuzz_log

#endif  // QORID_FUZZ_QUIET_LOGGER_H_
