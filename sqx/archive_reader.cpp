#include "sqx/archive_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <functional>
#include <utility>

#include "sqx/aes_cipher.h"
#include "sqx/central_directory.h"
#include "sqx/dos_time.h"
#include "sqx/member_names.h"
#include "sqx/parallel_for.h"
#include "sqx/volume_reader.h"
#include "sqx/zip_format.h"

namespace sqx {
namespace {

constexpr size_t kChunk = 256 * 1024;

// Members are prepared for decoding a batch at a time: the keys of encrypted ones are
// derived, on every core, for this many members at once.
constexpr size_t kKeysBatch = 512;

// A selected member with its data located: where its data (or, when encrypted, its salt)
// starts. One is kept for every selected member, so it holds no more.
struct Located {
  const Member* member = nullptr;
  ArchivePosition data;
  uint64_t payload = 0;  // bytes of compressed data, without salt, verifier and code
};

// A located member ready to decode: when encrypted, with its salt read, its data position
// past the salt and verifier, and its keys.
struct Selected : Located {
  unsigned char salt[16 + AesCipher::kVerifierSize] = {};  // salt, then the stored verifier
  AesKeys keys;
};

bool Selects(const NameList& requests, const Member& member) {
  const std::string name = InterfaceName(member.name);
  NameList::Cursor cursor(requests);
  std::string_view request;
  while (cursor.Next(&request)) {
    if (MatchesRequest(std::string(request), name)) return true;
  }
  return false;
}

// The members the requests select, in request order, each once. A plain name is looked up
// by the hash of its comparable form in a sorted table (16 bytes per member, so that the
// index of a store of many thousands of files stays small), and confirmed on the member's
// own name; only patterns are matched against every member.
std::vector<const Member*> SelectInRequestOrder(const ArchiveIndex& index,
                                                const NameList& requests) {
  const size_t count = index.members.size();
  const auto comparable = [&](size_t i) {
    return ComparableName(InterfaceName(index.members[i].name));
  };
  const std::hash<std::u32string> hash;
  std::vector<std::pair<size_t, size_t>> by_hash(count);  // (hash, member index)
  for (size_t i = 0; i < count; ++i) by_hash[i] = {hash(comparable(i)), i};
  std::sort(by_hash.begin(), by_hash.end());
  std::vector<const Member*> selected;
  std::vector<bool> taken(count, false);
  const auto take = [&](size_t i) {
    if (taken[i]) return;
    taken[i] = true;
    selected.push_back(&index.members[i]);
  };
  NameList::Cursor cursor(requests);
  std::string_view request_text;
  while (cursor.Next(&request_text)) {
    const std::string request(request_text);
    const std::u32string wanted = ComparableName(request);
    if (!IsPattern(request)) {
      const size_t key = hash(wanted);
      auto at = std::lower_bound(by_hash.begin(), by_hash.end(), std::make_pair(key, size_t{0}));
      for (; at != by_hash.end() && at->first == key; ++at) {
        if (comparable(at->second) == wanted) take(at->second);
      }
      continue;
    }
    const bool everything = wanted == U"*.*" || wanted == U"*";
    for (size_t i = 0; i < count; ++i) {
      if (!taken[i] && (everything || MatchesComparable(wanted, comparable(i)))) take(i);
    }
  }
  return selected;
}

class Reader {
 public:
  Reader(FileSystem& files, EventSink& events, const std::string& archive_path,
         PartPathFn earlier_part = {})
      : events_(events), volumes_(files, events, archive_path, std::move(earlier_part)) {}
  ~Reader() {
    if (inflater_ready_) inflateEnd(&stream_);
  }

  Status Open() {
    const Status status = volumes_.Open();
    return status == kStatusOk ? ReadArchiveIndex(volumes_, &index_) : status;
  }
  // Opens the parts without reading the index, for a caller that reads the directory itself.
  Status OpenVolumes() { return volumes_.Open(); }
  VolumeReader& volumes() { return volumes_; }
  const ArchiveIndex& index() const { return index_; }
  // The member that Prepare or Decode worked on last: the one a failure belongs to.
  const Member* current() const { return current_; }

