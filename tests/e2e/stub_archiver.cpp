// A stand-in archiver library for start-up tests: it exports the archiver's entry points
// (all of them, or all but one when built as the incomplete variant) and does nothing.
#include "sqx/sqx_api.h"

extern "C" {
int32_t SQX_CALL SqxInitFileList(sqx::FileList*) { return 0; }
int32_t SQX_CALL SqxDoneFileList(sqx::FileList*) { return 0; }
int32_t SQX_CALL SqxAddFileList(const char*, sqx::FileList*) { return 0; }
int32_t SQX_CALL SqxInitArcFileList(sqx::ArcFileList*) { return 0; }
int32_t SQX_CALL SqxDoneArcFileList(sqx::ArcFileList*) { return 0; }
int32_t SQX_CALL SqxAddArchiveComment(const char*, const char*) { return 0; }
int32_t SQX_CALL SqxAddFileComments(const char*, sqx::FileList*, const char*) { return 0; }
int32_t SQX_CALL SqxAddFiles(const char*, sqx::FileList*, unsigned char*, sqx::Callback, void*) {
  return 0;
}
int32_t SQX_CALL SqxExtractFiles(const char*, sqx::FileList*, unsigned char*, sqx::Callback,
                                 void*) {
  return 0;
}
int32_t SQX_CALL SqxTestFiles(const char*, sqx::FileList*, unsigned char*, sqx::Callback, void*) {
  return 0;
}
int32_t SQX_CALL SqxDeleteFiles(const char*, sqx::FileList*, sqx::Callback, void*) { return 0; }
int32_t SQX_CALL SqxListFiles(const char*, sqx::FileList*, sqx::ArcFileList*, unsigned char*,
                              unsigned char*, sqx::Callback, void*) {
  return 0;
}
#ifndef STUB_WITHOUT_REPAIR
int32_t SQX_CALL SqxRepairFiles(const char*, sqx::Callback, void*) { return 0; }
#endif
}
