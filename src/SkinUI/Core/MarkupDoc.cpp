#include "SkinUI/Core/MarkupDoc.h"

#include <windows.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "SkinUI/Core/MarkupElement.h"
#include "SkinUI/Core/PaintManager.h"
#include "SkinUI/Utils/ResourceBytes.h"
#include "SkinUI/Utils/UIString.h"

namespace SkinUI {

namespace {

struct Entity {
  const wchar_t* text;
  uint32_t length;
  wchar_t value;
};
constexpr Entity kEntities[] = {
    {L"&amp;", 5, L'&'},  {L"&lt;", 4, L'<'},    {L"&gt;", 4, L'>'},
    {L"&quot;", 6, L'"'}, {L"&apos;", 6, L'\''},
};

void CopyBounded(wchar_t* to, size_t units, const wchar_t* from) {
  wcsncpy(to, from ? from : L"", units - 1);
  to[units - 1] = 0;
}

}  // namespace

CMarkupDoc::CMarkupDoc() = default;

CMarkupDoc::~CMarkupDoc() {
  Clear();
}

void CMarkupDoc::Clear() {
  free(text_);
  free(elements_);
  text_ = nullptr;
  elements_ = nullptr;
  length_ = 0;
  count_ = 0;
  capacity_ = 0;
}

bool CMarkupDoc::LoadText(const wchar_t* text) {
  DCHECK_ON_THREAD(thread_);
  Clear();
  if (text == nullptr) text = L"";
  const size_t length = wcslen(text);
  if (length >= UINT32_MAX) return Fail(L"File too large");
  text_ = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
  if (text_ == nullptr) return Fail(L"File too large");
  wmemcpy(text_, text, length + 1);
  length_ = static_cast<uint32_t>(length);
  if (Parse()) return true;
  Clear();
  return false;
}

bool CMarkupDoc::LoadMemory(const void* bytes, size_t size) {
  DCHECK_ON_THREAD(thread_);
  Clear();
  const auto* in = static_cast<const char*>(bytes);
  if (in == nullptr) size = 0;
  if (size >= 3 && static_cast<uint8_t>(in[0]) == 0xEF && static_cast<uint8_t>(in[1]) == 0xBB &&
      static_cast<uint8_t>(in[2]) == 0xBF) {
    in += 3;
    size -= 3;
  }
  if (size > INT_MAX / 2) return Fail(L"File too large");
  const int units =
      size == 0 ? 0 : ::MultiByteToWideChar(CP_UTF8, 0, in, static_cast<int>(size), nullptr, 0);
  text_ = static_cast<wchar_t*>(malloc((static_cast<size_t>(units) + 1) * sizeof(wchar_t)));
  if (text_ == nullptr) return Fail(L"File too large");
  if (units > 0) ::MultiByteToWideChar(CP_UTF8, 0, in, static_cast<int>(size), text_, units);
  text_[units] = 0;
  // A NUL inside the bytes ends the text, as it would for LoadText.
  length_ = static_cast<uint32_t>(wcslen(text_));
  if (Parse()) return true;
  Clear();
  return false;
}

bool CMarkupDoc::LoadFile(const wchar_t* name) {
  DCHECK_ON_THREAD(thread_);
  Clear();
  if (name == nullptr) name = L"";
  std::vector<uint8_t> bytes;
  const bool fromArchive = !CPaintManager::GetResourceArchiveName().IsEmpty();
  ReadResult result;
  if (fromArchive) {
    HZIPARCHIVE archive = CPaintManager::GetHeldArchive();
    if (archive == nullptr) return Fail(L"Error opening zip file");
    result = ReadWholeEntry(archive, name, kMaxFileSize, bytes);
  } else {
    const CUIString path = CPaintManager::GetResourceFolder() + name;
    result = ReadWholeFile(path, kMaxFileSize, bytes);
  }
  switch (result) {
    case ReadResult::kOk:
      break;
    case ReadResult::kOpenFailed:
      return Fail(fromArchive ? L"Could not find ziped file" : L"Error opening file");
    case ReadResult::kReadFailed:
      return Fail(fromArchive ? L"Could not unzip file" : L"Could not read file");
    case ReadResult::kEmpty:
      return Fail(L"File is empty");
    case ReadResult::kTooLarge:
      return Fail(L"File too large");
  }
  return LoadMemory(bytes.data(), bytes.size());
}

CMarkupElement CMarkupDoc::RootElement() {
  if (count_ < 2) return CMarkupElement();
  return CMarkupElement(this, 1);
}

bool CMarkupDoc::Fail(const wchar_t* message, uint32_t location) {
  CopyBounded(errorMessage_, 100, message);
  errorLocation_[0] = 0;
  if (location != kNoLocation && text_ != nullptr && location < length_) {
    uint32_t n = 0;
    while (n < 49 && location + n < length_ && text_[location + n] != 0) {
      errorLocation_[n] = text_[location + n];
      ++n;
    }
    errorLocation_[n] = 0;
  }
  return false;
}

void CMarkupDoc::SkipWhitespace(uint32_t& pos) const {
  while (pos < length_ && text_[pos] > 0 && text_[pos] <= L' ') ++pos;
}

void CMarkupDoc::SkipIdentifier(uint32_t& pos) const {
  while (pos < length_ && (text_[pos] == L'_' || text_[pos] == L':' || iswalnum(text_[pos]))) ++pos;
}

uint32_t CMarkupDoc::ReserveElement() {
  if (count_ >= capacity_) {
    const uint64_t grown = static_cast<uint64_t>(capacity_) + capacity_ / 2 + 500;
    if (grown > UINT32_MAX / sizeof(Element)) return 0;
    auto* table = static_cast<Element*>(realloc(elements_, grown * sizeof(Element)));
    if (table == nullptr) return 0;
    elements_ = table;
    capacity_ = static_cast<uint32_t>(grown);
  }
  elements_[count_] = Element{};
  return count_++;
}

bool CMarkupDoc::Parse() {
  count_ = 0;
  if (ReserveElement() != 0) return Fail(L"Expected start tag");  // entry 0
  errorMessage_[0] = 0;
  errorLocation_[0] = 0;
  uint32_t pos = 0;
  SkipWhitespace(pos);
  return ParseList(pos, 0, 0);
}

uint32_t CMarkupDoc::ParseData(uint32_t& pos, wchar_t end) {
  uint32_t dest = pos;
  while (pos < length_ && text_[pos] != 0 && text_[pos] != end) {
    if (text_[pos] == L'&') {
      bool decoded = false;
      for (const Entity& entity : kEntities) {
        if (length_ - pos >= entity.length &&
            wcsncmp(text_ + pos, entity.text, entity.length) == 0) {
          text_[dest++] = entity.value;
          pos += entity.length;
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
    }
    // White space is kept as written: attribute values such as image
    // descriptions depend on their spaces.
    text_[dest++] = text_[pos++];
  }
  // Blank out the gap a shortened value leaves, so attribute mapping skips
  // it as whitespace.
  for (uint32_t i = dest + 1; i < pos; ++i) text_[i] = L' ';
  return dest;
}

bool CMarkupDoc::ParseAttributes(uint32_t& pos) {
  if (At(pos) == L'>' || (At(pos) == L'/' && At(pos + 1) == L'>')) return true;
  text_[pos] = 0;  // ends the element name
  ++pos;
  SkipWhitespace(pos);
  while (pos < length_ && At(pos) != 0 && At(pos) != L'>' && At(pos) != L'/') {
    SkipIdentifier(pos);
    const uint32_t nameEnd = pos;
    SkipWhitespace(pos);
    if (At(pos) != L'=') return Fail(L"Error while parsing attributes", pos);
    text_[pos] = L' ';
    text_[nameEnd] = 0;
    ++pos;
    SkipWhitespace(pos);
    if (At(pos) != L'"') return Fail(L"Expected attribute value", pos + 1);
    ++pos;
    const uint32_t dest = ParseData(pos, L'"');
    if (At(pos) != L'"') return Fail(L"Error while parsing attribute string", pos);
    text_[dest] = 0;
    if (dest < pos) text_[pos] = L' ';
    ++pos;
    SkipWhitespace(pos);
  }
  return true;
}

bool CMarkupDoc::ParseList(uint32_t& pos, uint32_t parent, int depth) {
  if (depth > kMaxDepth) return Fail(L"Expected start tag", pos);
  uint32_t previous = 0;
  for (;;) {
    SkipWhitespace(pos);
    if (pos >= length_) return parent <= 1 ? true : Fail(L"Expected start tag", pos);
    if (At(pos) != L'<') return Fail(L"Expected start tag", pos);
    if (At(pos + 1) == L'/') return true;  // the parent's end tag
    text_[pos] = 0;
    ++pos;
    SkipWhitespace(pos);
    if (At(pos) == L'!' || At(pos) == L'?') {
      // Comment or processing instruction: up to "->" or "?>".
      const uint32_t begin = pos;
      const wchar_t terminator = At(pos) == L'!' ? L'-' : L'?';
      while (pos < length_ && !(At(pos) == terminator && At(pos + 1) == L'>')) ++pos;
      if (pos >= length_) return Fail(L"Expected start tag", begin);
      pos += 2;
      continue;
    }
    SkipWhitespace(pos);
    const uint32_t e = ReserveElement();
    if (e == 0) return Fail(L"File too large", pos);
    elements_[e] = Element{pos, 0, 0, parent, 0};
    if (previous != 0) {
      elements_[previous].next = e;
    } else if (parent != 0) {
      elements_[parent].child = e;
    }
    previous = e;

    const uint32_t nameStart = pos;
    SkipIdentifier(pos);
    if (pos >= length_) return Fail(L"Error parsing element name", nameStart);
    const uint32_t nameEnd = pos;
    if (!ParseAttributes(pos)) return false;
    SkipWhitespace(pos);
    if (At(pos) == L'/' && At(pos + 1) == L'>') {
      elements_[e].data = pos;
      text_[pos] = 0;
      pos += 2;
    } else {
      if (At(pos) != L'>') return Fail(L"Expected start-tag closing", pos);
      elements_[e].data = ++pos;
      const uint32_t dataEnd = ParseData(pos, L'<');
      if (pos >= length_) {
        // The text ends inside this element's data: accepted for the root
        // and its children only.
        text_[nameEnd] = 0;
        if (dataEnd < length_) text_[dataEnd] = 0;
        return parent <= 1 ? true : Fail(L"Expected end-tag start", pos);
      }
      if (At(pos) != L'<') return Fail(L"Expected end-tag start", pos);
      if (At(pos + 1) != L'/' && !ParseList(pos, e, depth + 1)) return false;
      if (At(pos) == L'<' && At(pos + 1) == L'/') {
        text_[dataEnd] = 0;
        text_[pos] = 0;
        pos += 2;
        SkipWhitespace(pos);
        const uint32_t nameLength = nameEnd - nameStart;
        if (length_ - pos < nameLength ||
            wcsncmp(text_ + pos, text_ + nameStart, nameLength) != 0) {
          return Fail(L"Unmatched closing tag", pos);
        }
        pos += nameLength;
        SkipWhitespace(pos);
        if (At(pos) != L'>') return Fail(L"Unmatched closing tag", pos);
        ++pos;
      }
    }
    text_[nameEnd] = 0;
  }
}

}  // namespace SkinUI
