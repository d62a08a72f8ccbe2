#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "Runtime/ThreadChecker.h"
#include "SkinUI/Utils/GdiHandles.h"
#include "SkinUI/Utils/UIString.h"
#include "SkinUI/Utils/UIStringMap.h"
#include "SkinUI/Utils/ZipArchive.h"

namespace SkinUI {

struct UIImageRecord;

// A font the skin declared. `metrics.tmHeight` 0 means not measured yet.
struct UIFontRecord {
  ScopedFont font;
  CUIString faceName;
  int size = 0;  // character height in pixels
  bool bold = false;
  bool underline = false;
  bool italic = false;
  TEXTMETRICW metrics = {};
};

// Every skinned window owns one paint manager. This half holds what the
// window paints with: its fonts, its cache of decoded images, the default
// attribute lists per control class and the default colours, plus the
// process-wide settings that say where skins and images are read from
// (module, folder, zip archive). The manager owns its fonts, images and
// lists and frees them when it dies. The window, message and paint half
// joins this class later; the paint DC and the layered flag below are the
// two of its fields this half reads.
// Thread affinity: the UI thread only (checked in debug builds), for the
// process-wide settings as well.
class CPaintManager {
 public:
  CPaintManager();
  CPaintManager(const CPaintManager&) = delete;
  CPaintManager& operator=(const CPaintManager&) = delete;
  ~CPaintManager();

  // --- Process-wide resource settings ---
  static void SetModuleInstance(HINSTANCE instance);
  [[nodiscard]] static HINSTANCE GetModuleInstance();
  [[nodiscard]] static HINSTANCE GetResourceModule();
  // The module's full file name cut after its last backslash; empty
  // without a module instance.
  [[nodiscard]] static CUIString GetModuleFolder();
  // Stored with a backslash appended unless empty or already ending in a
  // separator.
  static void SetResourceFolder(const wchar_t* folder);
  [[nodiscard]] static const CUIString& GetResourceFolder();
  // Opens and holds the archive at resource folder + `name`. The held flag
  // is set even when opening fails, so that skin loads report it.
  static void SetResourceArchive(const wchar_t* name);
  // Holds an archive in memory under the name "membuffer". The buffer is
  // not copied and must outlive the held archive.
  static void SetResourceArchive(const void* buffer, uint32_t size);
  // Closes the held archive and forgets the archive name (done by the
  // application at exit).
  static void ReleaseResourceArchive();
  [[nodiscard]] static const CUIString& GetResourceArchiveName();
  [[nodiscard]] static bool IsArchiveHeld();
  [[nodiscard]] static HZIPARCHIVE GetHeldArchive();

  // --- Window state this half reads ---
  // The window's own DC; none until the window half binds a window.
  [[nodiscard]] HDC GetPaintDC() const { return paintDC_; }
  // Painting with per-pixel alpha ("bktrans"): text must keep its alpha.
  [[nodiscard]] bool IsLayered() const { return layered_; }
  void SetLayered(bool layered) { layered_ = layered; }

  // --- Fonts ---
  [[nodiscard]] bool ReplaceDefaultFont(const wchar_t* name, int size, bool bold, bool underline,
                                        bool italic);
  // The new font's handle (owned by the manager), or null.
  HFONT AppendFont(const wchar_t* name, int size, bool bold, bool underline, bool italic);
  [[nodiscard]] int FontCount() const { return static_cast<int>(fonts_.size()); }
  // Font `index`, or the default font outside the list.
  [[nodiscard]] HFONT FontAt(int index) const;
  [[nodiscard]] HFONT FindFontHandle(const wchar_t* name, int size, bool bold, bool underline,
                                     bool italic) const;
  // Records with their metrics measured on first request.
  [[nodiscard]] const UIFontRecord* FontRecordAt(int index);
  [[nodiscard]] const UIFontRecord* FontRecordOf(HFONT font);
  [[nodiscard]] const UIFontRecord* DefaultFontRecord();

  // --- Images ---
  // Loads and caches `name` (a resource number when `type` is given, a file
  // name otherwise). Null when loading fails or the name is already cached.
  const UIImageRecord* CacheImage(const wchar_t* name, const wchar_t* type = nullptr,
                                  uint32_t mask = 0);
  [[nodiscard]] const UIImageRecord* CachedImage(const wchar_t* name);
  [[nodiscard]] const UIImageRecord* GetOrLoadImage(const wchar_t* name,
                                                    const wchar_t* type = nullptr,
                                                    uint32_t mask = 0);

  // --- Class defaults and colours ---
  // Keeps the first list stored under a name.
  void AddClassDefaults(const wchar_t* name, const wchar_t* list);
  [[nodiscard]] const wchar_t* ClassDefaults(const wchar_t* name);

  [[nodiscard]] uint32_t DefaultDisabledColor() const { return disabledColor_; }
  [[nodiscard]] uint32_t DefaultTextColor() const { return textColor_; }
  [[nodiscard]] uint32_t DefaultLinkColor() const { return linkColor_; }
  [[nodiscard]] uint32_t DefaultLinkHoverColor() const { return linkHoverColor_; }
  [[nodiscard]] uint32_t DefaultSelectedColor() const { return selectedColor_; }
  void SetDefaultDisabledColor(uint32_t color) { disabledColor_ = color; }
  void SetDefaultTextColor(uint32_t color) { textColor_ = color; }
  void SetDefaultLinkColor(uint32_t color) { linkColor_ = color; }
  void SetDefaultLinkHoverColor(uint32_t color) { linkHoverColor_ = color; }
  void SetDefaultSelectedColor(uint32_t color) { selectedColor_ = color; }

  void SetShadowImage(const wchar_t* image) { shadowImage_ = image; }
  [[nodiscard]] const CUIString& GetShadowImage() const { return shadowImage_; }

 private:
  [[nodiscard]] static std::unique_ptr<UIFontRecord> MakeFont(const wchar_t* name, int size,
                                                              bool bold, bool underline,
                                                              bool italic);
  void Measure(UIFontRecord& record) const;

  CThreadChecker thread_;
  HDC paintDC_ = nullptr;
  bool layered_ = false;

  uint32_t disabledColor_ = 0xFFA7A6AA;
  uint32_t textColor_ = 0xFF000000;
  uint32_t linkColor_ = 0xFF0000FF;
  uint32_t linkHoverColor_ = 0xFFD3215F;
  uint32_t selectedColor_ = 0xFFBAE4FF;
  UIFontRecord defaultFont_;
  std::vector<std::unique_ptr<UIFontRecord>> fonts_;
  CUIStringMap images_;    // name -> UIImageRecord*, owned
  CUIStringMap defaults_;  // class name -> CUIString*, owned
  CUIString shadowImage_;
};

}  // namespace SkinUI