  // Locates every member's data and reads the salt and verifier of every encrypted one, so
  // that a member that cannot be read is found before anything is written. The password is
  // asked for when the first encrypted member is met and checked against it at once.
  Status Prepare(const std::vector<const Member*>& members, std::vector<Located>* located) {
    const Located* first_encrypted = nullptr;
    located->reserve(members.size());
    for (const Member* member : members) {
      current_ = member;
      Located& entry = located->emplace_back();
      entry.member = member;
      if (member->is_folder) continue;
      if (member->encrypted && !member->aes) return kStatusUnsupported;
      if (member->method != zip::kMethodStored && member->method != zip::kMethodDeflated) {
        return kStatusUnsupported;
      }
      Status status = LocateData(*member, &entry);
      if (status != kStatusOk) return status;
      if (!member->aes) continue;
      // The salt is read here to check it is there, and again when the member's batch comes.
      Selected probe;
      static_cast<Located&>(probe) = entry;
      status = ReadSalt(&probe);
      if (status != kStatusOk) return status;
      if (first_encrypted == nullptr) first_encrypted = &entry;
    }
    if (first_encrypted == nullptr) return kStatusOk;
    // A wrong password is reported before any further work.
    current_ = first_encrypted->member;
    Selected first;
    static_cast<Located&>(first) = *first_encrypted;
    const Status status = ReadSalt(&first);
    return status == kStatusOk ? CheckPassword(&first) : status;
  }

  // Makes the next batch of located members, from `first` on, ready to decode: the keys of
  // each encrypted one are derived from its own salt, which dominates the cost of many
  // small members, on every core.
  Status Expand(const std::vector<Located>& located, size_t first, std::vector<Selected>* batch) {
    batch->clear();
    std::vector<size_t> encrypted;
    for (size_t i = first; i < located.size() && batch->size() < kKeysBatch; ++i) {
      current_ = located[i].member;
      Selected& selected = batch->emplace_back();
      static_cast<Located&>(selected) = located[i];
      if (!selected.member->aes) continue;
      encrypted.push_back(batch->size() - 1);
      const Status status = ReadSalt(&selected);
      if (status != kStatusOk) return status;
    }
    std::vector<Status> results(encrypted.size(), kStatusOk);
    ParallelFor(encrypted.size(),
                [&](size_t i) { results[i] = DeriveKeys(&(*batch)[encrypted[i]]); });
    for (size_t i = 0; i < results.size(); ++i) {
      current_ = (*batch)[encrypted[i]].member;
      if (results[i] != kStatusOk) return results[i];
    }
    return kStatusOk;
  }

  // Decodes a member into `out` (or nowhere), raising progress events; `data_crc` receives
  // the checksum of the decoded data.
  Status Decode(const Selected& selected, OutputFile* out, uint32_t* data_crc = nullptr) {
    const Member& member = *selected.member;
    current_ = &member;
    std::unique_ptr<AesCipher> cipher;
    if (member.aes) {
      cipher = std::make_unique<AesCipher>();
      const Status status = cipher->Start(selected.keys);
      if (status != kStatusOk) return status;
    }
    if (input_ == nullptr) {
      input_.reset(new unsigned char[kChunk]);
      output_.reset(new unsigned char[kChunk]);
    }
    unsigned char* input = input_.get();
    unsigned char* output = output_.get();
    const bool inflating = member.method == zip::kMethodDeflated;
    if (inflating) {
      const int ready =
          inflater_ready_ ? inflateReset(&stream_) : inflateInit2(&stream_, -MAX_WBITS);
      if (ready != Z_OK) return kStatusIoError;
      inflater_ready_ = true;
    }
    z_stream& stream = stream_;

    ProgressPacer progress(events_, member.uncompressed);
    ArchivePosition at = selected.data;
    uint64_t left = selected.payload;
    uint64_t produced = 0;
    unsigned long crc = crc32_z(0, nullptr, 0);
    bool stream_end = !inflating;
    Status status = kStatusOk;
    while (status == kStatusOk && left > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kChunk));
      status = volumes_.Read(&at, input, n);
      if (status != kStatusOk) break;
      left -= n;
      if (cipher != nullptr) cipher->Decrypt(input, n);
      if (!inflating) {
        produced += n;
        crc = crc32_z(crc, input, n);
        if (out != nullptr) status = out->Write(input, n);
        if (status == kStatusOk) status = progress.Advance(produced);
      } else {
        stream.next_in = input;
        stream.avail_in = static_cast<uInt>(n);
        while (status == kStatusOk && stream.avail_in > 0 && !stream_end) {
          stream.next_out = output;
          stream.avail_out = static_cast<uInt>(kChunk);
          const int result = inflate(&stream, Z_NO_FLUSH);
          if (result != Z_OK && result != Z_STREAM_END) {
            status = kStatusNotAnArchive;
            break;
          }
          stream_end = result == Z_STREAM_END;
          const size_t made = kChunk - stream.avail_out;
          produced += made;
          if (produced > member.uncompressed) status = kStatusNotAnArchive;
          crc = crc32_z(crc, output, made);
          if (status == kStatusOk && out != nullptr) status = out->Write(output, made);
          if (status == kStatusOk) status = progress.Advance(produced);
          if (made == 0 && result == Z_OK) break;
        }
      }
    }
    if (status != kStatusOk) return status;
    if (!stream_end || produced != member.uncompressed) return kStatusNotAnArchive;
    if (cipher != nullptr) {
      unsigned char expected[AesCipher::kMacSize], stored[AesCipher::kMacSize];
      cipher->FinishMac(expected);
      status = volumes_.Read(&at, stored, sizeof(stored));
      if (status != kStatusOk) return status;
      if (std::memcmp(expected, stored, sizeof(stored)) != 0) return kStatusNotAnArchive;
    }
    const bool crc_kept = !member.aes || member.aes_version == 1;
    if (crc_kept && static_cast<uint32_t>(crc) != member.crc) return kStatusNotAnArchive;
    if (data_crc != nullptr) *data_crc = static_cast<uint32_t>(crc);
    return progress.Finish();
  }

