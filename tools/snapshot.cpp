#include "tools/snapshot.h"

#include <algorithm>
#include <map>

#include "tools/utf_text.h"

namespace mailstow {
namespace {

constexpr size_t kShownTextLength = 60;
constexpr size_t kShownBytes = 16;

std::wstring ValueLabel(const std::wstring& key, const std::wstring& name) {
  return key + L" [" + (name.empty() ? L"(default)" : name) + L"]";
}

std::wstring ShowData(uint32_t type, const std::vector<uint8_t>& data) {
  if (type == kTypeString || type == kTypeExpandString) {
    std::wstring text = FromUtf16Bytes(data);
    if (text.size() > kShownTextLength) text = text.substr(0, kShownTextLength) + L"...";
    return L"\"" + text + L"\"";
  }
  if (type == kTypeDword && data.size() == 4) {
    const uint32_t number = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t{data[3]} << 24);
    return std::to_wstring(number);
  }
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  for (size_t i = 0; i < data.size() && i < kShownBytes; ++i) {
    if (i > 0) hex += L' ';
    hex += kDigits[data[i] >> 4];
    hex += kDigits[data[i] & 0xF];
  }
  if (data.size() > kShownBytes) hex += L" ...";
  return L"<" + hex + L"> (" + std::to_wstring(data.size()) + L" bytes)";
}

// Items indexed by their folded name, so that both sides pair up as Windows would pair them.
template <typename T, typename NameOf>
std::map<std::wstring, const T*> ByFoldedName(const std::vector<T>& items, NameOf name_of) {
  std::map<std::wstring, const T*> index;
  for (const T& item : items) index.emplace(FoldCase(name_of(item)), &item);
  return index;
}

// Calls added(after), missing(before) or both(before, after) for every name of either side, in
// folded-name order.
template <typename T, typename NameOf, typename Added, typename Missing, typename Both>
void Pair(const std::vector<T>& before, const std::vector<T>& after, NameOf name_of, Added added,
          Missing missing, Both both) {
  const auto old_items = ByFoldedName(before, name_of);
  const auto new_items = ByFoldedName(after, name_of);
  auto old_it = old_items.begin();
  auto new_it = new_items.begin();
  while (old_it != old_items.end() || new_it != new_items.end()) {
    if (new_it == new_items.end() || (old_it != old_items.end() && old_it->first < new_it->first)) {
      missing(*old_it->second);
      ++old_it;
    } else if (old_it == old_items.end() || new_it->first < old_it->first) {
      added(*new_it->second);
      ++new_it;
    } else {
      both(*old_it->second, *new_it->second);
      ++old_it, ++new_it;
    }
  }
}

void CompareValues(const KeyShot& old_key, const KeyShot& new_key, std::vector<std::wstring>& out) {
  const std::wstring& key = new_key.path;
  Pair(
      old_key.values, new_key.values, [](const ValueShot& v) { return v.name; },
      [&](const ValueShot& v) {
        out.push_back(L"value added: " + ValueLabel(key, v.name) + L" = " + TypeName(v.type) +
                      L" " + ShowData(v.type, v.data));
      },
      [&](const ValueShot& v) { out.push_back(L"value missing: " + ValueLabel(key, v.name)); },
      [&](const ValueShot& was, const ValueShot& now) {
        const std::wstring label = ValueLabel(key, now.name);
        if (was.name != now.name) {
          out.push_back(L"value name spelled differently: " + ValueLabel(key, was.name) +
                        L" is now [" + now.name + L"]");
        }
        if (was.type != now.type) {
          out.push_back(L"value type changed: " + label + L" " + TypeName(was.type) + L" -> " +
                        TypeName(now.type));
        }
        if (was.data != now.data) {
          out.push_back(L"value data changed: " + label + L" " + ShowData(was.type, was.data) +
                        L" -> " + ShowData(now.type, now.data));
        }
      });
}

void CompareKeys(const Snapshot& before, const Snapshot& after, std::vector<std::wstring>& out) {
  Pair(
      before.keys, after.keys, [](const KeyShot& k) { return k.path; },
      [&](const KeyShot& k) {
        out.push_back(L"key added: " + k.path);
        for (const ValueShot& v : k.values) {
          out.push_back(L"value added: " + ValueLabel(k.path, v.name) + L" = " + TypeName(v.type) +
                        L" " + ShowData(v.type, v.data));
        }
      },
      [&](const KeyShot& k) {
        out.push_back(L"key missing: " + k.path);
        for (const ValueShot& v : k.values) {
          out.push_back(L"value missing: " + ValueLabel(k.path, v.name));
        }
      },
      [&](const KeyShot& was, const KeyShot& now) {
        if (was.path != now.path) {
          out.push_back(L"key spelled differently: " + was.path + L" is now " + now.path);
        }
        CompareValues(was, now, out);
      });
}

std::wstring Kind(const FileShot& f) { return f.folder ? L"folder" : L"file"; }

void CompareFiles(const Snapshot& before, const Snapshot& after, std::vector<std::wstring>& out) {
  Pair(
      before.files, after.files, [](const FileShot& f) { return f.path; },
      [&](const FileShot& f) {
        out.push_back(Kind(f) + L" added: " + f.path +
                      (f.folder ? L"" : L" (" + std::to_wstring(f.size) + L" bytes)"));
      },
      [&](const FileShot& f) { out.push_back(Kind(f) + L" missing: " + f.path); },
      [&](const FileShot& was, const FileShot& now) {
        if (was.path != now.path) {
          out.push_back(Kind(was) + L" spelled differently: " + was.path + L" is now " + now.path);
        }
        if (was.folder != now.folder) {
          out.push_back(Kind(was) + L" became a " + Kind(now) + L": " + now.path);
        } else if (was.size != now.size) {
          out.push_back(L"file size changed: " + now.path + L" " + std::to_wstring(was.size) +
                        L" -> " + std::to_wstring(now.size) + L" bytes");
        } else if (was.hash != now.hash) {
          out.push_back(L"file content changed: " + now.path);
        }
      });
}

}  // namespace

std::vector<std::wstring> Differences(const Snapshot& before, const Snapshot& after) {
  std::vector<std::wstring> out;
  CompareKeys(before, after, out);
  CompareFiles(before, after, out);
  return out;
}

std::wstring TypeName(uint32_t type) {
  switch (type) {
    case 0:
      return L"REG_NONE";
    case kTypeString:
      return L"REG_SZ";
    case kTypeExpandString:
      return L"REG_EXPAND_SZ";
    case kTypeBinary:
      return L"REG_BINARY";
    case kTypeDword:
      return L"REG_DWORD";
    case kTypeMultiString:
      return L"REG_MULTI_SZ";
    case kTypeQword:
      return L"REG_QWORD";
    default:
      return L"type " + std::to_wstring(type);
  }
}

}  // namespace mailstow
