// The exported entry points of the archiver library (see sqx_api.h for their records).
#pragma once

#include "sqx/sqx_api.h"

extern "C" {
int32_t SQX_CALL SqxInitFileList(sqx::FileList* list);
int32_t SQX_CALL SqxDoneFileList(sqx::FileList* list);
int32_t SQX_CALL SqxAddFileList(const char* name, sqx::FileList* list);
int32_t SQX_CALL SqxInitArcFileList(sqx::ArcFileList* list);
int32_t SQX_CALL SqxDoneArcFileList(sqx::ArcFileList* list);
int32_t SQX_CALL SqxAddArchiveComment(const char* archive, const char* comment);
int32_t SQX_CALL SqxAddFileComments(const char* archive, sqx::FileList* list, const char* comment);
int32_t SQX_CALL SqxAddFiles(const char* archive, sqx::FileList* list,
                             unsigned char* compress_options, sqx::Callback callback, void* user);
int32_t SQX_CALL SqxExtractFiles(const char* archive, sqx::FileList* list,
                                 unsigned char* extract_options, sqx::Callback callback,
                                 void* user);
int32_t SQX_CALL SqxTestFiles(const char* archive, sqx::FileList* list,
                              unsigned char* extract_options, sqx::Callback callback, void* user);
int32_t SQX_CALL SqxDeleteFiles(const char* archive, sqx::FileList* list, sqx::Callback callback,
                                void* user);
int32_t SQX_CALL SqxListFiles(const char* archive, sqx::FileList* list, sqx::ArcFileList* contents,
                              unsigned char* scratch, unsigned char* extract_options,
                              sqx::Callback callback, void* user);
int32_t SQX_CALL SqxRepairFiles(const char* archive, sqx::Callback callback, void* user);
}
