#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "base/client_table.h"
#include "tools/utf_text.h"
#include "tools/world_clients.h"
#include "tools/world_content.h"
#include "tools/world_options.h"
#include "tools/world_placeholders.h"

namespace mailstow {
namespace {

WorldRequest Request(uint64_t seed, double scale, std::vector<std::wstring> clients) {
  WorldRequest request;
  request.seed = seed;
  request.scale = scale;
  request.clients = std::move(clients);
  return request;
}

const ClientWorld& Only(const std::vector<ClientWorld>& worlds) {
  EXPECT_EQ(worlds.size(), 1u);
  return worlds.front();
}

std::wstring TextOf(const RegistryEntry& entry) { return FromUtf16Bytes(entry.value.data); }

// Values of a world as "root\key [name]" -> entry.
std::map<std::wstring, const RegistryEntry*> ValuesOf(const ClientWorld& world) {
  std::map<std::wstring, const RegistryEntry*> values;
  for (const RegistryEntry& entry : world.registry) {
    if (entry.has_value) {
      values[RootName(entry.root) + L"\\" + entry.key + L" [" + entry.value.name + L"]"] = &entry;
    }
  }
  return values;
}

bool SameFiles(const std::vector<FileSpec>& a, const std::vector<FileSpec>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const FileSpec& x, const FileSpec& y) {
                      return x.path == y.path && x.size == y.size &&
                             x.content_seed == y.content_seed && x.text == y.text;
                    });
}

bool SameRegistry(const ClientWorld& a, const ClientWorld& b) {
  return std::equal(a.registry.begin(), a.registry.end(), b.registry.begin(), b.registry.end(),
                    [](const RegistryEntry& x, const RegistryEntry& y) {
                      return x.root == y.root && x.key == y.key && x.has_value == y.has_value &&
                             x.value == y.value;
                    });
}

TEST(WorldDescription, SameSeedGivesTheSameWorldAndAnotherSeedAnotherOne) {
  const auto clients = std::vector<std::wstring>{L"OutlookExpress", L"Favorites"};
  const auto first = DescribeWorld(Request(7, 0.01, clients));
  const auto again = DescribeWorld(Request(7, 0.01, clients));
  const auto other = DescribeWorld(Request(8, 0.01, clients));
  ASSERT_EQ(first.size(), 2u);
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_TRUE(SameRegistry(first[i], again[i]));
    EXPECT_TRUE(SameFiles(first[i].files, again[i].files));
    EXPECT_EQ(first[i].scope.folders, again[i].scope.folders);
    EXPECT_FALSE(SameFiles(first[i].files, other[i].files)) << i;
  }
  EXPECT_FALSE(SameRegistry(first[0], other[0]));
}

TEST(WorldDescription, ScaleChangesTheSizesOfGeneratedFilesButNotTheWorldsShape) {
  const auto small = Only(DescribeWorld(Request(3, 0.01, {L"OutlookExpress"})));
  const auto large = Only(DescribeWorld(Request(3, 0.1, {L"OutlookExpress"})));
  ASSERT_EQ(small.files.size(), large.files.size());
  EXPECT_TRUE(SameRegistry(small, large));
  uint64_t small_total = 0, large_total = 0;
  for (size_t i = 0; i < small.files.size(); ++i) {
    EXPECT_EQ(small.files[i].path, large.files[i].path);
    small_total += small.files[i].size;
    large_total += large.files[i].size;
  }
  EXPECT_GT(large_total, 8 * small_total);
  EXPECT_LT(large_total, 11 * small_total);
  // At scale 1 the stores are tens of megabytes, so that scale 10 gives a gigabyte-sized world.
  const auto full = Only(DescribeWorld(Request(3, 1.0, {L"OutlookExpress"})));
  uint64_t full_total = 0;
  for (const FileSpec& file : full.files) full_total += file.size;
  EXPECT_GT(full_total, 40ull << 20);
}

