#include "SkinUI/Core/MarkupDoc.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SkinFixtures.h"
#include "SkinUI/Core/MarkupElement.h"
#include "SkinUI/Core/PaintManager.h"
#include "support/TempDir.h"

namespace SkinUI {
namespace {

using MarkupDocTest = skin_fixtures::ResourceSettingsTest;

std::wstring Attr(CMarkupElement e, const wchar_t* name) {
  wchar_t buffer[500] = {};
  return e.CopyAttributeValue(name, buffer) ? buffer : L"<none>";
}

CMarkupElement FindByName(CMarkupElement e, const wchar_t* name) {
  for (; e.Exists(); e = e.NextSibling()) {
    if (Attr(e, L"name") == name) return e;
    CMarkupElement found = FindByName(e.FirstChild(), name);
    if (found.Exists()) return found;
  }
  return CMarkupElement();
}

int CountElements(CMarkupElement e) {
  int n = 0;
  for (; e.Exists(); e = e.NextSibling()) n += 1 + CountElements(e.FirstChild());
  return n;
}

// A file LoadFile must refuse, and the message it must give.
struct LoadFailure {
  const wchar_t* name;
  const wchar_t* message;
};

TEST_F(MarkupDocTest, InstallPackagesSkinParses) {
  const std::string xml = skin_fixtures::InstallPackagesXml();
  CMarkupDoc doc;
  ASSERT_TRUE(doc.LoadMemory(xml.data(), xml.size())) << doc.ErrorMessage();
  CMarkupElement root = doc.RootElement();
  ASSERT_TRUE(root.Exists());
  EXPECT_STREQ(root.ElementName(), L"Window");
  EXPECT_EQ(root.AttributeCount(), 9);
  EXPECT_STREQ(root.AttributeName(0), L"size");
  EXPECT_STREQ(root.AttributeValue(0), L"540,355");
  EXPECT_EQ(Attr(root, L"shadowborder"), L"5,4,5,6");
  CMarkupElement font = root.FirstChild();
  EXPECT_STREQ(font.ElementName(), L"Font");
  EXPECT_EQ(Attr(font, L"name"), L"宋体");
  EXPECT_EQ(Attr(font.NextSibling(), L"name"), L"微软雅黑");
  EXPECT_STREQ(font.NextSibling().NextSibling().ElementName(), L"Container");

  CMarkupElement install = FindByName(root, L"btn_install");
  ASSERT_TRUE(install.Exists());
  EXPECT_STREQ(install.ElementName(), L"Button");
  EXPECT_EQ(Attr(install, L"hotimage"), L"file='install_1.png' source='5,5,189,49'");
  EXPECT_FALSE(install.HasChild());
  CMarkupElement agree = FindByName(root, L"opt_agree");
  EXPECT_EQ(Attr(agree, L"text"), L"同意");
  EXPECT_EQ(Attr(agree, L"bkimage"), L"file='opt_000.png' dest='0,4,16,20'");
  EXPECT_EQ(Attr(FindByName(root, L"lb_speed"), L"text"), L"");
  CMarkupElement tabs = FindByName(root, L"tb_main");
  int pages = 0;
  for (CMarkupElement p = tabs.FirstChild(); p.Exists(); p = p.NextSibling()) ++pages;
  EXPECT_EQ(pages, 3);
  EXPECT_EQ(CountElements(root), 34);
}

TEST_F(MarkupDocTest, MessageBoxSkinParsesTheSameWithOrWithoutBom) {
  const std::string xml = skin_fixtures::MessageBoxXml();
  CMarkupDoc plain;
  ASSERT_TRUE(plain.LoadMemory(xml.data(), xml.size())) << plain.ErrorMessage();
  const std::string withBom = "\xEF\xBB\xBF" + xml;
  CMarkupDoc bom;
  ASSERT_TRUE(bom.LoadMemory(withBom.data(), withBom.size()));
  EXPECT_EQ(CountElements(plain.RootElement()), CountElements(bom.RootElement()));
  EXPECT_EQ(CountElements(plain.RootElement()), 23);
  EXPECT_EQ(Attr(FindByName(plain.RootElement(), L"lb_text"), L"text"), L"是否退出安装？");
  EXPECT_EQ(Attr(FindByName(bom.RootElement(), L"ctl_tip_icon"), L"bkimage"),
            L"file='common_tip_icon.png' stretch='false' center='true'");
  EXPECT_EQ(Attr(FindByName(bom.RootElement(), L"btn_cancel"), L"text"), L"取消");
}

TEST_F(MarkupDocTest, EveryParseErrorHasItsMessage) {
  struct Case {
    const wchar_t* text;
    const wchar_t* message;
  };
  const Case cases[] = {
      {L"text<a/>", L"Expected start tag"},
      {L"<a/>junk", L"Expected start tag"},
      {L"<a><b><c/>", L"Expected start tag"},
      {L"<!-- never closed", L"Expected start tag"},
      {L"<?xml never closed", L"Expected start tag"},
      {L"<abc", L"Error parsing element name"},
      {L"<a b=\"1\"", L"Expected start-tag closing"},
      {L"<a b=\"1\"/x>", L"Expected start-tag closing"},
      {L"<a><b><c>text", L"Expected end-tag start"},
      {L"<a></b>", L"Unmatched closing tag"},
      {L"<ab></abc>", L"Unmatched closing tag"},
      {L"<a></a", L"Unmatched closing tag"},
      {L"<a b>", L"Error while parsing attributes"},
      {L"<a b", L"Error while parsing attributes"},
      {L"<a b='1'/>", L"Expected attribute value"},
      {L"<a b=", L"Expected attribute value"},
      {L"<a b=\"1/>", L"Error while parsing attribute string"},
      {L"<a b=\"&amp;", L"Error while parsing attribute string"},
  };
  for (const Case& c : cases) {
    CMarkupDoc doc;
    EXPECT_FALSE(doc.LoadText(c.text)) << c.text;
    EXPECT_STREQ(doc.ErrorMessage(), c.message) << c.text;
    EXPECT_FALSE(doc.RootElement().Exists()) << c.text;
  }
  CMarkupDoc doc;
  ASSERT_FALSE(doc.LoadText(L"<a b='single'/>"));
  EXPECT_STREQ(doc.ErrorLocation(), L"single'/>");  // starts after the offending unit
}

TEST_F(MarkupDocTest, AcceptedShapes) {
  struct Case {
    const wchar_t* text;
    int elements;
  };
  const Case cases[] = {
      {L"<Window size=\"10,20\"/>", 1},
      {L"<?xml version=\"1.0\"?><!-- c --><a/>", 1},
      {L"<a><b>", 2},    // an open root with one open child
      {L"<a/><b/>", 2},  // siblings at the top level
      {L"</a>", 0},      // an end tag first: no element
      {L"", 0},
      {L"<a></a   >", 1},  // whitespace before '>'
      {L"<a b=\"1\"c=\"2\" d = \"3\"/>", 1},
  };
  for (const Case& c : cases) {
    CMarkupDoc doc;
    EXPECT_TRUE(doc.LoadText(c.text)) << c.text << ": " << doc.ErrorMessage();
    EXPECT_EQ(CountElements(doc.RootElement()), c.elements) << c.text;
  }
  CMarkupDoc doc;
  ASSERT_TRUE(doc.LoadText(L"<Window size=\"10,20\"/>"));
  CMarkupElement root = doc.RootElement();
  EXPECT_EQ(root.AttributeCount(), 1);
  EXPECT_STREQ(root.AttributeValue(0), L"10,20");
  EXPECT_STREQ(root.AttributeName(1), L"");
  EXPECT_FALSE(root.HasChild());

  ASSERT_TRUE(doc.LoadText(L"<a/><b x=\"1\"/>"));
  EXPECT_STREQ(doc.RootElement().ElementName(), L"a");
  EXPECT_STREQ(doc.RootElement().NextSibling().ElementName(), L"b");

  ASSERT_TRUE(doc.LoadText(L"<a b=\"1\"c=\"2\" d = \"3\"/>"));
  root = doc.RootElement();
  ASSERT_EQ(root.AttributeCount(), 3);
  EXPECT_STREQ(root.AttributeName(1), L"c");
  EXPECT_STREQ(root.AttributeName(2), L"d");
  EXPECT_STREQ(root.AttributeValue(2), L"3");
}

TEST_F(MarkupDocTest, EntitiesDecodeAndLaterAttributesStillMap) {
  CMarkupDoc doc;
  ASSERT_TRUE(doc.LoadText(
      L"<D v=\"&amp;&lt;&gt;&quot;&apos;\" w=\"&nbsp;&#65;&AMP;\" x=\"last\">a&amp;b</D>"));
  CMarkupElement root = doc.RootElement();
  ASSERT_EQ(root.AttributeCount(), 3);
  EXPECT_STREQ(root.AttributeValue(0), L"&<>\"'");
  EXPECT_STREQ(root.AttributeName(1), L"w");
  EXPECT_STREQ(root.AttributeValue(1), L"&nbsp;&#65;&AMP;");
  EXPECT_STREQ(root.AttributeName(2), L"x");
  EXPECT_STREQ(root.AttributeValue(2), L"last");

  // A Default element's value with its quotes written as entities.
  ASSERT_TRUE(
      doc.LoadText(L"<Window><Default name=\"Button\" value=\"height=&quot;24&quot; "
                   L"font=&quot;1&quot;\"/></Window>"));
  EXPECT_EQ(Attr(doc.RootElement().FirstChild(), L"value"), L"height=\"24\" font=\"1\"");
}

TEST_F(MarkupDocTest, AttributeLimits) {
  std::wstring text = L"<a";
  for (int i = 0; i < 65; ++i)
    text += L" n" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
  text += L" long=\"" + std::wstring(600, L'v') + L"\"/>";
  CMarkupDoc doc;
  ASSERT_TRUE(doc.LoadText(text.c_str()));
  CMarkupElement root = doc.RootElement();
  EXPECT_EQ(root.AttributeCount(), 64);
  EXPECT_STREQ(root.AttributeName(63), L"n63");
  EXPECT_EQ(Attr(root, L"n64"), L"<none>");

  ASSERT_TRUE(doc.LoadText((L"<a long=\"" + std::wstring(600, L'v') + L"\"/>").c_str()));
  wchar_t buffer[500] = {};
  root = doc.RootElement();
  ASSERT_TRUE(root.CopyAttributeValue(L"long", buffer));
  EXPECT_EQ(std::wstring(buffer), std::wstring(499, L'v'));
  EXPECT_FALSE(root.CopyAttributeValue(L"Long", buffer));
}

TEST_F(MarkupDocTest, InvalidHandleAnswersNothing) {
  CMarkupElement none;
  EXPECT_FALSE(none.Exists());
  EXPECT_FALSE(none.FirstChild().Exists());
  EXPECT_EQ(none.ElementName(), nullptr);
  EXPECT_EQ(none.AttributeCount(), 0);
  wchar_t buffer[500];
  EXPECT_FALSE(none.CopyAttributeValue(L"x", buffer));
}

TEST_F(MarkupDocTest, DeepNestingFailsInsteadOfOverflowingTheStack) {
  std::wstring text;
  for (int i = 0; i < 100000; ++i) text += L"<a>";
  CMarkupDoc doc;
  EXPECT_FALSE(doc.LoadText(text.c_str()));
  EXPECT_STREQ(doc.ErrorMessage(), L"Expected start tag");
}

TEST_F(MarkupDocTest, LoadFileFromTheResourceFolder) {
  TempDir dir;
  WriteFileBytes(dir.File(L"skin.xml"), skin_fixtures::MessageBoxXml());
  WriteFileBytes(dir.File(L"empty.xml"), "");
  std::string exact(CMarkupDoc::kMaxFileSize, ' ');
  exact.replace(0, 4, "<a/>");
  WriteFileBytes(dir.File(L"exact.xml"), exact);
  WriteFileBytes(dir.File(L"over.xml"), exact + " ");
  WriteFileBytes(dir.File(L"locked.xml"), "<a/>");
  CPaintManager::SetResourceFolder(dir.Path().c_str());

  CMarkupDoc doc;
  EXPECT_TRUE(doc.LoadFile(L"skin.xml")) << doc.ErrorMessage();
  EXPECT_STREQ(doc.RootElement().ElementName(), L"Window");
  EXPECT_TRUE(doc.LoadFile(L"exact.xml")) << doc.ErrorMessage();

  const LoadFailure cases[] = {
      {L"missing.xml", L"Error opening file"},
      {L"empty.xml", L"File is empty"},
      {L"over.xml", L"File too large"},
  };
  for (const LoadFailure& c : cases) {
    EXPECT_FALSE(doc.LoadFile(c.name)) << c.name;
    EXPECT_STREQ(doc.ErrorMessage(), c.message) << c.name;
    EXPECT_STREQ(doc.ErrorLocation(), L"");
    EXPECT_FALSE(doc.RootElement().Exists());
  }

  // A source that opens but cannot be read as a file: a pipe.
  CPaintManager::SetResourceFolder(L"");
  const wchar_t* pipeName = L"\\\\.\\pipe\\tessel-skin-markup-test";
  HANDLE pipe =
      ::CreateNamedPipeW(pipeName, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 64, 64, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(doc.LoadFile(pipeName));
  EXPECT_STREQ(doc.ErrorMessage(), L"Could not read file");
  ::CloseHandle(pipe);
}

TEST_F(MarkupDocTest, LoadFileFromTheResourceArchive) {
  using skin_fixtures::ZipItem;
  ZipItem broken{"broken.xml", "<a/>", 0, ""};
  broken.packedOverride = "<b/>";  // same length, wrong CRC
  const std::string zip =
      skin_fixtures::BuildZip({{"skin/InstallPackages.xml", skin_fixtures::InstallPackagesXml(), 8},
                               {"empty.xml", "", 8},
                               {"huge.xml", std::string(CMarkupDoc::kMaxFileSize + 1, ' '), 8},
                               broken});
  TempDir dir;
  WriteFileBytes(dir.File(L"skin.zip"), zip);
  CPaintManager::SetResourceFolder(dir.Path().c_str());
  CPaintManager::SetResourceArchive(L"skin.zip");

  CMarkupDoc doc;
  EXPECT_TRUE(doc.LoadFile(L"SKIN\\installpackages.xml")) << doc.ErrorMessage();
  EXPECT_STREQ(doc.RootElement().ElementName(), L"Window");
  const LoadFailure cases[] = {
      {L"nothere.xml", L"Could not find ziped file"},
      {L"empty.xml", L"File is empty"},
      {L"huge.xml", L"File too large"},
      {L"broken.xml", L"Could not unzip file"},
  };
  for (const LoadFailure& c : cases) {
    EXPECT_FALSE(doc.LoadFile(c.name)) << c.name;
    EXPECT_STREQ(doc.ErrorMessage(), c.message) << c.name;
  }
  CPaintManager::SetResourceArchive(L"no-such.zip");
  EXPECT_TRUE(CPaintManager::IsArchiveHeld());
  EXPECT_FALSE(doc.LoadFile(L"skin/InstallPackages.xml"));
  EXPECT_STREQ(doc.ErrorMessage(), L"Error opening zip file");
}

}  // namespace
}  // namespace SkinUI
