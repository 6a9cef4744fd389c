// The text of a logging configuration judged on its own, as log4cpp will
// read it (config_check.h): each rule, the text in and the reason out.
#include "nolt/config_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// The only variable of the environment the checker is shown.
const char* fakeEnvironment(const char* name) {
  return std::strcmp(name, "LOGSIZE") == 0 ? "4095" : nullptr;
}

const std::string kRolling = "appender.r=RollingFileAppender\n";  // line 1
const std::string kSyslog = "appender.s=SyslogAppender\n";
const std::string kNotKnown =
    "\" is not one known never to wait (ConsoleAppender, FileAppender, RollingFileAppender, "
    "DailyRollingFileAppender, SyslogAppender)";
const std::string kLooksUp = "\" is not an IPv4 address in dotted decimal: looking a name up could wait";

std::string levels(int count) {
  std::string name = "a";
  for (int i = 1; i < count; ++i) name += ".a";
  return name;
}

std::string repeated(const std::string& text, int count) {
  std::string all;
  for (int i = 0; i < count; ++i) all += text;
  return all;
}

// `count` appenders a0, a1, ...
std::string appenders(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "appender.a" + std::to_string(i) + "=FileAppender\n";
  return text;
}

std::string pattern(const std::string& conversion) {
  return "log4cpp.appender.a.layout.ConversionPattern=" + conversion + "\n";
}

