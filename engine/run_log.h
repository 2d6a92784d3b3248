// The plain-text log of the current action ("Log.txt" or "AutoLog.txt" in the program
// folder), lines ending with CR LF in UTF-8 after a byte-order mark.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace mailstow {

class RunLog {
 public:
  RunLog() = default;
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates or truncates the file and writes the local date and time as its first line.
  bool Open(const std::wstring& path);
  void Close();
  bool is_open() const { return file_ != nullptr; }
  // Writes one line; does nothing while no log is open. Lines are buffered (a job of
  // thousands of entries writes several lines per entry) until Flush or Close.
  void Line(std::wstring_view text);
  void Flush();

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace mailstow