  // Locates a member that was just written and takes the writer's keys for it, once its
  // stored salt and password verifier are those the writer used.
  Status PrepareWritten(const Member& member, const WrittenMember& written, Selected* selected) {
    current_ = &member;
    selected->member = &member;
    if (member.is_folder) return kStatusOk;
    if (member.encrypted != written.encrypted || (member.encrypted && !member.aes)) {
      return kStatusNotAnArchive;
    }
    if (member.method != zip::kMethodStored && member.method != zip::kMethodDeflated) {
      return kStatusNotAnArchive;
    }
    Status status = LocateData(member, selected);
    if (status != kStatusOk || !member.aes) return status;
    const size_t salt_size = AesKeys::SaltBytes(member.aes_strength);
    if (salt_size != sizeof(written.salt)) return kStatusNotAnArchive;
    status = ReadSalt(selected);
    if (status != kStatusOk) return status;
    if (std::memcmp(selected->salt, written.salt, salt_size) != 0 ||
        std::memcmp(selected->salt + salt_size, written.keys.verifier(),
                    AesCipher::kVerifierSize) != 0) {
      return kStatusNotAnArchive;
    }
    selected->keys = written.keys;
    return kStatusOk;
  }

 private:
  Status LocateData(const Member& member, Located* selected) {
    ArchivePosition at = member.local;
    unsigned char header[zip::kLocalHeaderSize];
    Status status = volumes_.Read(&at, header, sizeof(header));
    if (status != kStatusOk) return status;
    if (zip::Get32(header) != zip::kLocalHeaderSignature) return kStatusNotAnArchive;
    std::vector<unsigned char> skipped(zip::Get16(header + 26) + size_t{zip::Get16(header + 28)});
    status = volumes_.Read(&at, skipped.data(), skipped.size());
    if (status != kStatusOk) return status;
    selected->data = at;
    selected->payload = member.compressed;
    if (member.method == zip::kMethodStored && !member.aes &&
        member.compressed != member.uncompressed) {
      return kStatusNotAnArchive;
    }
    return kStatusOk;
  }

  // Reads the member's salt and stored password verifier, which precede its data.
  Status ReadSalt(Selected* selected) {
    const Member& member = *selected->member;
    const size_t salt_size = AesKeys::SaltBytes(member.aes_strength);
    if (salt_size == 0) return kStatusUnsupported;
    const size_t overhead = salt_size + AesCipher::kVerifierSize + AesCipher::kMacSize;
    if (member.compressed < overhead) return kStatusNotAnArchive;
    const Status status =
        volumes_.Read(&selected->data, selected->salt, salt_size + AesCipher::kVerifierSize);
    if (status != kStatusOk) return status;
    selected->payload = member.compressed - overhead;
    return kStatusOk;
  }

  // Asks the caller for the password (once) and checks it against the member's verifier.
  Status CheckPassword(Selected* selected) {
    if (!password_known_) {
      Event event;
      event.kind = kEventPassword;
      event.first_name = InterfaceName(selected->member->name);
      const Status status = RaiseChecked(events_, &event);
      if (status != kStatusOk) return status;
      password_ = event.second_name;
      password_known_ = true;
    }
    return DeriveKeys(selected);
  }

