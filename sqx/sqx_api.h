// The calling interface of Sqx.dll, the archiver library that Mailstow loads at run time.
//
// Every export is __stdcall and exported under its plain name (no @N decoration).
// Texts are zero-terminated strings in the system ANSI code page, unless the call's option
// record asks for UTF-8 (compress::kUtf8Texts, extract::kUtf8Texts): then every text of that
// call is UTF-8, the archive path, the names of the file list (whenever they were added),
// the record's password and staging folder, the callback's names and the listing's names.
// Inside the archive, member names are stored as UTF-8 (general purpose flag bit 11) with
// "/" as separator, while this interface always speaks "\"; names stored without that flag
// are read as the original IBM PC code page. Records are laid out at the fixed byte offsets
// given below; callers fill them zeroed and set the documented fields.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define SQX_CALL __stdcall
#else
#define SQX_CALL
#endif

namespace sqx {

// Results of SqxAddFiles, SqxExtractFiles and SqxListFiles.
enum Status : int32_t {
  kStatusOk = 0,
  kStatusAccessDenied = 5,
  kStatusInUse = 32,  // a source is held open by another program; kEventSourceInUse names it
  kStatusDiskFull = 101,
  kStatusWriteProtected = 150,
  kStatusAborted = 2926,        // the callback answered 0
  kStatusWrongPassword = 9964,  // an encrypted member did not accept the password
  kStatusNotAnArchive = 9977,   // missing, foreign, corrupt or truncated archive
  kStatusBadArgument = 9990,    // a malformed record, list or path
  kStatusIoError = 9991,        // any other read or write failure
  kStatusUnsupported = 9992,    // an archive feature this library does not read
  kStatusVerifyFailed = 9993,   // the archive as written did not read back (compress::kVerify);
                                // kEventMemberDamaged names the member, or the archive itself
};

// Event kinds raised through the callback (CallbackInfo::event_kind).
enum EventKind : int32_t {
  kEventProgress = 0,       // percent of the current file in `amount`
  kEventOverwrite = 1,      // an output file exists; an answer of 2 overwrites it
  kEventNextVolume = 2,     // removable media: insert the next volume (see CallbackInfo)
  kEventPassword = 3,       // password needed; the answer arrives in second_name
  kEventStoreEntry = 5,     // an entry is about to be stored; first_name may be rewritten
  kEventExtractEntry = 6,   // a member is about to be written; second_name may be rewritten
  kEventMemberDamaged = 7,  // a member failed its checks (header, checksum, authentication
                            // code, stored name); first_name names it; the answer is ignored
  kEventVerifyEntry = 8,    // with compress::kVerify: a member of the archive just written is
                            // about to be read back; first_name is its stored name
  kEventSourceInUse = 9,    // a source cannot be read because another program holds it open;
                            // first_name names it as the list did; the answer is ignored
  // Only with compress::kUtf8Texts: a source that cannot be found or opened under its name
  // (a name the file system refuses, a path too long for it, a file gone since it was
  // listed) is left out and the rest is written; first_name names it as the list did and
  // `amount` holds the status it failed with. An answer of 0 aborts. A source another
  // program holds open still fails the call (kEventSourceInUse), and without the option any
  // such source fails the whole call, as it always did.
  kEventSourceSkipped = 10,
};

constexpr size_t kNameChars = 272;

// Record filled and freed by the library (SqxInitFileList / SqxDoneFileList).
struct FileList {
  int32_t count;
  void* impl;
  int32_t reserved;
};
static_assert(sizeof(void*) != 4 || sizeof(FileList) == 12);

// One node of an archive listing: the next node or null, then the stored name.
struct ArcNode {
  ArcNode* next;
  char name[1];  // zero-terminated, variable length
};

// Record filled and freed by the library (SqxInitArcFileList / SqxDoneArcFileList).
struct ArcFileList {
  int32_t count;
  ArcNode* head;  // offset 4
  void* impl;
};
static_assert(sizeof(void*) != 4 || offsetof(ArcFileList, head) == 4);

// Offsets of CompressOptions (3740 bytes, 32-bit fields unless text).
namespace compress {
constexpr size_t kSize = 3740;
constexpr size_t kRecordSize = 0;  // = 3740
constexpr size_t kLevel = 4;       // deflate effort 1..5 (Mailstow sets 3)
constexpr size_t kPassword = 40;   // text, empty for no password
constexpr size_t kPasswordChars = 256;
constexpr size_t kStagingFolder = 584;  // text, folder for temporary files
constexpr size_t kStagingFolderChars = 260;
constexpr size_t kMultipleVolumes = 1400;  // 1 = split into volumes
constexpr size_t kVolumeSize = 1416;       // bytes, or one of the media codes below
// 1 = before the archive takes its name (replacing an older one), read every member back,
// every volume of a split archive, and check its checksum and, with a password, its
// authentication code; 0 (what older callers leave) writes without reading back.
constexpr size_t kVerify = 1420;
// 1 = every text of the call is UTF-8 and names travel through the callback's name
// buffers (callback::kFirstNameText); 0 (what older callers leave) = the ANSI code page.
constexpr size_t kUtf8Texts = 1424;
}  // namespace compress

// Media codes accepted at compress::kVolumeSize besides a plain byte count.
enum VolumeCode : int32_t {
  kVolumeZip100 = 9,
  kVolumeZip250 = 11,
  kVolumeCd650 = 12,
  kVolumeCd700 = 13,
};
constexpr int32_t kVolumeFloppyBytes = 1357664;

// Offsets of ExtractOptions (828 bytes).
namespace extract {
constexpr size_t kSize = 828;
constexpr size_t kRecordSize = 0;       // = 828
constexpr size_t kKeepFolders = 8;      // 0: file name alone, 1: keep stored inner folders
constexpr size_t kUtf8Texts = 12;       // as compress::kUtf8Texts, for extracting and listing
constexpr size_t kStagingFolder = 556;  // text: folder under which output paths are proposed
constexpr size_t kStagingFolderChars = 260;
}  // namespace extract

// Offsets of CallbackInfo (584 bytes).
namespace callback {
constexpr size_t kSize = 584;
constexpr size_t kFirstName = 4;     // kNameChars
constexpr size_t kSecondName = 276;  // kNameChars
// With the UTF-8 option the fixed name fields stay empty: each of these 8-byte fields holds
// a pointer (in its low 4 bytes on 32-bit hosts) to a buffer of kLongNameBytes bytes owned
// by the library, holding the name zero-terminated. The callback reads a name there and
// rewrites it in place (a zero-terminated name within kLongNameBytes); the buffers live
// until the callback returns.
constexpr size_t kFirstNameText = 548;
constexpr size_t kSecondNameText = 556;
// Room for the longest path Windows knows (32767 UTF-16 units) in UTF-8, and its zero.
constexpr size_t kLongNameBytes = 3 * 32767 + 1;
constexpr size_t kMediaKind = 564;  // drive type of the volume's drive
constexpr size_t kEventKind = 572;
constexpr size_t kAmount = 576;  // percent of the current file, or bytes needed
constexpr size_t kDiskNumber = 580;
}  // namespace callback

constexpr size_t kListScratchSize = 360;

// The callback: answer 1 to continue, 0 to abort (other answers as the event says).
using Callback = int32_t(SQX_CALL*)(void* user, unsigned char* callback_info);

extern "C" {
using InitFileListFn = int32_t(SQX_CALL*)(FileList* list);
using DoneFileListFn = int32_t(SQX_CALL*)(FileList* list);
using AddFileListFn = int32_t(SQX_CALL*)(const char* name, FileList* list);
using InitArcFileListFn = int32_t(SQX_CALL*)(ArcFileList* list);
using DoneArcFileListFn = int32_t(SQX_CALL*)(ArcFileList* list);
using AddArchiveCommentFn = int32_t(SQX_CALL*)(const char* archive, const char* comment);
using AddFileCommentsFn = int32_t(SQX_CALL*)(const char* archive, FileList* list,
                                             const char* comment);
using AddFilesFn = int32_t(SQX_CALL*)(const char* archive, FileList* list,
                                      unsigned char* compress_options, Callback callback,
                                      void* user);
using ExtractFilesFn = int32_t(SQX_CALL*)(const char* archive, FileList* list,
                                          unsigned char* extract_options, Callback callback,
                                          void* user);
using TestFilesFn = int32_t(SQX_CALL*)(const char* archive, FileList* list,
                                       unsigned char* extract_options, Callback callback,
                                       void* user);
using DeleteFilesFn = int32_t(SQX_CALL*)(const char* archive, FileList* list, Callback callback,
                                         void* user);
using ListFilesFn = int32_t(SQX_CALL*)(const char* archive, FileList* list, ArcFileList* contents,
                                       unsigned char* scratch, unsigned char* extract_options,
                                       Callback callback, void* user);
using RepairFilesFn = int32_t(SQX_CALL*)(const char* archive, Callback callback, void* user);
}

// The 13 export names, in the order the binding resolves them.
inline constexpr const char* kExportNames[13] = {
    "SqxInitFileList",    "SqxDoneFileList",      "SqxAddFileList",     "SqxInitArcFileList",
    "SqxDoneArcFileList", "SqxAddArchiveComment", "SqxAddFileComments", "SqxAddFiles",
    "SqxExtractFiles",    "SqxTestFiles",         "SqxDeleteFiles",     "SqxListFiles",
    "SqxRepairFiles"};

}  // namespace sqx
