// The archiver's callback: progress, stored-name and output-path rewrites, the password
// and the next volume.
#include <windows.h>

#include <cstring>

#include "base/ansi_text.h"
#include "base/folders.h"
#include "engine/archive_job.h"
#include "engine/job_rules.h"
#include "engine/restore_trail.h"

namespace mailstow {
namespace {

int32_t GetInt(const unsigned char* info, size_t offset) {
  int32_t value;
  std::memcpy(&value, info + offset, sizeof(value));
  return value;
}

// Every call of the job asks for UTF-8 texts: a name lies in the archiver's buffer whose
// address the record holds beside the (empty) fixed field of that name. A library that does
// not know the option leaves the address zero and speaks ANSI in the fixed field.
char* NameBuffer(const unsigned char* info, size_t offset) {
  const size_t field = offset == sqx::callback::kFirstName ? sqx::callback::kFirstNameText
                                                           : sqx::callback::kSecondNameText;
  uint64_t address = 0;
  std::memcpy(&address, info + field, sizeof(address));
  return reinterpret_cast<char*>(static_cast<uintptr_t>(address));
}

std::wstring GetName(const unsigned char* info, size_t offset) {
  if (const char* text = NameBuffer(info, offset)) {
    return DecodeUtf8(std::string_view(text, strnlen(text, sqx::callback::kLongNameBytes)));
  }
  const char* fixed = reinterpret_cast<const char*>(info + offset);
  return FromAnsi(std::string_view(fixed, strnlen(fixed, sqx::kNameChars)));
}

// Writes a name; false when the name does not fit.
bool PutName(unsigned char* info, size_t offset, const std::wstring& name) {
  char* text = NameBuffer(info, offset);
  const std::string bytes = text != nullptr ? EncodeUtf8(name) : ToAnsi(name);
  const size_t capacity = text != nullptr ? sqx::callback::kLongNameBytes : sqx::kNameChars;
  if (bytes.size() >= capacity) return false;
  std::memcpy(text != nullptr ? text : reinterpret_cast<char*>(info + offset), bytes.c_str(),
              bytes.size() + 1);
  return true;
}

constexpr unsigned long long kPumpIntervalMs = 15;

long long EntriesBefore(long long counter) { return counter > 0 ? counter - 1 : 0; }

}  // namespace

int32_t SQX_CALL ArchiveJob::EventThunk(void* user, unsigned char* info) {
  return static_cast<ArchiveJob*>(user)->ArchiveEvent(info);
}

const JobEntry* ArchiveJob::EntryForEvent() const {
  if (entries_.empty()) return nullptr;
  // More events than entries (a pattern matching several members) keep the last entry.
  const size_t index = static_cast<size_t>(std::max<long long>(current_entry_, 1)) - 1;
  return &entries_[std::min(index, entries_.size() - 1)];
}

int ArchiveJob::ArchiveEvent(unsigned char* info) {
  // The window processes its messages at most every few milliseconds: often enough to stay
  // responsive and to see Exit at once, but not twice per member, which with thousands of
  // small members costs more than packing them.
  const unsigned long long now = GetTickCount64();
  const bool pump = now - last_pump_ms_ >= kPumpIntervalMs;
  if (pump) host_.ProcessMessages();
  if (host_.cancel_requested() == 1) return 0;
  if (pump) {
    host_.ProcessMessages();
    last_pump_ms_ = GetTickCount64();
  }
  switch (GetInt(info, sqx::callback::kEventKind)) {
    case sqx::kEventProgress: {
      // The counters already include the entry in progress: the bars show the entries
      // before it plus its share, so that the last entry at 100 percent ends at 100.
      const int percent = GetInt(info, sqx::callback::kAmount);
      host_.SetBackupProgress(
          ProgressPosition(EntriesBefore(current_entry_), progress_scale_, percent));
      host_.SetRestoreProgress(
          ProgressPosition(EntriesBefore(extracted_entries_), progress_scale_, percent));
      return 1;
    }
    case sqx::kEventOverwrite:
      return 2;
    case sqx::kEventNextVolume:
      return NextVolume(info);
    case sqx::kEventPassword: {
      if (host_.archive_password().empty()) {
        const auto answer = host_.prompts().AskPassword();
        flags_.password_cancelled = !answer.has_value();
        if (answer) host_.archive_password() = *answer;
      }
      flags_.password_asked = true;
      PutName(info, sqx::callback::kSecondName, host_.archive_password());
      return 1;
    }
    case sqx::kEventStoreEntry: {
      ++current_entry_;
      const JobEntry* entry = EntryForEvent();
      if (entry == nullptr) return 1;
      const std::wstring name = StoredNameFor(GetName(info, sqx::callback::kFirstName),
                                              entry->folder(), entry->strip_prefix());
      return PutName(info, sqx::callback::kFirstName, name) ? 1 : 0;
    }
    case sqx::kEventExtractEntry: {
      ++current_entry_;
      ++extracted_entries_;
      const JobEntry* entry = EntryForEvent();
      if (entry == nullptr) return 1;
      const auto path = OutputPathFor(GetName(info, sqx::callback::kSecondName), staging_folder_,
                                      entry->folder());
      // A member that would land outside its target folder stops the extraction.
      if (!path) return 0;
      // Consecutive members mostly share their entry's folder: create it once per run of them.
      if (entry->folder() != created_folder_) {
        if (trail_ != nullptr) trail_->BeforeFolderCreate(entry->folder());
        CreateFolderTree(entry->folder());
        created_folder_ = entry->folder();
      }
      // A file the restore would replace unrecorded is not written.
      if (trail_ != nullptr && !trail_->BeforeFileWrite(*path)) return 0;
      return PutName(info, sqx::callback::kSecondName, *path) ? 1 : 0;
    }
    case sqx::kEventMemberDamaged:
      damaged_member_ = GetName(info, sqx::callback::kFirstName);
      return 1;
    case sqx::kEventSourceInUse:
      source_in_use_ = GetName(info, sqx::callback::kFirstName);
      return 1;
    case sqx::kEventSourceSkipped:
      skipped_sources_.push_back(GetName(info, sqx::callback::kFirstName));
      return 1;
    case sqx::kEventVerifyEntry:
      // The read-back runs through the entries once more: the bar starts again beneath the
      // page's "Verifying" title, and a failure's "Error line" is the entry read last.
      if (!verifying_) {
        verifying_ = true;
        current_entry_ = 0;
        host_.SetBackupProgress(0);
        host_.ShowVerifying(true);
      }
      ++current_entry_;
      ++verified_entries_;
      return 1;
    default:
      return 1;
  }
}

int ArchiveJob::NextVolume(unsigned char* info) {
  flags_.volume_cancelled = false;
  host_.set_cancel_requested(0);
  const std::wstring text = host_.Message(L"Message36") + L" " +
                            std::to_wstring(GetInt(info, sqx::callback::kDiskNumber));
  const int media = GetInt(info, sqx::callback::kMediaKind);
  // Bytes the next part needs when writing; 0 when reading, where the reader itself asks
  // again for a volume that is still missing.
  const auto needed = static_cast<uint32_t>(GetInt(info, sqx::callback::kAmount));
  const std::wstring volume = GetName(info, sqx::callback::kSecondName);
  // Every request can be cancelled: a volume that cannot be found must not hold the run.
  for (;;) {
    if (host_.prompts().Show(PromptKind::kConfirmation, PromptButtons::kOkCancel, text) !=
        PromptAnswer::kOk) {
      flags_.volume_cancelled = true;
      return 0;
    }
    if (media == 2 || media == 11 || needed == 0) return 1;
    ULARGE_INTEGER free_bytes = {};
    const std::wstring root = volume.size() >= 2 ? volume.substr(0, 2) + L"\\" : volume;
    if (GetDiskFreeSpaceExW(root.c_str(), &free_bytes, nullptr, nullptr) &&
        needed <= free_bytes.QuadPart) {
      return 1;
    }
    host_.prompts().Show(PromptKind::kError, PromptButtons::kOk, host_.Message(L"Message32"));
  }
}

}  // namespace mailstow
