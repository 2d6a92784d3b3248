#include "tests/e2e/client_world.h"

#include "tools/machine_world.h"
#include "tools/utf_text.h"
#include "tools/world_installer.h"
#include "tools/world_removal.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {

::testing::AssertionResult InstallClientWorld(const std::wstring& client, uint64_t seed,
                                              SnapshotSpec* scope) {
  WorldRequest request;
  request.seed = seed;
  request.scale = 0.01;
  request.clients = {client};
  std::vector<ClientWorld> worlds;
  std::wstring error;
  InstallSummary summary;
  if (!DescribeMachineWorld(request, &worlds, &error) || !RemoveScope(ScopeOf(worlds), &error) ||
      !InstallWorld(worlds, &summary, &error)) {
    return ::testing::AssertionFailure() << ToUtf8(error);
  }
  *scope = ScopeOf(worlds);
  return ::testing::AssertionSuccess();
}

std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder) {
  std::map<std::wstring, std::string> files;
  for (const FileShot& file : TakeSnapshot({{}, {folder}}).files) {
    if (!file.folder) files[file.path.substr(folder.size() + 1)] = file.hash;
  }
  return files;
}

std::string Joined(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += ToUtf8(line) + "\n";
  return text;
}

}  // namespace mailstow::e2e
