#include "sqx/callback_sink.h"

#include <cstring>
#include <limits>

namespace sqx {
namespace {

void Put32(unsigned char* record, size_t offset, int32_t value) {
  std::memcpy(record + offset, &value, sizeof(value));
}

bool PutName(unsigned char* record, size_t offset, const std::string& host) {
  if (host.size() >= kNameChars) return false;
  std::memcpy(record + offset, host.data(), host.size());
  return true;
}

std::string GetName(const unsigned char* record, size_t offset) {
  const char* text = reinterpret_cast<const char*>(record + offset);
  return std::string(text, strnlen(text, kNameChars - 1));
}

// Fills a long-name buffer and stores its address in the record's 8-byte field.
bool PutText(unsigned char* record, size_t offset, char* buffer, const std::string& utf8) {
  if (utf8.size() >= callback::kLongNameBytes) return false;
  std::memcpy(buffer, utf8.data(), utf8.size());
  buffer[utf8.size()] = '\0';
  const auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(buffer));
  std::memcpy(record + offset, &address, sizeof(address));
  return true;
}

std::string GetText(const char* buffer) {
  return std::string(buffer, strnlen(buffer, callback::kLongNameBytes - 1));
}

}  // namespace

int32_t CallbackSink::Raise(Event* event) {
  if (callback_ == nullptr)
    return event->kind == kEventOverwrite ? kAnswerOverwrite : kAnswerContinue;
  unsigned char record[callback::kSize] = {};
  Put32(record, 0, static_cast<int32_t>(callback::kSize));
  if (texts_.utf8) {
    if (first_text_ == nullptr) {
      first_text_ = std::make_unique<char[]>(callback::kLongNameBytes);
      second_text_ = std::make_unique<char[]>(callback::kLongNameBytes);
    }
    if (!PutText(record, callback::kFirstNameText, first_text_.get(), event->first_name) ||
        !PutText(record, callback::kSecondNameText, second_text_.get(), event->second_name)) {
      return kAnswerUnusable;
    }
  } else if (!PutName(record, callback::kFirstName, Utf8ToHost(event->first_name)) ||
             !PutName(record, callback::kSecondName, Utf8ToHost(event->second_name))) {
    return kAnswerUnusable;
  }
  Put32(record, callback::kMediaKind, event->media_kind);
  Put32(record, callback::kEventKind, event->kind);
  const int64_t most = std::numeric_limits<int32_t>::max();
  Put32(record, callback::kAmount,
        static_cast<int32_t>(event->amount > most ? most : event->amount));
  Put32(record, callback::kDiskNumber, event->disk_number);
  const int32_t answer = callback_(user_, record);
  if (texts_.utf8) {
    event->first_name = GetText(first_text_.get());
    event->second_name = GetText(second_text_.get());
  } else {
    event->first_name = HostToUtf8(GetName(record, callback::kFirstName));
    event->second_name = HostToUtf8(GetName(record, callback::kSecondName));
  }
  return answer;
}

}  // namespace sqx
