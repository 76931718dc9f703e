// kiln::Logger: sinks, level filtering, error history and its text form.
#include "kiln/runtime/context/logger.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kiln/runtime/context/context.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Shape match: '#' stands for one digit, '*' for one or more digits; every
// other character matches itself.
bool Matches(const char* text, const char* pattern) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '#') return std::isdigit(static_cast<unsigned char>(*text)) && Matches(text + 1, pattern + 1);
  if (*pattern == '*') {
    if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
    while (std::isdigit(static_cast<unsigned char>(*text))) {
      ++text;
      if (Matches(text, pattern + 1)) return true;
    }
    return false;
  }
  return *text == *pattern && Matches(text + 1, pattern + 1);
}

bool Matches(const std::string& text, const std::string& pattern) { return Matches(text.c_str(), pattern.c_str()); }

std::string TempPath(const char* stem) {
  return std::string("/tmp/") + stem + "_" + std::to_string(getpid()) + ".log";
}

TEST(LoggerHistory, Error_129thEntryEvictsTheOldest) {
  kiln::Logger logger(kiln::kLogModeNone, 0, "");
  for (int i = 0; i < 129; ++i) logger.Error("f.cpp", "Fn", i, "message " + std::to_string(i));
  EXPECT_EQ(logger.GetErrorCount(), 128u);
  const std::vector<std::string> lines = Lines(logger.GetErrorBacktrace());
  ASSERT_EQ(lines.size(), 129u);  // heading + 128 entries
  EXPECT_EQ(lines[0], "kiln error backtrace : ");
  for (int i = 1; i <= 128; ++i) {
    const std::string tail = "Fn[f.cpp:" + std::to_string(i) + "] : message " + std::to_string(i);
    ASSERT_GE(lines[i].size(), tail.size());
    EXPECT_EQ(lines[i].substr(lines[i].size() - tail.size()), tail) << "entry " << i << " out of order";
  }
}

TEST(LoggerHistory, GetErrorBacktrace_WritesTimestampFunctionFileLineAndMessage) {
  kiln::Logger logger(kiln::kLogModeNone, 0, "");
  EXPECT_EQ(logger.GetErrorBacktrace(), "kiln error backtrace : \n");
  logger.Error("kiln/ops/x.cpp", "Run", 42, "Run failed");
  const std::string text = logger.GetErrorBacktrace();
  EXPECT_TRUE(Matches(text, "kiln error backtrace : \n  ##-## ##:##:##.### Run[kiln/ops/x.cpp:42] : Run failed\n"))
      << text;
}

TEST(LoggerHistory, ClearError_EmptiesTheHistory) {
  kiln::Logger logger(kiln::kLogModeNone, 0, "");
  logger.Error("a.cpp", "A", 1, "one");
  logger.Error("b.cpp", "B", 2, "two");
  logger.ClearError();
  EXPECT_EQ(logger.GetErrorCount(), 0u);
  EXPECT_EQ(logger.GetErrorBacktrace(), "kiln error backtrace : \n");
}

TEST(LoggerHistory, Error_EmitsNothingByItself) {
  kiln::Logger logger(kiln::kLogModeAndroid, 2, "");
  testing::internal::CaptureStderr();
  logger.Error("a.cpp", "A", 1, "quiet");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(LoggerHistory, ConcurrentErrorsAreAllCountedUpToTheCapacity) {
  kiln::Logger logger(kiln::kLogModeNone, 0, "");
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&logger, t] {
      for (int i = 0; i < 10; ++i) logger.Error("t.cpp", "Worker", t, "entry");
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(logger.GetErrorCount(), 80u);
  for (int i = 0; i < 100; ++i) logger.Error("t.cpp", "Main", i, "more");
  EXPECT_EQ(logger.GetErrorCount(), kiln::kErrorHistoryCapacity);
}

TEST(LoggerRecord, KilnRecord_StoresCallerLocationOnlyWhenTheContextHasALogger) {
  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeNone;
  kiln::Context ctx(config);
  KILN_RECORD(&ctx, "lost %d", 1);  // no logger yet: nothing to record into
  kiln::Context* none = nullptr;
  KILN_RECORD(none, "lost %d", 2);
  ASSERT_EQ(ctx.Initialize(), 0);
  EXPECT_EQ(ctx.GetLogger()->GetErrorCount(), 0u);

  const int line = __LINE__ + 1;
  KILN_RECORD(&ctx, "value %d of %s", 7, "x");
  const std::string text = ctx.GetLogger()->GetErrorBacktrace();
  const std::string where = std::string(__FUNCTION__) + "[" + __FILE__ + ":" + std::to_string(line) + "] : value 7 of x\n";
  EXPECT_NE(text.find(where), std::string::npos) << text;
  EXPECT_EQ(ctx.GetLogger()->GetErrorCount(), 1u);
}

TEST(LoggerSinks, Log_AndroidModeSendsOneRecordPerLine) {
  kiln::Logger logger(kiln::kLogModeAndroid, 2, "");
  testing::internal::CaptureStderr();
  logger.Log(kiln::kKilnTag, 1, "one\ntwo %d\nthree\n", 2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "I/kiln2.0: [kiln2.0] one\n"
            "I/kiln2.0: two 2\n"
            "I/kiln2.0: three\n");
}

TEST(LoggerSinks, Log_AndroidModeMapsLevelsToPriorities) {
  kiln::Logger logger(kiln::kLogModeAndroid, 5, "");
  testing::internal::CaptureStderr();
  logger.Log("T", 0, "e");
  logger.Log("T", 1, "i");
  logger.Log("T", 2, "d");
  logger.Log("T", 5, "v");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "E/T: [T] e\nI/T: [T] i\nD/T: [T] d\nD/T: [T] v\n");
}