TEST(NoltConfigTest, EachRuleGivesItsReason) {
  const struct {
    std::string text;
    std::string reason;  // empty: accepted
  } rows[] = {
      {"log4cpp.rootCategory=ERROR, console\nlog4cpp.appender.console=ConsoleAppender\n"
       "log4cpp.appender.console.layout=PatternLayout\n" + pattern("%c %p: %m%n") +
           "log4cpp.category.qorid=DEBUG, file\nlog4cpp.additivity.qorid=false\n"
           "log4cpp.appender.file=FileAppender\nlog4cpp.appender.file.fileName=/var/log/q.log\n"
           "log4cpp.appender.file.layout=PatternLayout\n" +
           pattern("%d{%Y-%m-%d %H:%M:%S} %p %c: %m%n"),
       ""},
      {"a=b\n" + std::string(4096, '#'), ""},
      {"a=b\n" + std::string(4097, '#'), "line 2 is longer than 4096 bytes"},
      {"x=" + std::string(3000, 'x') + "\ny=${x}${x}\n",
       "line 2: the value is longer than 4096 bytes with its variables substituted"},
      {"x=" + std::string(4000, 'x') + "\ny=${x}" + std::string(96, 'y'), ""},
      {"x=" + std::string(4000, 'x') + "\ny=${x}" + std::string(97, 'y'),
       "line 2: the value is longer than 4096 bytes with its variables substituted"},
      {"x=" + std::string(3000, 'x') + "\ny=a#${x}${x}\n", ""},
      {"category." + levels(32) + "=DEBUG\n", ""},
      {"category." + levels(33) + "=DEBUG\n", "line 1: a category name of more than 32 levels"},
      {"log4j.additivity." + levels(33) + "=false\n",
       "line 1: a category name of more than 32 levels"},
      {"category."s + levels(33) + "\0=DEBUG\n", ""},
      {"   \0"s + std::string(251, 'z') + "category." + levels(33) + "=DEBUG\n",
       "line 1: a category name of more than 32 levels"},
      {pattern("%-2147483648m%n"), "line 1: a width over 1024 in the pattern"},
      {pattern("%-1024m%.30m%%2000m%n"), ""},
      {pattern("%-20.1025m"), "line 1: a width over 1024 in the pattern"},
      {pattern(repeated("%-9.9p", 31) + "%n"), ""},
      {pattern(repeated("%p", 32) + "%n"), "line 1: more than 32 conversions in the pattern"},
      {pattern(repeated("%%", 40) + "%d{%H:%M:%S:%m:%m:%m:%m:%m}" + repeated("%m", 4)), ""},
      {pattern(repeated("%m", 5)), "line 1: more than 4 %m in the pattern"},
      {pattern("%m%-3m%.2m%10.5m%n%m"), "line 1: more than 4 %m in the pattern"},
      {appenders(8), ""},
      {appenders(9), "more than 8 appenders"},
      {appenders(9) + std::string(4097, '#'), "line 10 is longer than 4096 bytes"},
      {appenders(8) + "appender.a7.x=1\nappender.b.layout=PatternLayout\n", ""},
      {kRolling + "appender.r.maxBackupIndex=-1\nappender.r.maxFileSize=0\n",
       "appender r: maxBackupIndex -1 is not from 0 to 100"},
      {kRolling + "appender.r.maxBackupIndex=101\n",
       "appender r: maxBackupIndex 101 is not from 0 to 100"},
      {kRolling + "appender.r.maxBackupIndex=2147483647\n",
       "appender r: maxBackupIndex 2147483647 is not from 0 to 100"},
      {kRolling + "appender.r.maxBackupIndex= -0012x\n",
       "appender r: maxBackupIndex -12 is not from 0 to 100"},
      {kRolling + "appender.r.maxBackupIndex=100\n", ""},
      {kRolling + "appender.r.maxFileSize=0\n", "appender r: maxFileSize 0 is below 4096 bytes"},
      {kRolling + "appender.r.maxFileSize=4095\n",
       "appender r: maxFileSize 4095 is below 4096 bytes"},
      {kRolling + "appender.r.maxFileSize=4096\n", ""},
      {kRolling + "appender.r.maxFileSize=4294967396\n",
       "appender r: maxFileSize 4294967396 is above 2147483647 bytes"},
      {kRolling + "appender.r.maxFileSize=2147483648\n",
       "appender r: maxFileSize 2147483648 is above 2147483647 bytes"},
      {kRolling + "appender.r.maxFileSize=+2147483647x\nappender.r.maxBackupIndex=0\n", ""},
      {kRolling + "log4cpp.size=100\nlog4j.appender.r.maxFileSize=${size}\n",
       "appender r: maxFileSize 100 is below 4096 bytes"},
      {kRolling + "LOGSIZE=5000\nappender.r.maxFileSize=${LOGSIZE}\n",
       "appender r: maxFileSize 4095 is below 4096 bytes"},
      {kRolling + "appender.r.maxFileSize=${${}5000\n",
       "appender r: maxFileSize 0 is below 4096 bytes"},
      {kRolling + "appender.r.maxFileSize=4096\nappender.r.maxFileSize=0\n", ""},
      {kRolling + "appender.r.maxFileSize=0\n" + std::string(4097, '#'),
       "line 3 is longer than 4096 bytes"},
      {"appender.r=org.apache.log4j.RollingFileAppender\nappender.r.maxBackupIndex=-1\n",
       "appender r: maxBackupIndex -1 is not from 0 to 100"},
      {"appender.r=DailyRollingFileAppender\nappender.r.maxFileSize=0\n", ""},
      {"appender.r=FileAppender\nappender.r.maxBackupIndex=-1\n", ""},
      {"appender.c=ConsoleAppender\nappender.f=FileAppender\nappender.r=RollingFileAppender\n"
       "appender.d=DailyRollingFileAppender\n" + kSyslog + "appender.s.syslogHost=198.51.100.7\n",
       ""},
      {"appender.l=LocalSyslogAppender\n",
       "appender l: a LocalSyslogAppender could wait: syslog(3) writes to /dev/log blocking"},
      {"appender.a=org.apache.log4j.AbortAppender\n",
       "appender a: an AbortAppender ends the program at its first line"},
      {"appender.x=NoSuchAppender\n", "appender x: type \"NoSuchAppender" + kNotKnown},
      {"appender.x=org.apache.log4j.net.SMTPAppender\n",
       "appender x: type \"org.apache.log4j.net.SMTPAppender" + kNotKnown},
      {"appender.x=fileappender\n", "appender x: type \"fileappender" + kNotKnown},
      {"appender.x=\n", "appender x: type \"" + kNotKnown},
      {kSyslog, "appender s: no syslogHost, and looking up its default, localhost, could wait"},
      {kSyslog + "appender.s.syslogHost=localhost\n", "appender s: syslogHost \"localhost" + kLooksUp},
      {kSyslog + "appender.s.syslogHost=loghost.example.net\n",
       "appender s: syslogHost \"loghost.example.net" + kLooksUp},
      {kSyslog + "appender.s.syslogHost=127.1\n", "appender s: syslogHost \"127.1" + kLooksUp},
      {kSyslog + "appender.s.syslogHost=198.51.100.256\n",
       "appender s: syslogHost \"198.51.100.256" + kLooksUp},
      {kSyslog + "appender.s.syslogHost=\n", "appender s: syslogHost \"" + kLooksUp},
      {kSyslog + "host=198.51.100.7\nappender.s.syslogHost= ${host} \nappender.s.portNumber=514\n",
       ""},
      {kSyslog + "appender.s.syslogHost=198.51.100.7\nappender.s.portNumber=0\n",
       "appender s: portNumber 0 is not from 1 to 65535"},
      {kSyslog + "appender.s.syslogHost=198.51.100.7\nappender.s.portNumber=65536\n",
       "appender s: portNumber 65536 is not from 1 to 65535"},
      {kSyslog + "appender.s.syslogHost=198.51.100.7\nappender.s.portNumber=65535\n", ""},
      {"appender.b=AbortAppender\n" + kSyslog + "appender.a=RollingFileAppender\n"
       "appender.a.maxFileSize=0\n", "appender a: maxFileSize 0 is below 4096 bytes"},
      {appenders(8) + "appender.z=AbortAppender\n", "more than 8 appenders"},
      {"appender.l=LocalSyslogAppender\n" + std::string(4097, '#'),
       "line 2 is longer than 4096 bytes"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 300));
    const nolt::ConfigVerdict verdict = nolt::checkConfiguration(row.text, &fakeEnvironment);
    EXPECT_EQ(row.reason, verdict.problem);
    if (!row.reason.empty()) {
      EXPECT_TRUE(verdict.appenders.empty() && verdict.files.empty());
    }
  }
}

TEST(NoltConfigTest, AnAcceptedTextNamesItsAppendersAndTheirFiles) {
  const nolt::ConfigVerdict verdict = nolt::checkConfiguration(
      "appender.c=ConsoleAppender\nappender.f=org.apache.log4j.FileAppender\n"
      "appender.d=DailyRollingFileAppender\nappender.d.fileName=/var/log/d.log\n"
      "appender.f.fileName=/tmp/${LOGSIZE}.log\nappender.f.fileName=/tmp/second.log\n"
      "appender.r=RollingFileAppender\nappender.x.y=FileAppender\n",
      &fakeEnvironment);
  EXPECT_EQ("", verdict.problem);
  EXPECT_EQ((std::vector<std::string>{"c", "d", "f", "r"}), verdict.appenders);
  std::vector<std::string> files;
  for (const nolt::AppenderFile& file : verdict.files) {
    files.push_back(file.appender + " " + file.path);
  }
  EXPECT_EQ((std::vector<std::string>{"d /var/log/d.log", "f /tmp/4095.log", "r foobar"}), files);
}

}  // namespace
