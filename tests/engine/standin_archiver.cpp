// A stand-in archiver library for what the test machine cannot produce on demand (a full
// disk, a write-protected drive, an archive that does not read back, a CD-ROM without the next
// volume): it exports the archiver's entry points; packing and extracting return the status
// named by MAILSTOW_STANDIN_STATUS. A pack that fails its read-back first reads back one member
// and names MAILSTOW_STANDIN_DAMAGED as damaged, as the real library does. With
// MAILSTOW_STANDIN_VOLUME_MEDIA set to a drive type, extracting first asks for volume 2 of a
// split archive on such a drive, again after every answer but Cancel, up to five times.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "sqx/sqx_api.h"

namespace {

int32_t NumberFromEnvironment(const char* name) {
  char text[32] = {};
  if (GetEnvironmentVariableA(name, text, sizeof(text)) == 0) return 0;
  return static_cast<int32_t>(std::atoi(text));
}

int32_t RequestedStatus() { return NumberFromEnvironment("MAILSTOW_STANDIN_STATUS"); }

void Put32(unsigned char* record, size_t offset, int32_t value) {
  memcpy(record + offset, &value, sizeof(value));
}

// Asks for the missing second volume as the reader does on removable media and CD-ROMs;
// false when the callback declined (Cancel).
bool VolumeFound(sqx::Callback callback, void* user) {
  const int32_t media = NumberFromEnvironment("MAILSTOW_STANDIN_VOLUME_MEDIA");
  if (media == 0 || callback == nullptr) return true;
  for (int ask = 0; ask < 5; ++ask) {
    unsigned char record[sqx::callback::kSize] = {};
    Put32(record, 0, static_cast<int32_t>(sqx::callback::kSize));
    Put32(record, sqx::callback::kEventKind, sqx::kEventNextVolume);
    Put32(record, sqx::callback::kMediaKind, media);
    Put32(record, sqx::callback::kDiskNumber, 2);
    if (callback(user, record) == 0) return false;
  }
  return true;
}

// Raises an event with a first name through the caller's callback.
void Raise(sqx::Callback callback, void* user, int32_t kind, const char* name) {
  unsigned char info[sqx::callback::kSize] = {};
  Put32(info, sqx::callback::kEventKind, kind);
  std::memcpy(info + sqx::callback::kFirstName, name, strnlen(name, sqx::kNameChars - 1));
  callback(user, info);
}

}  // namespace

extern "C" {
int32_t SQX_CALL SqxInitFileList(sqx::FileList* list) {
  *list = {};
  return 0;
}
int32_t SQX_CALL SqxDoneFileList(sqx::FileList*) { return 0; }
int32_t SQX_CALL SqxAddFileList(const char*, sqx::FileList* list) {
  ++list->count;
  return 0;
}
int32_t SQX_CALL SqxInitArcFileList(sqx::ArcFileList* list) {
  *list = {};
  return 0;
}
int32_t SQX_CALL SqxDoneArcFileList(sqx::ArcFileList*) { return 0; }
int32_t SQX_CALL SqxAddArchiveComment(const char*, const char*) { return 0; }
int32_t SQX_CALL SqxAddFileComments(const char*, sqx::FileList*, const char*) { return 0; }
int32_t SQX_CALL SqxAddFiles(const char*, sqx::FileList*, unsigned char*, sqx::Callback callback,
                             void* user) {
  const int32_t status = RequestedStatus();
  char damaged[sqx::kNameChars] = {};
  if (status == sqx::kStatusVerifyFailed &&
      GetEnvironmentVariableA("MAILSTOW_STANDIN_DAMAGED", damaged, sizeof(damaged)) != 0) {
    Raise(callback, user, sqx::kEventVerifyEntry, damaged);
    Raise(callback, user, sqx::kEventMemberDamaged, damaged);
  }
  return status;
}
int32_t SQX_CALL SqxExtractFiles(const char*, sqx::FileList*, unsigned char*,
                                 sqx::Callback callback, void* user) {
  if (!VolumeFound(callback, user)) return sqx::kStatusAborted;
  return RequestedStatus();
}
int32_t SQX_CALL SqxTestFiles(const char*, sqx::FileList*, unsigned char*, sqx::Callback, void*) {
  return 0;
}
int32_t SQX_CALL SqxDeleteFiles(const char*, sqx::FileList*, sqx::Callback, void*) { return 0; }
int32_t SQX_CALL SqxListFiles(const char*, sqx::FileList*, sqx::ArcFileList*, unsigned char*,
                              unsigned char*, sqx::Callback, void*) {
  return 0;
}
int32_t SQX_CALL SqxRepairFiles(const char*, sqx::Callback, void*) { return 0; }
}