TEST(LoggerSinks, Log_FiltersLevelsAboveTheLoggerLevelInEverySink) {
  // Android sink at level 1: debug is dropped.
  {
    kiln::Logger logger(kiln::kLogModeAndroid, 1, "");
    testing::internal::CaptureStderr();
    logger.Log("T", 0, "zero");
    logger.Log("T", 1, "one");
    logger.Log("T", 2, "two");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "E/T: [T] zero\nI/T: [T] one\n");
  }
  // Console sink at level 0: only errors, wrapped in red.
  {
    kiln::Logger logger(kiln::kLogModeConsole, 0, "");
    testing::internal::CaptureStdout();
    logger.Log("T", 0, "zero\n");
    logger.Log("T", 1, "one\n");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("one"), std::string::npos);
    EXPECT_TRUE(Matches(out, "\033[1;31m####-##-## ##:##:##.### * [T] zero\n\033[1;0m")) << out;
  }
  // Console sink at level 2: info blue, debug plain.
  {
    kiln::Logger logger(kiln::kLogModeConsole, 2, "");
    testing::internal::CaptureStdout();
    logger.Log("T", 1, "one\n");
    logger.Log("T", 2, "two\n");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(Matches(out,
                        "\033[1;34m####-##-## ##:##:##.### * [T] one\n\033[1;0m####-##-## ##:##:##.### * [T] two\n"))
        << out;
  }
  // File sink at level 0.
  {
    const std::string path = TempPath("kiln_logger_filter");
    std::remove(path.c_str());
    {
      kiln::Logger logger(kiln::kLogModeFile, 0, path);
      logger.Log("T", 0, "kept\n");
      logger.Log("T", 1, "dropped\n");
    }
    const std::string text = ReadFile(path);
    std::remove(path.c_str());
    EXPECT_NE(text.find("[T] kept\n"), std::string::npos);
    EXPECT_EQ(text.find("dropped"), std::string::npos);
  }
}

TEST(LoggerSinks, Log_FileModeAppendsTimestampedLinesWithThreadId) {
  const std::string path = TempPath("kiln_logger_file");
  {
    std::ofstream seed(path);
    seed << "earlier line\n";
  }
  {
    kiln::Logger logger(kiln::kLogModeFile, 2, path);
    ASSERT_TRUE(logger.HasFile());
    logger.Log("kiln2.0", 2, "frame %d done\n", 3);
  }
  const std::vector<std::string> lines = Lines(ReadFile(path));
  std::remove(path.c_str());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "earlier line");
  EXPECT_TRUE(Matches(lines[1], "####-##-## ##:##:##.### * [kiln2.0] frame 3 done")) << lines[1];
}

TEST(LoggerSinks, Log_FileModeWithoutUsablePathStaysSilent) {
  kiln::Logger no_path(kiln::kLogModeFile, 2, "");
  EXPECT_FALSE(no_path.HasFile());
  kiln::Logger bad_path(kiln::kLogModeFile, 2, "/nonexistent_dir_kiln/x.log");
  EXPECT_FALSE(bad_path.HasFile());
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  no_path.Log("T", 0, "nowhere\n");
  bad_path.Log("T", 0, "nowhere\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(LoggerSinks, Log_NoneModeEmitsNothing) {
  kiln::Logger logger(kiln::kLogModeNone, 2, "");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  logger.Log("T", 0, "silent\n");
  logger.LogText("T", 0, "silent\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(LoggerSinks, Log_LongMessagesAreNotCut) {
  kiln::Logger logger(kiln::kLogModeAndroid, 2, "");
  const std::string body(3000, 'x');
  testing::internal::CaptureStderr();
  logger.Log("T", 2, "%s|end", body.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "D/T: [T] " + body + "|end\n");
  EXPECT_EQ(kiln::FormatText("%s-%d", body.c_str(), 5), body + "-5");
}

}  // namespace
