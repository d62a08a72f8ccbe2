#include "support/LogCapture.h"

#include "Runtime/FileLogger.h"

LogCapture::LogCapture(LogLineOptions options) {
  capturing_ = FileLogger::Instance().OpenFile(path_, /*append=*/false);
  FileLogger::Instance().Configure(options);
}

LogCapture::~LogCapture() {
  FileLogger::Instance().Unconfigure();
  FileLogger::Instance().CloseFile();
}

std::wstring LogCapture::Text() const {
  const std::string bytes = ReadFileBytes(path_);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}
