// The forms as the captions component sees them: components addressed by form name and
// component name.
#pragma once

#include <string>

namespace mailstow {

class CaptionTarget {
 public:
  virtual ~CaptionTarget() = default;
  // Sets the caption (or, for open and save dialogs, the title) of the component named
  // component on the form named form; both names compare exactly, case-sensitively.
  // Returns false, changing nothing, when there is no such form or component or when the
  // component is of a kind that takes no caption. The forms' own captions are never set
  // this way.
  virtual bool SetComponentText(const std::wstring& form, const std::wstring& component,
                                const std::wstring& text) = 0;
};

}  // namespace mailstow
