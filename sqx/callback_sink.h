// Delivers core events to the caller's callback through its CallbackInfo record.
#pragma once

#include <memory>

#include "sqx/events.h"
#include "sqx/host_text.h"
#include "sqx/sqx_api.h"

namespace sqx {

class CallbackSink : public EventSink {
 public:
  CallbackSink(Callback callback, void* user, InterfaceTexts texts = {})
      : callback_(callback), user_(user), texts_(texts) {}
  int32_t Raise(Event* event) override;

 private:
  Callback callback_;
  void* user_;
  InterfaceTexts texts_;
  // With UTF-8 texts: the buffers the record's name pointers lead to, made on first use.
  std::unique_ptr<char[]> first_text_;
  std::unique_ptr<char[]> second_text_;
};

}  // namespace sqx
