// The logging library itself, linked as the tool links it.
#include "nolt/nolt.h"

#include <log4cpp/AppenderSkeleton.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/StringQueueAppender.hh>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

// An appender whose every line fails, as a layout asked for an impossible
// width fails.
class ThrowingAppender : public log4cpp::AppenderSkeleton {
 public:
  ThrowingAppender() : log4cpp::AppenderSkeleton("throwing") {}
  void close() override {}
  bool requiresLayout() const override { return false; }
  void setLayout(log4cpp::Layout* /*layout*/) override {}

 protected:
  void _append(const log4cpp::LoggingEvent& /*event*/) override {
    throw std::length_error("basic_string::_M_create");
  }
};

TEST(NoltTest, SecondInitWritesEachLineOnce) {
  cNolt::init(nullptr);
  cNolt::init(nullptr);
  ::testing::internal::CaptureStderr();
  cNolt("twice").error("line %d", 1);
  EXPECT_EQ("twice ERROR: line 1\n", ::testing::internal::GetCapturedStderr());
}

TEST(NoltTest, AnAppenderThatThrowsLosesTheLineAndNothingElse) {
  cNolt::init(nullptr);
  log4cpp::Category& category = log4cpp::Category::getInstance("throws");
  category.setAdditivity(false);
  category.addAppender(new ThrowingAppender());
  auto* queue = new log4cpp::StringQueueAppender("queue");
  category.addAppender(queue);
  cNolt logger("throws");
  for (int i = 0; i < 2; ++i) {
    logger.fatal("line %d", i);
  }
  ASSERT_EQ(2u, queue->queueSize());
  EXPECT_NE(std::string::npos, queue->popMessage().find("line 0"));
  EXPECT_NE(std::string::npos, queue->popMessage().find("line 1"));
}

TEST(NoltTest, ACategoryTooDeepForLog4cppLogsNothing) {
  cNolt::init(nullptr);
  std::string name = "deep";
  for (int i = 0; i < 60000; ++i) name += ".d";
  const std::string deepest = name.substr(0, 4 + 2 * 31);  // 32 levels
  ::testing::internal::CaptureStderr();
  cNolt(name.c_str()).error("lost");
  cNolt(deepest.c_str()).error("kept");
  EXPECT_EQ(deepest + " ERROR: kept\n", ::testing::internal::GetCapturedStderr());
}

}  // namespace
