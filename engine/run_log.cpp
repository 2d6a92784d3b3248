#include "run_log.h"

#include <windows.h>

#include "base/ansi_text.h"

namespace mailstow {

RunLog::~RunLog() { Close(); }

bool RunLog::Open(const std::wstring& path) {
  Close();
  file_ = _wfopen(path.c_str(), L"wb");
  if (file_ == nullptr) return false;
  std::setvbuf(file_, nullptr, _IOFBF, 64 * 1024);
  // UTF-8 after a byte-order mark: paths of every script are logged as they are.
  std::fwrite("\xEF\xBB\xBF", 1, 3, file_);
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, 128);
  Line(std::wstring(date) + L" " + time);
  return true;
}

void RunLog::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

void RunLog::Line(std::wstring_view text) {
  if (file_ == nullptr) return;
  const std::string bytes = EncodeUtf8(text) + "\r\n";
  std::fwrite(bytes.data(), 1, bytes.size(), file_);
}

void RunLog::Flush() {
  if (file_ != nullptr) std::fflush(file_);
}

}  // namespace mailstow
