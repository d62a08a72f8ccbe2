#include "SkinUI/Core/PaintManager.h"

#include <windows.h>

#include <cwchar>

#include "SkinUI/Render/Renderer.h"
#include "SkinUI/Render/UIImageRecord.h"

namespace SkinUI {

namespace {

// Where skins and images come from, for the whole process.
struct ResourceSettings {
  HINSTANCE instance = nullptr;
  CUIString folder;
  CUIString archiveName;
  bool archiveHeld = false;
  HZIPARCHIVE archive = nullptr;
};

ResourceSettings& Settings() {
  static ResourceSettings settings;
  return settings;
}

constexpr wchar_t kMemoryArchiveName[] = L"membuffer";

void CloseHeld() {
  ResourceSettings& s = Settings();
  if (s.archive != nullptr) CloseArchive(s.archive);
  s.archive = nullptr;
  s.archiveHeld = false;
}

}  // namespace

CPaintManager::CPaintManager() {
  LOGFONTW description = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
  description.lfCharSet = DEFAULT_CHARSET;
  defaultFont_.font.reset(::CreateFontIndirectW(&description));
  defaultFont_.faceName = description.lfFaceName;
  defaultFont_.size = -description.lfHeight;
  defaultFont_.bold = description.lfWeight >= FW_BOLD;
  defaultFont_.underline = description.lfUnderline != 0;
  defaultFont_.italic = description.lfItalic != 0;
}

CPaintManager::~CPaintManager() {
  for (int i = 0; i < images_.GetSize(); ++i) {
    CRenderer::FreeImage(static_cast<UIImageRecord*>(images_.GetValueAt(i)));
  }
  for (int i = 0; i < defaults_.GetSize(); ++i) {
    delete static_cast<CUIString*>(defaults_.GetValueAt(i));
  }
}

// --- Process-wide settings ---

void CPaintManager::SetModuleInstance(HINSTANCE instance) {
  Settings().instance = instance;
}

HINSTANCE CPaintManager::GetModuleInstance() {
  return Settings().instance;
}

HINSTANCE CPaintManager::GetResourceModule() {
  return Settings().instance;
}

CUIString CPaintManager::GetModuleFolder() {
  if (Settings().instance == nullptr) return CUIString();
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = ::GetModuleFileNameW(Settings().instance, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return CUIString();
  const wchar_t* slash = wcsrchr(path, L'\\');
  return slash ? CUIString(path, static_cast<int>(slash - path) + 1) : CUIString();
}

void CPaintManager::SetResourceFolder(const wchar_t* folder) {
  CUIString& stored = Settings().folder;
  stored = folder ? folder : L"";
  const wchar_t last = stored.GetAt(stored.GetLength() - 1);
  if (!stored.IsEmpty() && last != L'\\' && last != L'/') stored += L'\\';
}

const CUIString& CPaintManager::GetResourceFolder() {
  return Settings().folder;
}

void CPaintManager::SetResourceArchive(const wchar_t* name) {
  ResourceSettings& s = Settings();
  if (name != nullptr && s.archiveName == name && s.archiveHeld) return;
  CloseHeld();
  s.archiveName = name ? name : L"";
  const CUIString path = s.folder + s.archiveName.GetData();
  s.archive = OpenArchive(path.GetData(), 0, ZipSource::kFileName);
  s.archiveHeld = true;
}

void CPaintManager::SetResourceArchive(const void* buffer, uint32_t size) {
  ResourceSettings& s = Settings();
  if (s.archiveName == kMemoryArchiveName) return;
  CloseHeld();
  s.archiveName = kMemoryArchiveName;
  s.archive = OpenArchive(buffer, size, ZipSource::kMemory);
  s.archiveHeld = true;
}

void CPaintManager::ReleaseResourceArchive() {
  CloseHeld();
  Settings().archiveName.Empty();
}

const CUIString& CPaintManager::GetResourceArchiveName() {
  return Settings().archiveName;
}

bool CPaintManager::IsArchiveHeld() {
  return Settings().archiveHeld;
}

HZIPARCHIVE CPaintManager::GetHeldArchive() {
  return Settings().archive;
}

// --- Fonts ---

std::unique_ptr<UIFontRecord> CPaintManager::MakeFont(const wchar_t* name, int size, bool bold,
                                                      bool underline, bool italic) {
  LOGFONTW description = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
  // The face-name field holds 32 units including the terminator.
  wcsncpy(description.lfFaceName, name ? name : L"", LF_FACESIZE - 1);
  description.lfFaceName[LF_FACESIZE - 1] = 0;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfHeight = -size;
  if (bold) description.lfWeight += FW_BOLD;
  description.lfUnderline = underline ? TRUE : FALSE;
  description.lfItalic = italic ? TRUE : FALSE;
  ScopedFont font(::CreateFontIndirectW(&description));
  if (!font) return nullptr;
  auto record = std::make_unique<UIFontRecord>();
  record->font = std::move(font);
  record->faceName = description.lfFaceName;
  record->size = size;
  record->bold = bold;
  record->underline = underline;
  record->italic = italic;
  return record;
}

void CPaintManager::Measure(UIFontRecord& record) const {
  // Before the window half binds a window there is no paint DC; a memory DC
  // gives the same metrics for a screen font.
  ScopedMemoryDC scratch;
  HDC dc = paintDC_;
  if (dc == nullptr) {
    scratch.reset(::CreateCompatibleDC(nullptr));
    dc = scratch.get();
  }
  if (dc == nullptr) return;
  CScopedSelect select(dc, record.font.get());
  ::GetTextMetricsW(dc, &record.metrics);
}

bool CPaintManager::ReplaceDefaultFont(const wchar_t* name, int size, bool bold, bool underline,
                                       bool italic) {
  DCHECK_ON_THREAD(thread_);
  std::unique_ptr<UIFontRecord> record = MakeFont(name, size, bold, underline, italic);
  if (record == nullptr) return false;
  defaultFont_ = std::move(*record);  // deletes the old handle
  if (paintDC_ != nullptr) Measure(defaultFont_);
  return true;
}

HFONT CPaintManager::AppendFont(const wchar_t* name, int size, bool bold, bool underline,
                                bool italic) {
  DCHECK_ON_THREAD(thread_);
  std::unique_ptr<UIFontRecord> record = MakeFont(name, size, bold, underline, italic);
  if (record == nullptr) return nullptr;
  if (paintDC_ != nullptr) Measure(*record);
  fonts_.push_back(std::move(record));
  return fonts_.back()->font.get();
}

HFONT CPaintManager::FontAt(int index) const {
  if (index < 0 || index >= FontCount()) return defaultFont_.font.get();
  return fonts_[index]->font.get();
}

HFONT CPaintManager::FindFontHandle(const wchar_t* name, int size, bool bold, bool underline,
                                    bool italic) const {
  for (const auto& record : fonts_) {
    if (record->faceName == (name ? name : L"") && record->size == size && record->bold == bold &&
        record->underline == underline && record->italic == italic) {
      return record->font.get();
    }
  }
  return nullptr;
}

const UIFontRecord* CPaintManager::FontRecordAt(int index) {
  DCHECK_ON_THREAD(thread_);
  if (index < 0 || index >= FontCount()) return DefaultFontRecord();
  UIFontRecord& record = *fonts_[index];
  if (record.metrics.tmHeight == 0) Measure(record);
  return &record;
}

const UIFontRecord* CPaintManager::FontRecordOf(HFONT font) {
  DCHECK_ON_THREAD(thread_);
  for (auto& record : fonts_) {
    if (record->font.get() == font) {
      if (record->metrics.tmHeight == 0) Measure(*record);
      return record.get();
    }
  }
  return DefaultFontRecord();
}

const UIFontRecord* CPaintManager::DefaultFontRecord() {
  DCHECK_ON_THREAD(thread_);
  if (defaultFont_.metrics.tmHeight == 0) Measure(defaultFont_);
  return &defaultFont_;
}

// --- Images ---

const UIImageRecord* CPaintManager::CacheImage(const wchar_t* name, const wchar_t* type,
                                               uint32_t mask) {
  DCHECK_ON_THREAD(thread_);
  if (name == nullptr || name[0] == 0) return nullptr;
  const bool fromResource = type != nullptr && type[0] != 0;
  const wchar_t* source = name;
  if (fromResource) {
    if (name[0] < L'0' || name[0] > L'9') return nullptr;
    source = MAKEINTRESOURCEW(static_cast<WORD>(wcstoul(name, nullptr, 10) & 0xFFFF));
  }
  UIImageRecord* image = CRenderer::LoadImage(source, fromResource ? type : nullptr, mask);
  if (image == nullptr) return nullptr;
  if (fromResource) image->resourceType = type;
  image->mask = mask;
  if (!images_.Insert(name, image)) {
    CRenderer::FreeImage(image);
    return nullptr;
  }
  return image;
}

const UIImageRecord* CPaintManager::CachedImage(const wchar_t* name) {
  DCHECK_ON_THREAD(thread_);
  return static_cast<const UIImageRecord*>(images_.Find(name));
}

const UIImageRecord* CPaintManager::GetOrLoadImage(const wchar_t* name, const wchar_t* type,
                                                   uint32_t mask) {
  if (const UIImageRecord* cached = CachedImage(name)) return cached;
  CacheImage(name, type, mask);
  return CachedImage(name);
}

// --- Class defaults ---

void CPaintManager::AddClassDefaults(const wchar_t* name, const wchar_t* list) {
  DCHECK_ON_THREAD(thread_);
  if (name == nullptr || list == nullptr || defaults_.Contains(name)) return;
  auto* copy = new CUIString(list);
  if (!defaults_.Insert(name, copy)) delete copy;
}

const wchar_t* CPaintManager::ClassDefaults(const wchar_t* name) {
  DCHECK_ON_THREAD(thread_);
  const auto* list = static_cast<const CUIString*>(defaults_.Find(name));
  return list ? list->GetData() : nullptr;
}

}  // namespace SkinUI
