#include "sqx/events.h"

namespace sqx {

Status RaiseChecked(EventSink& sink, Event* event, int32_t* answer) {
  const int32_t result = sink.Raise(event);
  if (answer != nullptr) *answer = result;
  if (result == kAnswerUnusable) return kStatusBadArgument;
  if (result == kAnswerAbort) return kStatusAborted;
  return kStatusOk;
}

Status ProgressPacer::Advance(uint64_t done) {
  if (total_ == 0) return kStatusOk;
  const auto percent = static_cast<int32_t>(done >= total_ ? 100 : done * 100 / total_);
  if (percent >= 100) return kStatusOk;
  const auto now = std::chrono::steady_clock::now();
  if (percent == reported_ && now - reported_at_ < std::chrono::milliseconds(200)) {
    return kStatusOk;
  }
  reported_ = percent;
  reported_at_ = now;
  Event event;
  event.kind = kEventProgress;
  event.amount = percent;
  return RaiseChecked(sink_, &event);
}

Status ProgressPacer::Finish() {
  reported_ = 100;
  Event event;
  event.kind = kEventProgress;
  event.amount = 100;
  return RaiseChecked(sink_, &event);
}

}  // namespace sqx
