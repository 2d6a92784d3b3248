#include "tools/world_options.h"

#include <charconv>
#include <cmath>

#include "tools/utf_text.h"

namespace mailstow {
namespace {

constexpr uint64_t kDemoSeed = 2024;
constexpr double kDemoScale = 0.02;

template <typename Number>
bool ParseNumber(const std::wstring& text, Number* number) {
  const std::string bytes = ToUtf8(text);
  if (bytes.empty()) return false;
  const auto [end, error] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), *number);
  return error == std::errc() && end == bytes.data() + bytes.size();
}

std::vector<std::wstring> SplitList(const std::wstring& text) {
  std::vector<std::wstring> items;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(L',', start);
    items.push_back(text.substr(start, comma - start));
    if (comma == std::wstring::npos) return items;
    start = comma + 1;
  }
}

std::vector<std::wstring> AllDescribedClients() {
  std::vector<std::wstring> clients;
  for (const ClientDescription& description : DescribedClients()) {
    clients.emplace_back(description.client);
  }
  return clients;
}

}  // namespace

bool ParseWorldOptions(const std::vector<std::wstring>& args, WorldOptions* options,
                       std::wstring* error) {
  *options = WorldOptions();
  bool demo = false, seed_given = false, scale_given = false, clients_given = false;
  bool action_given = false;
  auto set_action = [&](WorldAction action) {
    if (action_given) {
      *error = L"choose one of --remove, --snapshot and --compare";
      return false;
    }
    action_given = true;
    options->action = action;
    return true;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    const size_t operands =
        arg == L"--compare" ? 2
        : (arg == L"--seed" || arg == L"--scale" || arg == L"--clients" || arg == L"--snapshot")
            ? 1
            : 0;
    if (i + operands >= args.size()) {
      *error = arg + L" needs " + (operands == 2 ? L"two operands" : L"an operand");
      return false;
    }
    if (arg == L"--help" || arg == L"/?") {
      options->action = WorldAction::kHelp;
      return true;
    } else if (arg == L"--demo") {
      demo = true;
    } else if (arg == L"--seed") {
      if (!ParseNumber(args[++i], &options->request.seed)) {
        *error = L"--seed needs a whole number, not \"" + args[i] + L"\"";
        return false;
      }
      seed_given = true;
    } else if (arg == L"--scale") {
      double scale = 0;
      if (!ParseNumber(args[++i], &scale) || !std::isfinite(scale) || scale <= 0) {
        *error = L"--scale needs a positive number, not \"" + args[i] + L"\"";
        return false;
      }
      options->request.scale = scale;
      scale_given = true;
    } else if (arg == L"--clients") {
      options->request.clients = SplitList(args[++i]);
      for (const std::wstring& client : options->request.clients) {
        if (FindDescription(client) == nullptr) {
          *error = L"no description of the client \"" + client + L"\"";
          return false;
        }
      }
      clients_given = true;
    } else if (arg == L"--remove") {
      if (!set_action(WorldAction::kRemove)) return false;
    } else if (arg == L"--snapshot") {
      if (!set_action(WorldAction::kSnapshot)) return false;
      options->snapshot_file = args[++i];
    } else if (arg == L"--compare") {
      if (!set_action(WorldAction::kCompare)) return false;
      options->first_file = args[++i];
      options->second_file = args[++i];
    } else {
      *error = L"unknown argument \"" + arg + L"\"";
      return false;
    }
  }
  if (demo && !seed_given) options->request.seed = kDemoSeed;
  if (demo && !scale_given) options->request.scale = kDemoScale;
  if (!clients_given) options->request.clients = AllDescribedClients();
  return true;
}

std::wstring WorldUsage() {
  std::wstring clients;
  for (const ClientDescription& description : DescribedClients()) {
    clients += (clients.empty() ? L"" : L",") + std::wstring(description.client);
  }
  return L"make_world [--seed N] [--scale X] [--clients " + clients +
         L"] [--demo]\n"
         L"  installs a synthetic world of mail clients for the current user: registry keys and\n"
         L"  files made from the seed; sizes are multiplied by the scale (1 gives about 100 MB\n"
         L"  per mail client with stores). --demo: a small world of every described client.\n"
         L"make_world [same options] --remove\n"
         L"  deletes the registry branches and folders that belong to those clients.\n"
         L"make_world [same options] --snapshot FILE\n"
         L"  writes a snapshot of the registry branches and folders of those clients.\n"
         L"make_world --compare BEFORE AFTER\n"
         L"  prints every difference between two snapshots; exit code 0 when there is none,\n"
         L"  1 when there are differences, 2 on errors.\n";
}

}  // namespace mailstow