TEST(WorldDescription, OutlookExpressHasIdentitiesWithStoreRootsInEveryForm) {
  for (uint64_t seed : {1, 2, 3, 4, 5}) {
    const ClientWorld world = Only(DescribeWorld(Request(seed, 0.01, {L"OutlookExpress"})));
    std::set<std::wstring> identity_keys, names;
    std::vector<std::wstring> store_roots;
    for (const RegistryEntry& entry : world.registry) {
      if (!entry.has_value || entry.root != RegistryRoot::kCurrentUser) continue;
      if (entry.value.name == L"Username") {
        identity_keys.insert(entry.key);
        names.insert(TextOf(entry));
      }
      if (entry.value.name == L"Store Root") store_roots.push_back(TextOf(entry));
    }
    EXPECT_GE(identity_keys.size(), 3u);
    EXPECT_EQ(names.size(), identity_keys.size()) << "display names are distinct";
    EXPECT_EQ(store_roots.size(), identity_keys.size());
    auto any = [&](auto predicate) {
      return std::any_of(store_roots.begin(), store_roots.end(), predicate);
    };
    EXPECT_TRUE(any([](const std::wstring& r) { return r.starts_with(L"%UserProfile%\\"); }));
    EXPECT_TRUE(any([](const std::wstring& r) {
      return r.starts_with(L"%USERPROFILE%\\") && r.ends_with(L"\\");
    }));
    EXPECT_TRUE(any([](const std::wstring& r) { return r.starts_with(L"<SystemDrive>\\"); }));
    // Every identity's store folder holds .dbx files and belongs to the client's scope.
    for (const std::wstring& folder : world.scope.folders) {
      EXPECT_EQ(folder.find(L'%'), std::wstring::npos) << folder;
    }
    EXPECT_GE(world.scope.folders.size(), identity_keys.size() + 2);
  }
}

