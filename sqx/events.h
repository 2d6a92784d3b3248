// Events the archiver core raises towards its caller, and the progress pacing.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "sqx/sqx_api.h"

namespace sqx {

struct Event {
  EventKind kind = kEventProgress;
  std::string first_name;   // UTF-8, "\" separators
  std::string second_name;  // UTF-8, "\" separators
  int32_t media_kind = 0;
  int64_t amount = 0;
  int32_t disk_number = 0;
};

constexpr int32_t kAnswerAbort = 0;
constexpr int32_t kAnswerContinue = 1;
constexpr int32_t kAnswerOverwrite = 2;
constexpr int32_t kAnswerUnusable = -1;  // a name did not fit the caller's record

class EventSink {
 public:
  virtual ~EventSink() = default;
  // Delivers the event; the caller may rewrite its names. Returns the caller's answer.
  virtual int32_t Raise(Event* event) = 0;
};

// Raises the event and turns an abort or an unusable exchange into a status.
Status RaiseChecked(EventSink& sink, Event* event, int32_t* answer = nullptr);

// Reports the percent of the current file whenever it grows by a whole step, and at least
// every 200 ms, so that the caller can cancel promptly even within a file of gigabytes.
class ProgressPacer {
 public:
  ProgressPacer(EventSink& sink, uint64_t total)
      : sink_(sink), total_(total), reported_at_(std::chrono::steady_clock::now()) {}
  // Records `done` bytes of the file; raises an event when the percent moved on or a while
  // has passed since the last one.
  Status Advance(uint64_t done);
  // Raises the final 100 percent.
  Status Finish();

 private:
  EventSink& sink_;
  uint64_t total_;
  int32_t reported_ = -1;
  std::chrono::steady_clock::time_point reported_at_;
};

}  // namespace sqx
