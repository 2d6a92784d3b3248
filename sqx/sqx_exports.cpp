// The library's entry points: check the caller's records, convert texts and hand the work
// to the archiver core. No exception leaves the library.
#include "sqx/sqx_exports.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "sqx/archive_reader.h"
#include "sqx/archive_writer.h"
#include "sqx/callback_sink.h"
#include "sqx/file_system.h"
#include "sqx/host_text.h"
#include "sqx/option_records.h"

namespace sqx {
namespace {

// A file list holds the names as the caller gave them: whether they are ANSI or UTF-8 is
// only known when the list is used, from the option record of that call. The names in the
// core's UTF-8 are the list itself when the call speaks UTF-8, else `converted`.
const NameList& CoreNames(const NameList& list, const InterfaceTexts& texts, NameList* converted) {
  if (texts.utf8) return list;
  list.ForEach([&](std::string_view name) { converted->Add(texts.ToCore(std::string(name))); });
  return *converted;
}

NameList* NamesOf(FileList* list) {
  return list == nullptr ? nullptr : static_cast<NameList*>(list->impl);
}

template <typename Work>
int32_t Guarded(Work work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return kStatusIoError;
  } catch (...) {
    return kStatusIoError;
  }
}

void FreeNodes(ArcFileList* list) {
  ArcNode* node = list->head;
  while (node != nullptr) {
    ArcNode* next = node->next;
    std::free(node);
    node = next;
  }
  list->head = nullptr;
  list->count = 0;
}

// Appends the names as nodes, keeping their order.
void FillNodes(ArcFileList* list, const NameList& names, const InterfaceTexts& texts) {
  ArcNode** tail = &list->head;
  NameList::Cursor cursor(names);
  std::string_view utf8;
  while (cursor.Next(&utf8)) {
    const std::string name = texts.FromCore(std::string(utf8));
    auto* node = static_cast<ArcNode*>(std::malloc(offsetof(ArcNode, name) + name.size() + 1));
    if (node == nullptr) throw std::bad_alloc();
    node->next = nullptr;
    std::memcpy(node->name, name.c_str(), name.size() + 1);
    *tail = node;
    tail = &node->next;
    ++list->count;
  }
}

// Testing and listing take the extraction record for its text encoding alone; without a
// usable record the texts are ANSI, as they always were.
InterfaceTexts TextsOf(const unsigned char* extract_options) {
  InterfaceTexts texts;
  ExtractSettings unused;
  if (extract_options != nullptr &&
      ReadExtractOptions(extract_options, &unused, &texts) != kStatusOk) {
    texts.utf8 = false;
  }
  return texts;
}

}  // namespace
}  // namespace sqx

using namespace sqx;

extern "C" {

int32_t SQX_CALL SqxInitFileList(FileList* list) {
  if (list == nullptr) return kStatusBadArgument;
  return Guarded([&] {
    list->count = 0;
    list->impl = new NameList;
    list->reserved = 0;
    return kStatusOk;
  });
}

int32_t SQX_CALL SqxDoneFileList(FileList* list) {
  if (list == nullptr) return kStatusBadArgument;
  delete NamesOf(list);
  list->impl = nullptr;
  list->count = 0;
  return kStatusOk;
}

int32_t SQX_CALL SqxAddFileList(const char* name, FileList* list) {
  NameList* names = NamesOf(list);
  if (name == nullptr || names == nullptr) return kStatusBadArgument;
  return Guarded([&] {
    names->Add(name);
    list->count = static_cast<int32_t>(names->size());
    return kStatusOk;
  });
}

int32_t SQX_CALL SqxInitArcFileList(ArcFileList* list) {
  if (list == nullptr) return kStatusBadArgument;
  list->count = 0;
  list->head = nullptr;
  list->impl = nullptr;
  return kStatusOk;
}

int32_t SQX_CALL SqxDoneArcFileList(ArcFileList* list) {
  if (list == nullptr) return kStatusBadArgument;
  FreeNodes(list);
  return kStatusOk;
}

int32_t SQX_CALL SqxAddArchiveComment(const char* archive, const char* comment) {
  if (archive == nullptr || comment == nullptr) return kStatusBadArgument;
  return kStatusUnsupported;
}

int32_t SQX_CALL SqxAddFileComments(const char* archive, FileList* list, const char* comment) {
  if (archive == nullptr || NamesOf(list) == nullptr || comment == nullptr) {
    return kStatusBadArgument;
  }
  return kStatusUnsupported;
}

int32_t SQX_CALL SqxAddFiles(const char* archive, FileList* list, unsigned char* compress_options,
                             Callback callback, void* user) {
  NameList* names = NamesOf(list);
  if (archive == nullptr || names == nullptr) return kStatusBadArgument;
  return Guarded([&] {
    PackSettings settings;
    InterfaceTexts texts;
    const Status status = ReadCompressOptions(compress_options, &settings, &texts);
    if (status != kStatusOk) return status;
    CallbackSink events(callback, user, texts);
    NameList converted;
    return PackArchive(HostFileSystem(), events, texts.ToCore(archive),
                       CoreNames(*names, texts, &converted), settings);
  });
}

int32_t SQX_CALL SqxExtractFiles(const char* archive, FileList* list,
                                 unsigned char* extract_options, Callback callback, void* user) {
  NameList* names = NamesOf(list);
  if (archive == nullptr || names == nullptr) return kStatusBadArgument;
  return Guarded([&] {
    ExtractSettings settings;
    InterfaceTexts texts;
    const Status status = ReadExtractOptions(extract_options, &settings, &texts);
    if (status != kStatusOk) return status;
    CallbackSink events(callback, user, texts);
    NameList converted;
    return ExtractArchive(HostFileSystem(), events, texts.ToCore(archive),
                          CoreNames(*names, texts, &converted), settings);
  });
}

int32_t SQX_CALL SqxTestFiles(const char* archive, FileList* list, unsigned char* extract_options,
                              Callback callback, void* user) {
  NameList* names = NamesOf(list);
  if (archive == nullptr || names == nullptr) return kStatusBadArgument;
  return Guarded([&] {
    const InterfaceTexts texts = TextsOf(extract_options);
    CallbackSink events(callback, user, texts);
    const NameList all = {"*"};
    NameList converted;
    return TestArchive(HostFileSystem(), events, texts.ToCore(archive),
                       names->empty() ? all : CoreNames(*names, texts, &converted));
  });
}

int32_t SQX_CALL SqxDeleteFiles(const char* archive, FileList* list, Callback, void*) {
  if (archive == nullptr || NamesOf(list) == nullptr) return kStatusBadArgument;
  return kStatusUnsupported;
}

int32_t SQX_CALL SqxListFiles(const char* archive, FileList* list, ArcFileList* contents,
                              unsigned char*, unsigned char* extract_options, Callback callback,
                              void* user) {
  NameList* names = NamesOf(list);
  if (archive == nullptr || names == nullptr || contents == nullptr) return kStatusBadArgument;
  return Guarded([&] {
    FreeNodes(contents);
    const InterfaceTexts texts = TextsOf(extract_options);
    CallbackSink events(callback, user, texts);
    NameList listed;
    NameList converted;
    const Status status = ListArchive(HostFileSystem(), events, texts.ToCore(archive),
                                      CoreNames(*names, texts, &converted), &listed);
    if (status == kStatusOk) FillNodes(contents, listed, texts);
    return status;
  });
}

int32_t SQX_CALL SqxRepairFiles(const char* archive, Callback, void*) {
  if (archive == nullptr) return kStatusBadArgument;
  return kStatusUnsupported;
}

}  // extern "C"
