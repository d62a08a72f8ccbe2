// skinrender: draws image descriptions into an off-screen canvas and writes
// it as a PNG, so the renderer can be looked at without any window.
//
//   skinrender --archive FILE.zip | --folder DIR  --size WxH  --bk #AARRGGBB
//              --out OUT.png  IMAGE...
//
// Each IMAGE is drawn in order with the whole canvas as item and paint
// rectangle; one line per IMAGE reports what DrawImageSpec returned. GDI
// leaves the alpha byte of what it draws opaque at 0, so a canvas with an
// opaque background is written fully opaque; otherwise the canvas alpha is
// kept (and un-premultiplied for the PNG).
#include <windows.h>
#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "PngWriter.h"
#include "Runtime/TextUtils.h"
#include "SkinUI/Core/PaintManager.h"
#include "SkinUI/Render/DibCanvas.h"
#include "SkinUI/Render/Renderer.h"
#include "SkinUI/Utils/AttributeValues.h"

namespace {

void Usage() {
  fwprintf(stderr,
           L"usage: skinrender --archive FILE.zip | --folder DIR  --size WxH  --bk #AARRGGBB  "
           L"--out OUT.png  IMAGE...\n");
}

bool ReadAll(const wchar_t* path, std::string& bytes) {
  FILE* f = _wfopen(path, L"rb");
  if (f == nullptr) return false;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return true;
}

bool WritePng(const SkinUI::CDibCanvas& canvas, bool opaque, const wchar_t* path) {
  ::GdiFlush();
  const int w = canvas.Width();
  const int h = canvas.Height();
  std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i) {
    const uint32_t p = canvas.Bits()[i];
    uint32_t a = opaque ? 255 : p >> 24;
    uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    if (a != 0 && a != 255) {
      r = r * 255 / a;
      g = g * 255 / a;
      b = b * 255 / a;
    }
    rgba[i * 4] = static_cast<unsigned char>(r > 255 ? 255 : r);
    rgba[i * 4 + 1] = static_cast<unsigned char>(g > 255 ? 255 : g);
    rgba[i * 4 + 2] = static_cast<unsigned char>(b > 255 ? 255 : b);
    rgba[i * 4 + 3] = static_cast<unsigned char>(a);
  }
  std::string png;
  if (!skinrender::EncodePng(w, h, rgba.data(), png)) return false;
  FILE* f = _wfopen(path, L"wb");
  if (f == nullptr) return false;
  const bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring archive, folder, out;
  int width = 0, height = 0;
  uint32_t background = 0;
  std::vector<std::wstring> images;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"--archive" && hasValue) {
      archive = argv[++i];
    } else if (arg == L"--folder" && hasValue) {
      folder = argv[++i];
    } else if (arg == L"--size" && hasValue) {
      long size[2];
      SkinUI::ReadNumbers(argv[++i], size, 2);
      width = static_cast<int>(size[0]);
      height = static_cast<int>(size[1]);
    } else if (arg == L"--bk" && hasValue) {
      background = SkinUI::ReadColor(argv[++i]);
    } else if (arg == L"--out" && hasValue) {
      out = argv[++i];
    } else if (arg.rfind(L"--", 0) == 0) {
      Usage();
      return 2;
    } else {
      images.push_back(arg);
    }
  }
  if (archive.empty() == folder.empty() || out.empty() || width <= 0 || height <= 0 ||
      width > 16384 || height > 16384) {
    Usage();
    return 2;
  }

  // Labels start GDI+ in the installer; here the tool does it for the
  // rounded-corner path.
  ULONG_PTR gdiplus = 0;
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr);

  std::string archiveBytes;  // must outlive the held archive
  if (!archive.empty()) {
    if (!ReadAll(archive.c_str(), archiveBytes)) {
      fwprintf(stderr, L"cannot read %s\n", archive.c_str());
      return 1;
    }
    SkinUI::CPaintManager::SetResourceArchive(archiveBytes.data(),
                                              static_cast<uint32_t>(archiveBytes.size()));
    if (SkinUI::CPaintManager::GetHeldArchive() == nullptr) {
      fwprintf(stderr, L"cannot open %s as a zip archive\n", archive.c_str());
      return 1;
    }
  } else {
    SkinUI::CPaintManager::SetResourceFolder(folder.c_str());
  }

  int status = 0;
  {
    SkinUI::CPaintManager manager;
    SkinUI::CDibCanvas canvas(width, height);
    if (!canvas.IsValid()) {
      fwprintf(stderr, L"cannot create a %dx%d canvas\n", width, height);
      return 1;
    }
    const uint32_t a = background >> 24;
    uint32_t premultiplied = background;
    if (a != 255) {
      premultiplied = (a << 24) | ((((background >> 16) & 0xFF) * a / 255) << 16) |
                      ((((background >> 8) & 0xFF) * a / 255) << 8) |
                      ((background & 0xFF) * a / 255);
    }
    canvas.Fill(premultiplied);
    const RECT all = {0, 0, width, height};
    for (const std::wstring& image : images) {
      const bool drawn = SkinUI::CRenderer::DrawImageSpec(canvas.GetDC(), &manager, all, all,
                                                          image.c_str(), nullptr);
      // The console may not take every character: print UTF-8.
      const std::string line = ToUtf8(image) + (drawn ? ": true\n" : ": false\n");
      fwrite(line.data(), 1, line.size(), stdout);
    }
    if (!WritePng(canvas, a == 255, out.c_str())) {
      fwprintf(stderr, L"cannot write %s\n", out.c_str());
      status = 1;
    }
  }
  SkinUI::CPaintManager::ReleaseResourceArchive();
  Gdiplus::GdiplusShutdown(gdiplus);
  fflush(stdout);
  return status;
}
