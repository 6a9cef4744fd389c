#include "fixture.h"

#include "system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testing_fs {

TempDir::TempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/qorid-test-XXXXXX";
  if (::mkdtemp(&pattern[0]) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  mPath = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(mPath, ignored);
}

void makeDirs(const std::string& path) { std::filesystem::create_directories(path); }

void writeFile(const std::string& path, const std::string& content) {
  makeDirs(std::filesystem::path(path).parent_path().string());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace testing_fs

void SystemTest::SetUp() {
  qorid::sys::setRootForTesting(mRoot.path());
  qorid::sys::setUnameForTesting("5.10.0", "armv7l");
  testing_log::clear();
}

void SystemTest::TearDown() { qorid::sys::resetForTesting(); }

void SystemTest::put(const std::string& systemPath, const std::string& content) {
  testing_fs::writeFile(mRoot.path() + systemPath, content);
}

void SystemTest::setUname(const std::string& release, const std::string& machine) {
  qorid::sys::setUnameForTesting(release, machine);
}

void SystemTest::failUname() { qorid::sys::failUnameForTesting(); }
