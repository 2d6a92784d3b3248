// The description of a synthetic world: per mail client, the registry keys and values and the
// folders and files that a real installation of that client holds, and the branches and folders
// that belong to the client when it is snapshotted. Paths and string data may begin with a
// folder placeholder ("<AppData>", "<LocalAppData>", "<Favorites>", "<UserProfile>",
// "<SystemDrive>",
// "<ProgramFiles>", "<SystemRoot>") that is replaced by this machine's folder when the world is
// installed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/snapshot.h"
#include "tools/world_random.h"

namespace mailstow {

enum class ContentKind { kMailbox, kBinary, kText };

struct FileSpec {
  std::wstring path;
  ContentKind kind = ContentKind::kText;
  uint64_t size = 0;          // the text's length for kText
  uint64_t content_seed = 0;  // generated kinds only
  std::string text;           // kText only
  // kText only: placeholders may also stand inside the text (as in a client's own list of
  // absolute folders); they are written in the system code page.
  bool placeholders_in_text = false;
};

enum class RegistryRoot { kCurrentUser, kLocalMachine };
std::wstring RootName(RegistryRoot root);

// A key, and with has_value one value in it.
struct RegistryEntry {
  RegistryRoot root = RegistryRoot::kCurrentUser;
  std::wstring key;
  bool has_value = false;
  ValueShot value;
  bool ansi_text = false;  // binary data holding text in the ANSI code page and a final zero
};

struct ClientWorld {
  std::wstring client;               // the client key, e.g. "OutlookExpress"
  std::wstring default_client_name;  // default mail-client text that names it; empty if none
  std::vector<RegistryEntry> registry;
  std::vector<std::wstring> folders;  // created even when they stay empty
  std::vector<FileSpec> files;
  SnapshotSpec scope;  // what belongs to the client
};

// Writes one registry key of a client world and its values.
class KeyBuilder {
 public:
  KeyBuilder(ClientWorld& world, RegistryRoot root, std::wstring key);
  KeyBuilder& String(std::wstring name, std::wstring_view text);
  KeyBuilder& ExpandString(std::wstring name, std::wstring_view text);
  KeyBuilder& Dword(std::wstring name, uint32_t number);
  KeyBuilder& Binary(std::wstring name, std::vector<uint8_t> bytes);
  // Binary data holding ANSI text with its terminator, as some clients store paths; the text
  // may begin with a placeholder. Letters beyond Latin-1 are not supported.
  KeyBuilder& AnsiText(std::wstring name, std::wstring_view text);
  KeyBuilder Sub(std::wstring_view name) const;
  const std::wstring& path() const { return key_; }

 private:
  KeyBuilder& Add(std::wstring name, uint32_t type, std::vector<uint8_t> data);

  ClientWorld* world_;
  RegistryRoot root_;
  std::wstring key_;
};

// String data as stored in the registry: UTF-16 with its terminating zero.
std::vector<uint8_t> RegistryStringData(std::wstring_view text);
// ANSI text data for binary values: Latin-1 bytes (the Western code page agrees on them) and a
// terminating zero; the reverse reads up to the zero.
std::vector<uint8_t> AnsiTextData(std::wstring_view text);
std::wstring FromAnsiTextData(const std::vector<uint8_t>& data);
std::vector<uint8_t> RandomBytes(WorldRandom& random, size_t count);

// A size of the world at scale 1 brought to the requested scale; never below a floor that keeps
// generated content meaningful.
uint64_t Scaled(uint64_t base_size, double scale);

FileSpec TextFile(std::wstring path, std::string text);
FileSpec GeneratedFile(std::wstring path, ContentKind kind, uint64_t size, WorldRandom& random);

}  // namespace mailstow
