// The 13 entry points as the tests reach them: linked directly in the native build,
// resolved by name from Sqx.dll under Windows.
#pragma once

#include <string>

#include "sqx/sqx_api.h"

namespace sqx::testing {

struct SqxFunctions {
  InitFileListFn init_file_list;
  DoneFileListFn done_file_list;
  AddFileListFn add_file_list;
  InitArcFileListFn init_arc_file_list;
  DoneArcFileListFn done_arc_file_list;
  AddArchiveCommentFn add_archive_comment;
  AddFileCommentsFn add_file_comments;
  AddFilesFn add_files;
  ExtractFilesFn extract_files;
  TestFilesFn test_files;
  DeleteFilesFn delete_files;
  ListFilesFn list_files;
  RepairFilesFn repair_files;
};

// Fails the calling test when the entry points cannot be had.
const SqxFunctions& Sqx();

}  // namespace sqx::testing
