#include "tools/snapshot_file.h"

#include <charconv>
#include <vector>

#include "tools/utf_text.h"

namespace mailstow {
namespace {

constexpr std::string_view kHeader = "mailstow-snapshot 1";
constexpr char kHexDigits[] = "0123456789abcdef";

std::string Escape(std::wstring_view text) {
  std::string out;
  for (char c : ToUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '%' || byte == 0x7F) {
      out += '%';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(std::string_view field, std::wstring* text) {
  std::string bytes;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      bytes += field[i];
      continue;
    }
    if (i + 2 >= field.size()) return false;
    const int high = HexValue(field[i + 1]);
    const int low = HexValue(field[i + 2]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  *text = FromUtf8(bytes);
  return true;
}

std::string Hex(const std::vector<uint8_t>& data) {
  std::string hex;
  for (uint8_t byte : data) {
    hex += kHexDigits[byte >> 4];
    hex += kHexDigits[byte & 0xF];
  }
  return hex;
}

bool Unhex(std::string_view hex, std::vector<uint8_t>* data) {
  if (hex.size() % 2 != 0) return false;
  data->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexValue(hex[i]);
    const int low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    data->push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number* number) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *number);
  return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

std::string SerializeSnapshot(const Snapshot& snapshot) {
  std::string text(kHeader);
  text += '\n';
  for (const KeyShot& key : snapshot.keys) {
    text += "K\t" + Escape(key.path) + '\n';
    for (const ValueShot& value : key.values) {
      text += "V\t" + Escape(value.name) + '\t' + std::to_string(value.type) + '\t' +
              Hex(value.data) + '\n';
    }
  }
  for (const FileShot& file : snapshot.files) {
    if (file.folder) {
      text += "D\t" + Escape(file.path) + '\n';
    } else {
      text +=
          "F\t" + Escape(file.path) + '\t' + std::to_string(file.size) + '\t' + file.hash + '\n';
    }
  }
  return text;
}

bool ParseSnapshot(std::string_view text, Snapshot* snapshot, std::wstring* error) {
  *snapshot = Snapshot();
  size_t line_number = 0;
  auto fail = [&](const wchar_t* reason) {
    *error = L"line " + std::to_wstring(line_number) + L": " + reason;
    return false;
  };
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line_number == 1) {
      if (line != kHeader) return fail(L"not a snapshot file");
      continue;
    }
    if (line.empty()) continue;
    const std::vector<std::string_view> fields = Fields(line);
    const std::string_view kind = fields[0];
    if (kind == "K" && fields.size() == 2) {
      KeyShot key;
      if (!Unescape(fields[1], &key.path)) return fail(L"malformed key path");
      snapshot->keys.push_back(std::move(key));
    } else if (kind == "V" && fields.size() == 4) {
      if (snapshot->keys.empty()) return fail(L"value outside a key");
      ValueShot value;
      if (!Unescape(fields[1], &value.name) || !ParseNumber(fields[2], &value.type) ||
          !Unhex(fields[3], &value.data)) {
        return fail(L"malformed value");
      }
      snapshot->keys.back().values.push_back(std::move(value));
    } else if (kind == "F" && fields.size() == 4) {
      FileShot file;
      std::vector<uint8_t> digest;
      if (!Unescape(fields[1], &file.path) || !ParseNumber(fields[2], &file.size) ||
          !Unhex(fields[3], &digest) || digest.size() != 32) {
        return fail(L"malformed file");
      }
      file.hash = Hex(digest);
      snapshot->files.push_back(std::move(file));
    } else if (kind == "D" && fields.size() == 2) {
      FileShot folder;
      folder.folder = true;
      if (!Unescape(fields[1], &folder.path)) return fail(L"malformed folder");
      snapshot->files.push_back(std::move(folder));
    } else {
      return fail(L"unknown line");
    }
  }
  if (line_number == 0) return fail(L"empty file");
  return true;
}

}  // namespace mailstow
