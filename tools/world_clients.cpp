#include "tools/world_clients.h"

namespace mailstow {
namespace {

constexpr ClientDescription kDescribedClients[] = {
    {L"OutlookExpress", &DescribeOutlookExpress},
    {L"Outlook", &DescribeOutlook},
    {L"Favorites", &DescribeFavorites},
    {L"TheBat", &DescribeTheBat},
    {L"PegasusMail", &DescribePegasusMail},
    {L"PocoMail", &DescribePocoMail},
    {L"Opera", &DescribeOpera},
    {L"Netscape", &DescribeMozilla},
    {L"Eudora", &DescribeEudora},
    {L"IncrediMail", &DescribeIncrediMail},
};

}  // namespace

std::span<const ClientDescription> DescribedClients() { return kDescribedClients; }

const ClientDescription* FindDescription(std::wstring_view client) {
  for (const ClientDescription& description : kDescribedClients) {
    if (description.client == client) return &description;
  }
  return nullptr;
}

std::vector<ClientWorld> DescribeWorld(const WorldRequest& request) {
  std::vector<ClientWorld> worlds;
  for (const std::wstring& client : request.clients) {
    if (const ClientDescription* description = FindDescription(client)) {
      worlds.push_back(description->describe(request.seed, request.scale));
    }
  }
  for (ClientWorld& world : worlds) {
    if (!world.default_client_name.empty()) {
      KeyBuilder(world, RegistryRoot::kLocalMachine, L"SOFTWARE\\Clients\\Mail")
          .String(L"", world.default_client_name);
      break;
    }
  }
  return worlds;
}

SnapshotSpec ScopeOf(const std::vector<ClientWorld>& worlds) {
  SnapshotSpec scope;
  for (const ClientWorld& world : worlds) {
    scope.branches.insert(scope.branches.end(), world.scope.branches.begin(),
                          world.scope.branches.end());
    scope.folders.insert(scope.folders.end(), world.scope.folders.begin(),
                         world.scope.folders.end());
  }
  return scope;
}

}  // namespace mailstow
