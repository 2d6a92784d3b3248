// Delivers core events to the caller's callback through its CallbackInfo record.
#pragma once

#include "sqx/events.h"
#include "sqx/sqx_api.h"

namespace sqx {

class CallbackSink : public EventSink {
 public:
  CallbackSink(Callback callback, void* user) : callback_(callback), user_(user) {}
  int32_t Raise(Event* event) override;

 private:
  Callback callback_;
  void* user_;
};

}  // namespace sqx
