// Runs the skinrender tool over a sheet of image descriptions and reads the
// PNG it writes back.
#include <windows.h>

#include <gtest/gtest.h>

#include <stb_image.h>

#include <memory>
#include <string>

#include "SkinFixtures.h"
#include "support/TempDir.h"

namespace {

std::wstring ToolPath() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.rfind(L'\\') + 1) + L"skinrender.exe";
}

// Runs the tool with `arguments`, its output going to `log`; the exit code.
DWORD RunTool(const std::wstring& arguments, const std::wstring& log) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE out = ::CreateFileW(log.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
  EXPECT_NE(out, INVALID_HANDLE_VALUE);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  startup.hStdInput = nullptr;
  std::wstring command = L"\"" + ToolPath() + L"\" " + arguments;
  PROCESS_INFORMATION process = {};
  const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  ::CloseHandle(out);
  EXPECT_TRUE(started);
  if (!started) return 999;
  EXPECT_EQ(::WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 999;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return code;
}

struct Png {
  int width = 0, height = 0;
  std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> pixels{nullptr, &stbi_image_free};
  uint32_t At(int x, int y) const {  // AARRGGBB
    const stbi_uc* p = pixels.get() + (static_cast<size_t>(y) * width + x) * 4;
    return (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
};

Png Decode(const std::string& bytes) {
  Png png;
  int channels = 0;
  png.pixels.reset(stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                         static_cast<int>(bytes.size()), &png.width, &png.height,
                                         &channels, 4));
  return png;
}

TEST(SkinRenderTest, RendersASheetFromAnArchive) {
  TempDir dir;
  std::vector<uint32_t> grid(36, 0xFFFF0000);
  for (int i = 0; i < 6; ++i) grid[i] = grid[30 + i] = grid[i * 6] = grid[i * 6 + 5] = 0xFF0000FF;
  const std::string zip = skin_fixtures::BuildZip({
      {"input.png", skin_fixtures::EncodePng(6, 6, grid), 8},
      {"icon.png", skin_fixtures::SolidPng(2, 2, 0xFF00FF00), 8},
  });
  WriteFileBytes(dir.File(L"skin.zip"), zip);
  const std::wstring out = dir.File(L"sheet.png");
  const std::wstring log = dir.File(L"log.txt");
  const DWORD code =
      RunTool(L"--archive \"" + dir.File(L"skin.zip") +
                  L"\" --size 40x20 --bk #FFFFFFFF"
                  L" --out \"" +
                  out +
                  L"\""
                  L" \"file='input.png' dest='0,0,20,20' corner='1,1,1,1'\""
                  L" \"file='icon.png' dest='20,0,40,20' stretch='false' center='true'\""
                  L" \"file='missing.png'\"",
              log);
  ASSERT_EQ(code, 0u) << ReadFileBytes(log);
  const std::string printed = ReadFileBytes(log);
  EXPECT_NE(printed.find("file='input.png' dest='0,0,20,20' corner='1,1,1,1': true"),
            std::string::npos)
      << printed;
  EXPECT_NE(printed.find("file='missing.png': true"), std::string::npos) << printed;

  const Png png = Decode(ReadFileBytes(out));
  ASSERT_NE(png.pixels, nullptr);
  ASSERT_EQ(png.width, 40);
  ASSERT_EQ(png.height, 20);
  EXPECT_EQ(png.At(0, 0), 0xFF0000FFu);    // 1-pixel border kept
  EXPECT_EQ(png.At(10, 10), 0xFFFF0000u);  // stretched middle
  EXPECT_EQ(png.At(19, 10), 0xFF0000FFu);
  EXPECT_EQ(png.At(29, 9), 0xFF00FF00u);  // the 2x2 icon centred in 20x20
  EXPECT_EQ(png.At(30, 10), 0xFF00FF00u);
  EXPECT_EQ(png.At(27, 10), 0xFFFFFFFFu);  // background around it
}

TEST(SkinRenderTest, RejectsBadArguments) {
  TempDir dir;
  EXPECT_EQ(RunTool(L"--size 10x10 --out x.png a.png", dir.File(L"1.txt")), 2u);  // no source
  EXPECT_EQ(RunTool(L"--folder . --size 0x10 --out x.png a.png", dir.File(L"2.txt")), 2u);
  EXPECT_EQ(RunTool(L"--folder . --size 10x10 --out x.png --bogus", dir.File(L"3.txt")), 2u);
  WriteFileBytes(dir.File(L"bad.zip"), "not a zip");
  EXPECT_EQ(RunTool(L"--archive \"" + dir.File(L"bad.zip") + L"\" --size 4x4 --out \"" +
                        dir.File(L"x.png") + L"\" a.png",
                    dir.File(L"4.txt")),
            1u);
}

}  // namespace
