#include "sqx/callback_sink.h"

#include <cstring>
#include <limits>

#include "sqx/host_text.h"

namespace sqx {
namespace {

void Put32(unsigned char* record, size_t offset, int32_t value) {
  std::memcpy(record + offset, &value, sizeof(value));
}

bool PutName(unsigned char* record, size_t offset, const std::string& utf8) {
  const std::string host = Utf8ToHost(utf8);
  if (host.size() >= kNameChars) return false;
  std::memcpy(record + offset, host.data(), host.size());
  return true;
}

std::string GetName(const unsigned char* record, size_t offset) {
  const char* text = reinterpret_cast<const char*>(record + offset);
  return HostToUtf8(std::string(text, strnlen(text, kNameChars - 1)));
}

}  // namespace

int32_t CallbackSink::Raise(Event* event) {
  if (callback_ == nullptr)
    return event->kind == kEventOverwrite ? kAnswerOverwrite : kAnswerContinue;
  unsigned char record[callback::kSize] = {};
  Put32(record, 0, static_cast<int32_t>(callback::kSize));
  if (!PutName(record, callback::kFirstName, event->first_name) ||
      !PutName(record, callback::kSecondName, event->second_name)) {
    return kAnswerUnusable;
  }
  Put32(record, callback::kMediaKind, event->media_kind);
  Put32(record, callback::kEventKind, event->kind);
  const int64_t most = std::numeric_limits<int32_t>::max();
  Put32(record, callback::kAmount,
        static_cast<int32_t>(event->amount > most ? most : event->amount));
  Put32(record, callback::kDiskNumber, event->disk_number);
  const int32_t answer = callback_(user_, record);
  event->first_name = GetName(record, callback::kFirstName);
  event->second_name = GetName(record, callback::kSecondName);
  return answer;
}

}  // namespace sqx
