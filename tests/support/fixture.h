// Test fixtures: a temporary system root for the library's fixed paths and
// a chosen uname (the file helpers themselves are in files.h).
#ifndef QORID_TESTS_SUPPORT_FIXTURE_H_
#define QORID_TESTS_SUPPORT_FIXTURE_H_

#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "tests/support/files.h"
#include "tests/support/recording_logger.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// "NAME=value" for every parameter of `id`, in order.
std::vector<std::string> paramLines(const QorIdentifier& id);

// Points the library's fixed paths at an empty temporary root and gives it
// a uname of "5.10.0" on "armv7l" (no alias, not a PC). Clears the log.
class SystemTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a file at a system path such as "/proc/cpuinfo" under the root.
  void put(const std::string& systemPath, const std::string& content);
  void putKnownIds(const std::string& content) { put("/etc/known_qor_ids", content); }
  void putCpuinfo(const std::string& content) { put("/proc/cpuinfo", content); }
  void putNode(const std::string& property, const std::string& content) {
    put("/proc/device-tree/morvane/" + property, content);
  }
  void setUname(const std::string& release, const std::string& machine);
  void failUname();
  std::string root() const { return mRoot.path(); }

  testing_fs::TempDir mRoot;
  cNolt* logger() { return &mLogger; }

 private:
  cNolt mLogger{"qorid"};
};

#endif  // QORID_TESTS_SUPPORT_FIXTURE_H_