TEST(WorldDescription, OutlookExpressHoldsEveryItemTheClientKeeps) {
  const ClientWorld world = Only(DescribeWorld(Request(11, 0.01, {L"OutlookExpress"})));
  std::set<std::wstring> keys;
  for (const RegistryEntry& entry : world.registry) keys.insert(entry.key);
  auto has_key_ending = [&](std::wstring_view tail) {
    return std::any_of(keys.begin(), keys.end(),
                       [&](const std::wstring& key) { return key.ends_with(tail); });
  };
  EXPECT_TRUE(has_key_ending(L"\\Software\\Microsoft\\Internet Account Manager\\Accounts"));
  EXPECT_TRUE(has_key_ending(L"\\5.0\\Mail"));
  EXPECT_TRUE(has_key_ending(L"\\5.0\\Columns"));
  EXPECT_TRUE(has_key_ending(L"\\5.0\\Rules\\Mail\\000"));
  EXPECT_TRUE(has_key_ending(L"\\5.0\\Block Senders\\Mail\\Criteria\\0"));
  EXPECT_TRUE(has_key_ending(L"\\5.0\\Signatures\\00000000"));
  EXPECT_TRUE(keys.count(L"Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001"));

  const auto values = ValuesOf(world);
  ASSERT_TRUE(values.count(
      L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\Stationery [Stationery Folder]"));
  ASSERT_TRUE(values.count(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Outlook Express []"));

  auto files_with = [&](std::wstring_view part) {
    return std::count_if(world.files.begin(), world.files.end(), [&](const FileSpec& file) {
      return file.path.find(part) != std::wstring::npos;
    });
  };
  EXPECT_GE(files_with(L"Inbox.dbx"), 3);
  EXPECT_EQ(files_with(L"\\Microsoft\\Address Book\\"), 2);
  EXPECT_GE(files_with(L"\\Stationery\\"), 6);
  // Store files vary in size.
  std::set<uint64_t> sizes;
  for (const FileSpec& file : world.files) sizes.insert(file.size);
  EXPECT_GT(sizes.size(), world.files.size() / 2);
}

TEST(WorldDescription, TheFirstClientThatCanBeTheDefaultBecomesTheDefaultMailClient) {
  const auto worlds = DescribeWorld(Request(1, 0.01, {L"Favorites", L"OutlookExpress"}));
  ASSERT_EQ(worlds.size(), 2u);
  EXPECT_EQ(ValuesOf(worlds[0]).count(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail []"), 0u);
  const auto values = ValuesOf(worlds[1]);
  const auto found = values.find(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail []");
  ASSERT_NE(found, values.end());
  EXPECT_EQ(TextOf(*found->second), L"Outlook Express");
  EXPECT_EQ(ValuesOf(DescribeWorld(Request(1, 0.01, {L"Favorites"})).front())
                .count(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail []"),
            0u);
}

TEST(WorldDescription, FavoritesHaveNestedFoldersEmptyFoldersAndFilesThatAreNotShortcuts) {
  const ClientWorld world = Only(DescribeWorld(Request(5, 1.0, {L"Favorites"})));
  std::map<std::wstring, int> shortcuts_per_folder;
  int others = 0;
  for (const FileSpec& file : world.files) {
    ASSERT_TRUE(file.path.starts_with(L"<Favorites>\\")) << file.path;
    const std::wstring folder = file.path.substr(0, file.path.rfind(L'\\'));
    if (FoldCase(file.path).ends_with(L".URL")) {
      ++shortcuts_per_folder[folder];
      const std::string text = ContentOf(file);
      EXPECT_NE(text.find("[InternetShortcut]\r\nURL=http"), std::string::npos);
    } else {
      ++others;
    }
  }
  EXPECT_GE(shortcuts_per_folder[L"<Favorites>"], 3);
  EXPECT_GE(shortcuts_per_folder[L"<Favorites>\\Links"], 2);
  EXPECT_TRUE(shortcuts_per_folder.count(L"<Favorites>\\News\\Technology"));
  EXPECT_FALSE(shortcuts_per_folder.count(L"<Favorites>\\News"));
  EXPECT_GE(others, 3);
  EXPECT_NE(std::find(world.folders.begin(), world.folders.end(), L"<Favorites>\\Old Stuff"),
            world.folders.end());
  EXPECT_EQ(world.scope.folders, std::vector<std::wstring>{L"<Favorites>"});
}

TEST(WorldDescription, EveryDescribedClientIsAClientOfTheProgram) {
  for (const ClientDescription& description : DescribedClients()) {
    EXPECT_NE(ClientIndexForKey(description.client), 0) << ToUtf8(description.client);
    const ClientWorld world = description.describe(1, 0.01);
    EXPECT_EQ(world.client, description.client);
    EXPECT_FALSE(world.scope.folders.empty() && world.scope.branches.empty());
  }
}

TEST(WorldPlaceholders, LeadingPlaceholdersAreReplacedAndUnknownOnesReported) {
  const FolderLookup lookup = [](std::wstring_view name) -> std::optional<std::wstring> {
    if (name == L"AppData") return L"C:\\Users\\me\\AppData";
    if (name == L"Favorites") return L"D:\\Fav";
    if (name == L"LocalAppData") return L"C:\\Users\\m\u00e9\\Local";
    if (name == L"UserProfile" || name == L"SystemDrive" || name == L"ProgramFiles") {
      return L"X:";
    }
    return std::nullopt;
  };
  std::wstring text = L"<AppData>\\Microsoft";
  EXPECT_TRUE(ResolveLeadingPlaceholder(text, lookup));
  EXPECT_EQ(text, L"C:\\Users\\me\\AppData\\Microsoft");
  text = L"%UserProfile%\\<AppData>";
  EXPECT_TRUE(ResolveLeadingPlaceholder(text, lookup));
  EXPECT_EQ(text, L"%UserProfile%\\<AppData>");
  text = L"<Nowhere>\\x";
  EXPECT_FALSE(ResolveLeadingPlaceholder(text, lookup));
  // Path arguments of a command line; other angle brackets stay.
  std::wstring unknown;
  text = L"\"<ProgramFiles>\\E.exe\" \"<AppData>\\Mail\" <AppData>\\x Sales <EU> | Q&A";
  EXPECT_TRUE(ResolveLeadingPlaceholder(text, lookup) &&
              ResolveArgumentPlaceholders(text, lookup, &unknown));
  EXPECT_EQ(text,
            L"\"X:\\E.exe\" \"C:\\Users\\me\\AppData\\Mail\" C:\\Users\\me\\AppData\\x "
            L"Sales <EU> | Q&A");
  text = L"E.exe <Nowhere>\\x";
  EXPECT_FALSE(ResolveArgumentPlaceholders(text, lookup, &unknown));

  auto worlds = DescribeWorld(Request(2, 0.01, {L"OutlookExpress", L"Favorites", L"Outlook"}));
  std::wstring unresolved;
  ASSERT_TRUE(ResolveWorld(worlds, lookup, &unresolved)) << ToUtf8(unresolved);
  for (const ClientWorld& world : worlds) {
    for (const FileSpec& file : world.files) EXPECT_NE(file.path[0], L'<');
    for (const std::wstring& folder : world.scope.folders) EXPECT_NE(folder[0], L'<');
    for (const RegistryEntry& entry : world.registry) {
      if (entry.value.type == kTypeString) {
        EXPECT_FALSE(TextOf(entry).starts_with(L"<")) << ToUtf8(TextOf(entry));
      }
      if (entry.ansi_text) {
        EXPECT_FALSE(FromAnsiTextData(entry.value.data).starts_with(L"<"));
        EXPECT_EQ(entry.value.data.back(), 0);
      }
    }
  }
  // Paths kept as ANSI text in binary data are resolved and stay in one byte per letter.
  const auto outlook = ValuesOf(worlds[2]);
  size_t local_paths = 0;
  for (const auto& [label, entry] : outlook) {
    if (!entry->ansi_text || !label.ends_with(L"[001e6700]")) continue;
    const std::wstring path = FromAnsiTextData(entry->value.data);
    if (path.starts_with(L"C:\\Users\\m\u00e9\\Local\\")) ++local_paths;
    EXPECT_EQ(entry->value.data.size(), path.size() + 1) << ToUtf8(path);
  }
  EXPECT_EQ(local_paths, 3u);
  const auto favorites = ValuesOf(worlds[1]);
  EXPECT_EQ(TextOf(*favorites.at(L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                                 L"CurrentVersion\\Explorer\\Shell Folders [Favorites]")),
            L"D:\\Fav");

  auto without_windows = DescribeWorld(Request(2, 0.01, {L"OutlookExpress"}));
  const FolderLookup partial = [](std::wstring_view name) -> std::optional<std::wstring> {
    if (name == L"ProgramFiles") return std::nullopt;
    return L"C:";
  };
  EXPECT_FALSE(ResolveWorld(without_windows, partial, &unresolved));
  EXPECT_TRUE(unresolved.starts_with(L"<ProgramFiles>")) << ToUtf8(unresolved);
}

TEST(WorldPlaceholders, PlaceholdersInsideATextBecomeFoldersInTheSystemCodePage) {
  using namespace std::string_literals;
  const FolderLookup lookup = [](std::wstring_view name) -> std::optional<std::wstring> {
    if (name == L"AppData") return L"C:\\Users\\J\u00f6rg\\AppData";
    if (name == L"Hanzi") return L"C:\\\u4e2d";
    return std::nullopt;
  };
  std::string text = "directory\0<AppData>\\a\0<AppData>"s;
  EXPECT_TRUE(ResolvePlaceholdersInText(text, lookup));
  EXPECT_EQ(text, "directory\0C:\\Users\\J\xf6rg\\AppData\\a\0C:\\Users\\J\xf6rg\\AppData"s);
  for (std::string unusable : {"<Hanzi>\\x", "<Nowhere>\\x"}) {
    const std::string kept = unusable;
    EXPECT_FALSE(ResolvePlaceholdersInText(unusable, lookup));
    EXPECT_EQ(unusable, kept);
  }
}

TEST(WorldContent, GeneratedContentIsDeterministicExactlySizedAndLooksLikeItsKind) {
  WorldRandom random(9, "test");
  const FileSpec mailbox = GeneratedFile(L"Inbox.dbx", ContentKind::kMailbox, 100000, random);
  const FileSpec binary = GeneratedFile(L"a.wab", ContentKind::kBinary, 70001, random);
  const std::string mail = ContentOf(mailbox);
  ASSERT_EQ(mail.size(), 100000u);
  EXPECT_EQ(mail, ContentOf(mailbox));
  EXPECT_TRUE(mail.starts_with("From: \""));
  EXPECT_GT(std::count(mail.begin(), mail.end(), '\n'), 500);
  EXPECT_NE(mail.find("\r\nSubject: "), std::string::npos);

  const std::string bytes = ContentOf(binary);
  ASSERT_EQ(bytes.size(), 70001u);
  std::set<char> distinct(bytes.begin(), bytes.end());
  EXPECT_EQ(distinct.size(), 256u);
  EXPECT_NE(bytes, ContentOf(GeneratedFile(L"a.wab", ContentKind::kBinary, 70001, random)));

  // Reading in odd pieces gives the same bytes as reading at once.
  ContentStream stream(mailbox);
  std::string pieces;
  char piece[777];
  while (const size_t got = stream.Read(piece, sizeof(piece))) pieces.append(piece, got);
  EXPECT_EQ(pieces, mail);
  EXPECT_EQ(ContentOf(TextFile(L"x.url", "[InternetShortcut]\r\n")), "[InternetShortcut]\r\n");
}

TEST(WorldOptions, CommandLinesAreUnderstoodOrRefusedWithAReason) {
  WorldOptions options;
  std::wstring error;
  ASSERT_TRUE(ParseWorldOptions(
      {L"--seed", L"7", L"--scale", L"0.01", L"--clients", L"OutlookExpress,Favorites"}, &options,
      &error));
  EXPECT_EQ(options.action, WorldAction::kInstall);
  EXPECT_EQ(options.request.seed, 7u);
  EXPECT_DOUBLE_EQ(options.request.scale, 0.01);
  EXPECT_EQ(options.request.clients, (std::vector<std::wstring>{L"OutlookExpress", L"Favorites"}));

  ASSERT_TRUE(ParseWorldOptions({L"--demo", L"--scale", L"0.5"}, &options, &error));
  EXPECT_EQ(options.request.clients.size(), DescribedClients().size());
  EXPECT_DOUBLE_EQ(options.request.scale, 0.5);
  const uint64_t demo_seed = options.request.seed;
  ASSERT_TRUE(ParseWorldOptions({L"--demo"}, &options, &error));
  EXPECT_EQ(options.request.seed, demo_seed);
  EXPECT_LT(options.request.scale, 0.1);

  ASSERT_TRUE(ParseWorldOptions({L"--compare", L"a.snap", L"b.snap"}, &options, &error));
  EXPECT_EQ(options.action, WorldAction::kCompare);
  EXPECT_EQ(options.second_file, L"b.snap");
  ASSERT_TRUE(
      ParseWorldOptions({L"--clients", L"Favorites", L"--snapshot", L"s"}, &options, &error));
  EXPECT_EQ(options.action, WorldAction::kSnapshot);
  EXPECT_EQ(options.snapshot_file, L"s");

  for (const auto& bad :
       std::vector<std::vector<std::wstring>>{{L"--seed", L"x7"},
                                              {L"--seed"},
                                              {L"--scale", L"0"},
                                              {L"--scale", L"-1"},
                                              {L"--clients", L"OutlookExpress,Nonesuch"},
                                              {L"--clients", L"outlookexpress"},
                                              {L"--compare", L"a"},
                                              {L"--snapshot", L"a", L"--remove"},
                                              {L"--frobnicate"}}) {
    error.clear();
    EXPECT_FALSE(ParseWorldOptions(bad, &options, &error)) << ToUtf8(bad[0]);
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace mailstow
