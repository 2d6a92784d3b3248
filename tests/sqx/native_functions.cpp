#include "sqx/sqx_exports.h"
#include "tests/sqx/sqx_functions.h"

namespace sqx::testing {

const SqxFunctions& Sqx() {
  static const SqxFunctions functions = {
      SqxInitFileList,    SqxDoneFileList,      SqxAddFileList,     SqxInitArcFileList,
      SqxDoneArcFileList, SqxAddArchiveComment, SqxAddFileComments, SqxAddFiles,
      SqxExtractFiles,    SqxTestFiles,         SqxDeleteFiles,     SqxListFiles,
      SqxRepairFiles};
  return functions;
}

}  // namespace sqx::testing
