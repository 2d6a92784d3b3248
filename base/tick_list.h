// A list of entries that each carry a tick and may be disabled, addressed by position: the
// identity and item lists that a job offers and reads. The wizard shows them as check-list
// boxes; the adapters fill and read them through this interface.
#pragma once

#include <string>

namespace mailstow {

class TickList {
 public:
  virtual ~TickList() = default;

  virtual void Clear() = 0;
  virtual int Add(const std::wstring& text) = 0;
  virtual int Count() const = 0;
  virtual std::wstring Text(int index) const = 0;
  virtual bool IsTicked(int index) const = 0;
  virtual void SetTicked(int index, bool ticked) = 0;
  virtual bool IsEntryEnabled(int index) const = 0;
  virtual void SetEntryEnabled(int index, bool enabled) = 0;
  // Whether the user may change the list at all (a client whose items all go together
  // disables it).
  virtual void SetListEnabled(bool enabled) = 0;
};

}  // namespace mailstow
