#include "SkinUI/Core/PaintManager.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "SkinFixtures.h"
#include "SkinUI/Render/UIImageRecord.h"
#include "support/TempDir.h"

namespace SkinUI {
namespace {

using PaintManagerTest = skin_fixtures::ResourceSettingsTest;

LOGFONTW DescriptionOf(HFONT font) {
  LOGFONTW description = {};
  ::GetObjectW(font, sizeof(description), &description);
  return description;
}

TEST_F(PaintManagerTest, ResourceFolderGetsOneTrailingSeparator) {
  struct Case {
    const wchar_t* in;
    const wchar_t* stored;
  };
  const Case cases[] = {
      {L"C:\\skins", L"C:\\skins\\"},
      {L"C:\\skins\\", L"C:\\skins\\"},
      {L"skins/", L"skins/"},
      {L"", L""},
  };
  for (const Case& c : cases) {
    CPaintManager::SetResourceFolder(c.in);
    EXPECT_EQ(CPaintManager::GetResourceFolder(), c.stored) << c.in;
  }
}

TEST_F(PaintManagerTest, ModuleFolderEndsWithABackslash) {
  EXPECT_EQ(CPaintManager::GetModuleFolder(), L"");
  CPaintManager::SetModuleInstance(::GetModuleHandleW(nullptr));
  const CUIString folder = CPaintManager::GetModuleFolder();
  EXPECT_EQ(folder.GetAt(folder.GetLength() - 1), L'\\');
  EXPECT_EQ(CPaintManager::GetResourceModule(), ::GetModuleHandleW(nullptr));
  CPaintManager::SetModuleInstance(nullptr);
}

TEST_F(PaintManagerTest, ArchiveIsOpenedOncePerName) {
  TempDir dir;
  const std::string zip = skin_fixtures::BuildZip({{"a.txt", "abc", 8}});
  WriteFileBytes(dir.File(L"one.zip"), zip);
  WriteFileBytes(dir.File(L"two.zip"), zip);
  CPaintManager::SetResourceFolder(dir.Path().c_str());
  CPaintManager::SetResourceArchive(L"one.zip");
  HZIPARCHIVE first = CPaintManager::GetHeldArchive();
  ASSERT_NE(first, nullptr);
  CPaintManager::SetResourceArchive(L"one.zip");
  EXPECT_EQ(CPaintManager::GetHeldArchive(), first);
  EXPECT_EQ(CPaintManager::GetResourceArchiveName(), L"one.zip");
  // Closed before the second one opens: the file can be deleted then.
  CPaintManager::SetResourceArchive(L"two.zip");
  EXPECT_NE(CPaintManager::GetHeldArchive(), nullptr);
  EXPECT_TRUE(::DeleteFileW(dir.File(L"one.zip").c_str()));

  CPaintManager::SetResourceArchive(zip.data(), static_cast<uint32_t>(zip.size()));
  EXPECT_EQ(CPaintManager::GetResourceArchiveName(), L"membuffer");
  HZIPARCHIVE memory = CPaintManager::GetHeldArchive();
  ASSERT_NE(memory, nullptr);
  CPaintManager::SetResourceArchive(zip.data(), static_cast<uint32_t>(zip.size()));
  EXPECT_EQ(CPaintManager::GetHeldArchive(), memory);

  CPaintManager::SetResourceArchive(L"missing.zip");
  EXPECT_TRUE(CPaintManager::IsArchiveHeld());
  EXPECT_EQ(CPaintManager::GetHeldArchive(), nullptr);
}

TEST_F(PaintManagerTest, FontListAndDefaultFont) {
  CPaintManager pm;
  const LOGFONTW gui = DescriptionOf(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
  const UIFontRecord* initial = pm.DefaultFontRecord();
  EXPECT_EQ(initial->faceName, gui.lfFaceName);
  EXPECT_EQ(initial->size, -gui.lfHeight);
  EXPECT_GT(initial->metrics.tmHeight, 0);  // measured on request

  HFONT song = pm.AppendFont(L"宋体", 12, false, false, false);
  HFONT bold = pm.AppendFont(L"微软雅黑", 12, true, true, false);
  ASSERT_NE(song, nullptr);
  ASSERT_NE(bold, nullptr);
  EXPECT_EQ(pm.FontCount(), 2);
  EXPECT_EQ(pm.FontAt(0), song);
  EXPECT_EQ(pm.FontAt(1), bold);
  EXPECT_EQ(pm.FontAt(5), pm.DefaultFontRecord()->font.get());
  EXPECT_EQ(pm.FontAt(-1), pm.DefaultFontRecord()->font.get());

  const LOGFONTW boldDescription = DescriptionOf(bold);
  EXPECT_EQ(boldDescription.lfWeight, gui.lfWeight + 700);
  EXPECT_EQ(boldDescription.lfHeight, -12);
  EXPECT_TRUE(boldDescription.lfUnderline);
  EXPECT_EQ(boldDescription.lfCharSet, DEFAULT_CHARSET);

  EXPECT_EQ(pm.FindFontHandle(L"宋体", 12, false, false, false), song);
  EXPECT_EQ(pm.FindFontHandle(L"宋体", 13, false, false, false), nullptr);
  EXPECT_EQ(pm.FindFontHandle(L"微软雅黑", 12, true, false, false), nullptr);
  EXPECT_EQ(pm.FontRecordOf(bold)->faceName, L"微软雅黑");
  EXPECT_EQ(pm.FontRecordAt(1)->metrics.tmHeight > 0, true);
  EXPECT_EQ(pm.FontRecordAt(9), pm.DefaultFontRecord());

  ASSERT_TRUE(pm.ReplaceDefaultFont(L"宋体", 13, false, false, true));
  EXPECT_EQ(pm.DefaultFontRecord()->size, 13);
  EXPECT_TRUE(pm.DefaultFontRecord()->italic);
  EXPECT_EQ(pm.FontAt(7), pm.DefaultFontRecord()->font.get());
}

TEST_F(PaintManagerTest, FaceNamesAreCutTo31Characters) {
  CPaintManager pm;
  const std::wstring longName(40, L'F');
  HFONT font = pm.AppendFont(longName.c_str(), 12, false, false, false);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(std::wstring(DescriptionOf(font).lfFaceName), std::wstring(31, L'F'));
  EXPECT_EQ(pm.FontRecordAt(0)->faceName.GetLength(), 31);
}

TEST_F(PaintManagerTest, ImageCacheHitsAndMisses) {
  TempDir dir;
  WriteFileBytes(dir.File(L"red.png"), skin_fixtures::SolidPng(3, 2, 0xFFFF0000));
  CPaintManager::SetResourceFolder(dir.Path().c_str());
  CPaintManager pm;
  EXPECT_EQ(pm.CachedImage(L"red.png"), nullptr);
  const UIImageRecord* red = pm.GetOrLoadImage(L"red.png");
  ASSERT_NE(red, nullptr);
  EXPECT_EQ(red->width, 3);
  EXPECT_EQ(red->height, 2);
  EXPECT_FALSE(red->alpha);
  EXPECT_EQ(pm.CachedImage(L"red.png"), red);
  EXPECT_EQ(pm.GetOrLoadImage(L"red.png"), red);
  // A second Image element with the same name: the first stays.
  EXPECT_EQ(pm.CacheImage(L"red.png", nullptr, 0xFFFF0000), nullptr);
  EXPECT_EQ(pm.CachedImage(L"red.png"), red);
  EXPECT_EQ(red->mask, 0u);

  // Missing images are not cached, so a later request tries again.
  EXPECT_EQ(pm.GetOrLoadImage(L"late.png"), nullptr);
  WriteFileBytes(dir.File(L"late.png"), skin_fixtures::SolidPng(1, 1, 0x80000000));
  const UIImageRecord* late = pm.GetOrLoadImage(L"late.png");
  ASSERT_NE(late, nullptr);
  EXPECT_TRUE(late->alpha);

  // With a resource type the name must be a number.
  EXPECT_EQ(pm.CacheImage(L"red.png", L"PNG", 0), nullptr);
  EXPECT_EQ(pm.CacheImage(L"151", L"PNG", 0), nullptr);  // no such resource here
  EXPECT_EQ(pm.CachedImage(L"151"), nullptr);
}

TEST_F(PaintManagerTest, ClassDefaultsKeepTheFirstList) {
  CPaintManager pm;
  EXPECT_EQ(pm.ClassDefaults(L"Button"), nullptr);
  pm.AddClassDefaults(L"Button", L"height=\"24\"");
  pm.AddClassDefaults(L"Button", L"height=\"99\"");
  EXPECT_STREQ(pm.ClassDefaults(L"Button"), L"height=\"24\"");
  EXPECT_EQ(pm.ClassDefaults(L"button"), nullptr);
}

TEST_F(PaintManagerTest, DefaultColours) {
  CPaintManager pm;
  EXPECT_EQ(pm.DefaultDisabledColor(), 0xFFA7A6AAu);
  EXPECT_EQ(pm.DefaultTextColor(), 0xFF000000u);
  EXPECT_EQ(pm.DefaultLinkColor(), 0xFF0000FFu);
  EXPECT_EQ(pm.DefaultLinkHoverColor(), 0xFFD3215Fu);
  EXPECT_EQ(pm.DefaultSelectedColor(), 0xFFBAE4FFu);
  pm.SetDefaultTextColor(0xFF123456);
  EXPECT_EQ(pm.DefaultTextColor(), 0xFF123456u);
}

}  // namespace
}  // namespace SkinUI
