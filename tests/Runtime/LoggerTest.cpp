#include "Runtime/BaseLogger.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "Runtime/ConsoleLogger.h"
#include "Runtime/FileLogger.h"
#include "Runtime/Log.h"
#include "Runtime/TextUtils.h"
#include "support/TempDir.h"

namespace {

// A pointer that crashes the formatter if it is ever read as a string.
const wchar_t* const kPoison = reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(8));

class FileLoggerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    FileLogger::Instance().Unconfigure();
    FileLogger::Instance().CloseFile();
  }

  void Open(uint8_t fields, bool lineBreak) {
    ASSERT_TRUE(FileLogger::Instance().OpenFile(path_, /*append=*/false));
    FileLogger::Instance().Configure(LogLineOptions{fields, lineBreak});
  }

  // The file holds raw UTF-16LE units without a byte order mark.
  std::wstring Contents() {
    FileLogger::Instance().CloseFile();
    std::string bytes = ReadFileBytes(path_);
    EXPECT_EQ(bytes.size() % 2, 0u);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  }

  TempDir dir_;
  std::wstring path_ = dir_.File(L"log.txt");
};

TEST_F(FileLoggerTest, UnconfiguredSinkWritesAndFormatsNothing) {
  ASSERT_TRUE(FileLogger::Instance().OpenFile(path_, false));
  // No options: the poison argument would crash if it were formatted.
  FileLogger::Instance().Log(LOG_ERRO, L"%s", kPoison);
  FileLogger::Instance().LogAt(LOG_ERRO, 1, L"x.cpp", L"%s", kPoison);
  EXPECT_EQ(Contents(), L"");
}

TEST_F(FileLoggerTest, SinksNeedTheirOutputAsWellAsOptions) {
  // Options but no stream: disabled, so the poison is never formatted.
  FileLogger::Instance().Configure(LogLineOptions{0, false});
  FileLogger::Instance().Log(LOG_INFO, L"%s", kPoison);
  // The console sink likewise without an attached console.
  ConsoleLogger::Instance().Configure(LogLineOptions{0x0E, true});
  ConsoleLogger::Instance().LogAt(LOG_WARN, 3, L"y.cpp", L"%s", kPoison);
  ConsoleLogger::Instance().Unconfigure();

  ASSERT_TRUE(FileLogger::Instance().OpenFile(path_, false));
  FileLogger::Instance().Log(LOG_INFO, L"now");
  EXPECT_EQ(Contents(), L"[INFO]now");
}

TEST_F(FileLoggerTest, LocatedLineHasEveryFieldInOrder) {
  Open(0x0E, true);
  FileLogger::Instance().LogAt(LOG_ERRO, 45, L"Http/CurlHttp.cpp", L"code %d host %s", 7, L"例子");
  const std::wstring expected = FormatWide(
      L"\\[ERRO\\]\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\]\\[pid:%d\\]\\[tid:%d\\]"
      L"\\[Http/CurlHttp\\.cpp:45\\]code 7 host 例子\r\n",
      static_cast<int>(::GetCurrentProcessId()), static_cast<int>(::GetCurrentThreadId()));
  const std::wstring contents = Contents();
  EXPECT_TRUE(std::regex_match(contents, std::wregex(expected))) << ToUtf8(contents);
}

TEST_F(FileLoggerTest, UnlocatedLineHasNoLocationField) {
  Open(0x0E, true);
  FileLogger::Instance().Log(LOG_INFO, L"hello");
  const std::wstring contents = Contents();
  EXPECT_TRUE(std::regex_match(
      contents, std::wregex(L"\\[INFO\\]\\[[-0-9: ]{19}\\]\\[pid:\\d+\\]\\[tid:\\d+\\]hello\r\n")))
      << ToUtf8(contents);
}

TEST_F(FileLoggerTest, LevelFieldFollowsTheLevelValue) {
  Open(0, false);
  FileLogger::Instance().Log(LOG_WARN, L"a");
  FileLogger::Instance().Log(7, L"b");  // unknown level: no level field at all
  FileLogger::Instance().LogAt(LOG_INFO, 9, L"f.cpp", L"c");
  EXPECT_EQ(Contents(), L"[WARN]ab[INFO][f.cpp:9]c");
}

TEST_F(FileLoggerTest, LongMessageIsWrittenWhole) {
  Open(0, false);
  const std::wstring message(10000, L'x');
  FileLogger::Instance().Log(LOG_INFO, L"%s|", message.c_str());
  EXPECT_EQ(Contents(), L"[INFO]" + message + L"|");
}

TEST_F(FileLoggerTest, MacroRecordsPathRelativeToSources) {
  Open(0, false);
  const int line = __LINE__ + 1;
  LOG_CONSOLE(LOG_WARN, L"n=%lld", 1LL << 40);
  EXPECT_EQ(Contents(),
            FormatWide(L"[WARN][tests/Runtime/LoggerTest.cpp:%d]n=1099511627776", line));
}

}  // namespace
