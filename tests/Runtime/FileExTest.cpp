#include "Runtime/FileEx.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

namespace {

class FileExTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::wstring path_ = dir_.File(L"file.bin");
};

TEST_F(FileExTest, OpenMissingFileWithoutCreateFailsWithTheRecord) {
  CFileEx file;
  CFileEx::OpenError error;
  EXPECT_FALSE(file.Open(path_, 0x80, &error));
  EXPECT_EQ(error.code, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(error.text, L"INVALID_HANDLE_VALUE");
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Open(path_, 0x80));  // the record is optional
}

TEST_F(FileExTest, CreateFlagsTruncateOrKeepContent) {
  struct Case {
    uint32_t flags;
    const char* after;  // content after writing "XY" at the end of "hello"
  };
  for (const Case& c : {Case{0x90A1, "XY"}, Case{0xB0A2, "helloXY"}}) {
    WriteFileBytes(path_, "hello");
    CFileEx file;
    ASSERT_TRUE(file.Open(path_, c.flags)) << std::hex << c.flags;
    file.SeekToEnd();
    file.Write("XY", 2);
    file.Close();
    EXPECT_EQ(ReadFileBytes(path_), c.after) << std::hex << c.flags;
  }
}

TEST_F(FileExTest, KeepContentOpenOfExistingFileSeeksToItsLength) {
  WriteFileBytes(path_, std::string(100, 'a'));
  CFileEx file;
  ASSERT_TRUE(file.Open(path_, 0xB0A2));
  EXPECT_EQ(file.GetPosition(), 0);
  EXPECT_EQ(file.SeekToEnd(), 100);
  EXPECT_EQ(file.GetPosition(), 100);
  char buffer[8];
  ASSERT_EQ(file.Seek(96, FILE_BEGIN), 96);
  EXPECT_EQ(file.Read(buffer, 8), 4u);  // short read at the end
}

TEST_F(FileExTest, CreateMakesAMissingFile) {
  CFileEx file;
  ASSERT_TRUE(file.Open(path_, 0xB0A2));
  EXPECT_EQ(file.SeekToEnd(), 0);
}

TEST_F(FileExTest, SetLengthThenWriteLeavesOnlyTheNewBytes) {
  WriteFileBytes(path_, "0123456789");
  CFileEx file;
  ASSERT_TRUE(file.Open(path_, 0xB0A2));
  file.SetLength(0);
  file.Write("abcde", 5);
  file.Flush();
  file.Close();
  EXPECT_EQ(ReadFileBytes(path_), "abcde");
}

TEST_F(FileExTest, SharingFlagsDecideWhatOthersMayOpen) {
  WriteFileBytes(path_, "x");
  struct Case {
    uint32_t flags;
    bool othersMayRead;
    bool othersMayWrite;
  };
  for (const Case& c : {Case{0x00, false, false}, Case{0x20, true, false}, Case{0x30, false, true},
                        Case{0x40, true, true}}) {
    CFileEx holder;
    ASSERT_TRUE(holder.Open(path_, c.flags));  // read access
    CFileEx reader, writer;
    EXPECT_EQ(reader.Open(path_, 0x40), c.othersMayRead) << std::hex << c.flags;
    EXPECT_EQ(writer.Open(path_, 0x41), c.othersMayWrite) << std::hex << c.flags;
  }
}

TEST_F(FileExTest, FailedWriteThrowsWithPathAndError) {
  WriteFileBytes(path_, "x");
  CFileEx file;
  ASSERT_TRUE(file.Open(path_, 0x40));  // read only
  file.Write(nullptr, 0);               // zero bytes never reach the file
  try {
    file.Write("y", 1);
    FAIL() << "write on a read-only handle must throw";
  } catch (const CFileExException& e) {
    EXPECT_EQ(e.text, path_);
    EXPECT_EQ(e.code, ERROR_ACCESS_DENIED);
  }
}

TEST_F(FileExTest, OperationsOnAClosedFileThrowWithoutText) {
  CFileEx file;
  try {
    (void)file.GetPosition();
    FAIL() << "seek on a closed file must throw";
  } catch (const CFileExException& e) {
    EXPECT_TRUE(e.text.empty());
    EXPECT_EQ(e.code, ERROR_INVALID_HANDLE);
  }
}

TEST_F(FileExTest, CloseTwiceDoesNothingTheSecondTime) {
  CFileEx file;
  ASSERT_TRUE(file.Open(path_, 0x90A1));
  EXPECT_EQ(file.Path(), path_);
  file.Close();
  EXPECT_TRUE(file.Path().empty());
  EXPECT_NO_THROW(file.Close());
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(FileExTest, DestructorClosesSoTheFileCanBeDeleted) {
  {
    CFileEx file;
    ASSERT_TRUE(file.Open(path_, 0x90A1));  // no sharing of delete
    file.Write("abc", 3);
  }
  EXPECT_TRUE(::DeleteFileW(path_.c_str()));
}

}  // namespace
