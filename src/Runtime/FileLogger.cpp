#include "Runtime/FileLogger.h"

FileLogger::~FileLogger() {
  CloseFile();
}

bool FileLogger::OpenFile(const std::wstring& path, bool append) {
  CAutoLock hold(Lock());
  if (stream_ != nullptr) fclose(stream_);
  stream_ = _wfopen(path.c_str(), append ? L"ab" : L"wb");
  return stream_ != nullptr;
}

void FileLogger::CloseFile() {
  CAutoLock hold(Lock());
  if (stream_ != nullptr) fclose(stream_);
  stream_ = nullptr;
}

bool FileLogger::IsEnabled() const {
  return HasOptions() && stream_ != nullptr;
}

void FileLogger::Write(const std::wstring& line) {
  if (!IsEnabled()) return;
  static_assert(sizeof(wchar_t) == 2, "the file holds UTF-16 code units");
  fwrite(line.data(), 2 * line.size(), 1, stream_);
  fflush(stream_);
}
