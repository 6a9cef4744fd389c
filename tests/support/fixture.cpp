#include "tests/support/fixture.h"

#include "lib/system.h"

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

std::vector<std::string> paramLines(const QorIdentifier& id) {
  std::vector<std::string> lines;
  for (const qor_param& p : id.getParams()) lines.push_back(p.name + "=" + p.value);
  return lines;
}
