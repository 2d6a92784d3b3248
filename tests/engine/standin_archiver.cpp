// A stand-in archiver library for failures the test machine cannot produce on demand
// (a full disk, a write-protected drive): it exports the archiver's entry points, and
// packing and extracting return the status named by MAILSTOW_STANDIN_STATUS.
#include <windows.h>

#include <cstdlib>

#include "sqx/sqx_api.h"

namespace {

int32_t RequestedStatus() {
  char text[32] = {};
  if (GetEnvironmentVariableA("MAILSTOW_STANDIN_STATUS", text, sizeof(text)) == 0) return 0;
  return static_cast<int32_t>(std::atoi(text));
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
int32_t SQX_CALL SqxAddFiles(const char*, sqx::FileList*, unsigned char*, sqx::Callback, void*) {
  return RequestedStatus();
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
