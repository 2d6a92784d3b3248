// A stand-in archiver library for failures the test machine cannot produce on demand
// (a full disk, a write-protected drive, an archive that does not read back): it exports the
// archiver's entry points, and packing and extracting return the status named by
// MAILSTOW_STANDIN_STATUS. A pack that fails its read-back first reads back one member and
// names MAILSTOW_STANDIN_DAMAGED as damaged, as the real library does.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "sqx/sqx_api.h"

namespace {

int32_t RequestedStatus() {
  char text[32] = {};
  if (GetEnvironmentVariableA("MAILSTOW_STANDIN_STATUS", text, sizeof(text)) == 0) return 0;
  return static_cast<int32_t>(std::atoi(text));
}

// Raises an event with a first name through the caller's callback.
void Raise(sqx::Callback callback, void* user, int32_t kind, const char* name) {
  unsigned char info[sqx::callback::kSize] = {};
  std::memcpy(info + sqx::callback::kEventKind, &kind, sizeof(kind));
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
int32_t SQX_CALL SqxExtractFiles(const char*, sqx::FileList*, unsigned char*, sqx::Callback,
                                 void*) {
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