  // Derives the member's keys from the known password; safe to run on several threads.
  Status DeriveKeys(Selected* selected) const {
    const Member& member = *selected->member;
    const size_t salt_size = AesKeys::SaltBytes(member.aes_strength);
    const Status status =
        DeriveAesKeys(password_, member.aes_strength, selected->salt, &selected->keys);
    if (status != kStatusOk) return status;
    if (std::memcmp(selected->keys.verifier(), selected->salt + salt_size,
                    AesCipher::kVerifierSize) != 0) {
      return kStatusWrongPassword;
    }
    return kStatusOk;
  }

  EventSink& events_;
  VolumeReader volumes_;
  ArchiveIndex index_;
  std::string password_;
  bool password_known_ = false;
  const Member* current_ = nullptr;
  z_stream stream_ = {};
  bool inflater_ready_ = false;
  std::unique_ptr<unsigned char[]> input_;
  std::unique_ptr<unsigned char[]> output_;
};

// Tells the caller which member failed its checks, so that it can name the damaged part of
// the archive; other failures pass unchanged.
Status NamingDamage(EventSink& events, const Member* member, Status status) {
  if (status == kStatusNotAnArchive && member != nullptr) {
    Event event;
    event.kind = kEventMemberDamaged;
    event.first_name = InterfaceName(member->name);
    events.Raise(&event);
  }
  return status;
}

std::string ParentFolder(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos || cut == 0 ? std::string() : path.substr(0, cut);
}

// Decodes one member into an open file, gives it the member's time and closes it.
Status DecodeInto(Reader& reader, const Selected& selected, std::unique_ptr<OutputFile> out) {
  Status status = reader.Decode(selected, out.get());
  if (status == kStatusOk) status = out->SetModifiedTime(FromDosTime(selected.member->dos_time));
  const Status closed = out->Close();
  return status == kStatusOk ? closed : status;
}

// Writes a member over an existing file: under a temporary name first, moved over the file
// only once the member checked out, so that a damaged member never spoils what is there.
Status ReplaceWithMember(FileSystem& files, Reader& reader, const Selected& selected,
                         const std::string& target) {
  const std::string temporary = target + ".~sqx";
  std::unique_ptr<OutputFile> out;
  Status status = files.Create(temporary, &out);
  if (status != kStatusOk) return status;
  status = DecodeInto(reader, selected, std::move(out));
  if (status == kStatusOk) status = files.Replace(temporary, target);
  if (status != kStatusOk) files.Remove(temporary);
  return status;
}

}  // namespace

Status ListArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                   const NameList& patterns, NameList* names) {
  Reader reader(files, events, archive_path);
  const Status status = reader.Open();
  if (status != kStatusOk) return status;
  for (const Member& member : reader.index().members) {
    if (patterns.empty() || Selects(patterns, member)) names->Add(InterfaceName(member.name));
  }
  return kStatusOk;
}

Status ExtractArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                      const NameList& requests, const ExtractSettings& settings) {
  Reader reader(files, events, archive_path);
  Status status = reader.Open();
  if (status != kStatusOk) return status;
  const std::vector<const Member*> members = SelectInRequestOrder(reader.index(), requests);
  for (const Member* member : members) {
    if (!IsSafeStoredName(member->name)) return NamingDamage(events, member, kStatusNotAnArchive);
  }
  std::vector<Located> located;
  status = reader.Prepare(members, &located);
  if (status != kStatusOk) return NamingDamage(events, reader.current(), status);
  std::string known_parent;  // the folder of the previous member, known to exist

  std::vector<Selected> batch;
  for (size_t first = 0; first < located.size(); first += batch.size()) {
    status = reader.Expand(located, first, &batch);
    if (status != kStatusOk) return NamingDamage(events, reader.current(), status);
    for (const Selected& selected : batch) {
      const Member& member = *selected.member;
      Event event;
      event.kind = kEventExtractEntry;
      event.first_name = InterfaceName(member.name);
      event.second_name =
          settings.staging + "\\" +
          (settings.keep_folders ? InterfaceName(member.name) : LastComponent(member.name));
      status = RaiseChecked(events, &event);
      if (status != kStatusOk) return status;
      const std::string& target = event.second_name;
      if (target.empty()) return kStatusBadArgument;
      if (member.is_folder) {
        status = files.CreateFolders(target);
        if (status != kStatusOk) return status;
        continue;
      }
      const std::string parent = ParentFolder(target);
      if (!parent.empty() && parent != known_parent) {
        if (!files.Stat(parent).is_folder) {
          status = files.CreateFolders(parent);
          if (status != kStatusOk) return status;
        }
        known_parent = parent;
      }
      // A new file is written in place (a damaged member's remains are removed again); only an
      // existing file goes the way of a temporary name.
      std::unique_ptr<OutputFile> out;
      bool existed = false;
      status = files.CreateNew(target, &out, &existed);
      if (status != kStatusOk) return status;
      if (!existed) {
        status = DecodeInto(reader, selected, std::move(out));
        if (status != kStatusOk) {
          files.Remove(target);
          return NamingDamage(events, reader.current(), status);
        }
        continue;
      }
      {
        Event overwrite;
        overwrite.kind = kEventOverwrite;
        overwrite.first_name = event.first_name;
        overwrite.second_name = target;
        int32_t answer = 0;
        status = RaiseChecked(events, &overwrite, &answer);
        if (status != kStatusOk) return status;
        if (answer != kAnswerOverwrite) continue;
      }
      status = ReplaceWithMember(files, reader, selected, target);
      if (status != kStatusOk) return NamingDamage(events, reader.current(), status);
    }
  }
  return kStatusOk;
}

