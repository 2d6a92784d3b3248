// The mail clients that synthetic worlds can hold, and the composition of a world from them.
// Each client describes itself in a file of its own (world_<client>.cpp) and has one line in the
// table of described clients.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/world_plan.h"

namespace mailstow {

using DescribeClient = ClientWorld (*)(uint64_t seed, double scale);

struct ClientDescription {
  std::wstring_view client;  // client key, as manifests name it
  DescribeClient describe;
};

ClientWorld DescribeOutlookExpress(uint64_t seed, double scale);
ClientWorld DescribeOutlook(uint64_t seed, double scale);
ClientWorld DescribeFavorites(uint64_t seed, double scale);
ClientWorld DescribeTheBat(uint64_t seed, double scale);
ClientWorld DescribePegasusMail(uint64_t seed, double scale);
ClientWorld DescribePocoMail(uint64_t seed, double scale);
ClientWorld DescribeOpera(uint64_t seed, double scale);
ClientWorld DescribeMozilla(uint64_t seed, double scale);
ClientWorld DescribeEudora(uint64_t seed, double scale);
ClientWorld DescribeIncrediMail(uint64_t seed, double scale);

std::span<const ClientDescription> DescribedClients();
// The description of a client key (exact comparison), or null.
const ClientDescription* FindDescription(std::wstring_view client);

struct WorldRequest {
  uint64_t seed = 1;
  double scale = 1.0;
  std::vector<std::wstring> clients;  // client keys; every one must be described
};

// The worlds of the requested clients, in request order. The first of them that can be the
// system's default mail client is made the default.
std::vector<ClientWorld> DescribeWorld(const WorldRequest& request);

// Everything that belongs to the given clients, for a snapshot.
SnapshotSpec ScopeOf(const std::vector<ClientWorld>& worlds);

}  // namespace mailstow
