#include "tools/world_plan.h"

#include <algorithm>
#include <cmath>

#include "tools/utf_text.h"

namespace mailstow {
namespace {

constexpr uint64_t kSmallestGeneratedFile = 64;

}  // namespace

std::wstring RootName(RegistryRoot root) {
  return root == RegistryRoot::kCurrentUser ? L"HKEY_CURRENT_USER" : L"HKEY_LOCAL_MACHINE";
}

KeyBuilder::KeyBuilder(ClientWorld& world, RegistryRoot root, std::wstring key)
    : world_(&world), root_(root), key_(std::move(key)) {
  world_->registry.push_back({root_, key_, false, {}});
}

KeyBuilder& KeyBuilder::Add(std::wstring name, uint32_t type, std::vector<uint8_t> data) {
  world_->registry.push_back({root_, key_, true, {std::move(name), type, std::move(data)}});
  return *this;
}

KeyBuilder& KeyBuilder::String(std::wstring name, std::wstring_view text) {
  return Add(std::move(name), kTypeString, RegistryStringData(text));
}

KeyBuilder& KeyBuilder::ExpandString(std::wstring name, std::wstring_view text) {
  return Add(std::move(name), kTypeExpandString, RegistryStringData(text));
}

KeyBuilder& KeyBuilder::Dword(std::wstring name, uint32_t number) {
  std::vector<uint8_t> data(4);
  for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(number >> (8 * i));
  return Add(std::move(name), kTypeDword, std::move(data));
}

KeyBuilder& KeyBuilder::Binary(std::wstring name, std::vector<uint8_t> bytes) {
  return Add(std::move(name), kTypeBinary, std::move(bytes));
}

KeyBuilder& KeyBuilder::AnsiText(std::wstring name, std::wstring_view text) {
  Add(std::move(name), kTypeBinary, AnsiTextData(text));
  world_->registry.back().ansi_text = true;
  return *this;
}

KeyBuilder KeyBuilder::Sub(std::wstring_view name) const {
  return KeyBuilder(*world_, root_, key_ + L"\\" + std::wstring(name));
}

std::vector<uint8_t> RegistryStringData(std::wstring_view text) {
  std::vector<uint8_t> data = ToUtf16Bytes(text);
  data.push_back(0);
  data.push_back(0);
  return data;
}

std::vector<uint8_t> AnsiTextData(std::wstring_view text) {
  std::vector<uint8_t> data;
  for (wchar_t c : text) data.push_back(c < 0x100 ? static_cast<uint8_t>(c) : '?');
  data.push_back(0);
  return data;
}

std::wstring FromAnsiTextData(const std::vector<uint8_t>& data) {
  std::wstring text;
  for (uint8_t byte : data) {
    if (byte == 0) break;
    text += static_cast<wchar_t>(byte);
  }
  return text;
}

std::vector<uint8_t> RandomBytes(WorldRandom& random, size_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random.Next());
  return bytes;
}

uint64_t Scaled(uint64_t base_size, double scale) {
  const long long size = std::llround(static_cast<double>(base_size) * std::max(scale, 0.0));
  return std::max<uint64_t>(static_cast<uint64_t>(size), kSmallestGeneratedFile);
}

FileSpec TextFile(std::wstring path, std::string text) {
  FileSpec file;
  file.path = std::move(path);
  file.kind = ContentKind::kText;
  file.size = text.size();
  file.text = std::move(text);
  return file;
}

FileSpec GeneratedFile(std::wstring path, ContentKind kind, uint64_t size, WorldRandom& random) {
  FileSpec file;
  file.path = std::move(path);
  file.kind = kind;
  file.size = size;
  file.content_seed = random.Next();
  return file;
}

}  // namespace mailstow