Status TestArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                   const NameList& requests) {
  Reader reader(files, events, archive_path);
  Status status = reader.Open();
  if (status != kStatusOk) return status;
  std::vector<Located> located;
  status = reader.Prepare(SelectInRequestOrder(reader.index(), requests), &located);
  std::vector<Selected> batch;
  for (size_t first = 0; status == kStatusOk && first < located.size(); first += batch.size()) {
    status = reader.Expand(located, first, &batch);
    for (size_t i = 0; status == kStatusOk && i < batch.size(); ++i) {
      if (!batch[i].member->is_folder) status = reader.Decode(batch[i], nullptr);
    }
  }
  return NamingDamage(events, reader.current(), status);
}

Status VerifyWritten(FileSystem& files, EventSink& events, const std::string& last_part,
                     PartPathFn earlier_part, const std::string& shown_name,
                     WrittenSequence& written) {
  Reader reader(files, events, last_part, std::move(earlier_part));
  const auto failed = [&](const std::string& name, Status status) {
    if (status == kStatusAborted) return status;
    Event event;
    event.kind = kEventMemberDamaged;
    event.first_name = name;
    events.Raise(&event);
    return kStatusVerifyFailed;
  };
  // The directory is read entry by entry beside the journal, so that the read-back holds one
  // entry at a time, however many there are.
  Status status = reader.OpenVolumes();
  DirectoryCursor directory(reader.volumes());
  if (status == kStatusOk) status = directory.Open();
  if (status != kStatusOk) return failed(shown_name, status);
  if (directory.likely_entries() != written.count()) {
    return failed(shown_name, kStatusNotAnArchive);
  }
  WrittenMember expected;
  Member member;
  for (uint64_t i = 0; i < written.count(); ++i) {
    // The writer's own record that cannot be read is no fault of the archive.
    status = written.Next(&expected);
    if (status != kStatusOk) return status;
    const std::string name = InterfaceName(expected.name);
    Event event;
    event.kind = kEventVerifyEntry;
    event.first_name = name;
    status = RaiseChecked(events, &event);
    if (status != kStatusOk) return status;
    bool got = false;
    status = directory.Next(&member, &got);
    if (status == kStatusOk && !got) status = kStatusNotAnArchive;
    if (status != kStatusOk) return failed(shown_name, status);
    if (member.name != expected.name || member.is_folder != expected.is_folder ||
        (!member.is_folder && member.uncompressed != expected.size)) {
      return failed(name, kStatusNotAnArchive);
    }
    if (member.is_folder) continue;
    Selected selected;
    status = reader.PrepareWritten(member, expected, &selected);
    uint32_t crc = 0;
    if (status == kStatusOk) status = reader.Decode(selected, nullptr, &crc);
    if (status == kStatusOk && crc != expected.crc) status = kStatusNotAnArchive;
    if (status != kStatusOk) return failed(name, status);
  }
  bool more = false;
  status = directory.Next(&member, &more);
  if (status == kStatusOk && more) status = kStatusNotAnArchive;
  if (status != kStatusOk) return failed(shown_name, status);
  return kStatusOk;
}

}  // namespace sqx
