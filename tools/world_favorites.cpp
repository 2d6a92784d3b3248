// The Favorites folder of the current user: Internet shortcuts at the top and in nested folders,
// a folder that holds only a sub-folder, an empty folder, and files that are not shortcuts.
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "tools/world_clients.h"

namespace mailstow {
namespace {

struct Site {
  std::wstring_view title;
  std::string_view url;
};

constexpr std::array<Site, 24> kSites = {{
    {L"Example News", "http://news.example.com/"},
    {L"Weather Forecast", "http://weather.example.org/forecast/today.html"},
    {L"Online Banking", "https://bank.example.net/login"},
    {L"Search", "http://search.example.com/"},
    {L"Dictionary", "http://dictionary.example.org/"},
    {L"Train Times", "http://trains.example.com/timetable?from=home&to=work"},
    {L"City Library", "http://library.example.org/catalogue"},
    {L"Recipe of the Day", "http://cooking.example.net/recipes/daily"},
    {L"Photo Album", "http://photos.example.com/albums/summer"},
    {L"Football Results", "http://sport.example.org/football/results"},
    {L"Hotel Booking", "https://hotels.example.net/"},
    {L"Flight Status", "http://airport.example.com/arrivals"},
    {L"Maps", "http://maps.example.org/"},
    {L"Tech Reviews", "http://tech.example.com/reviews"},
    {L"Software Updates", "http://updates.example.net/downloads"},
    {L"Local Council", "http://council.example.org/services"},
    {L"Garden Tips", "http://garden.example.com/tips/spring"},
    {L"Radio Stream", "http://radio.example.net/listen"},
    {L"Museum Opening Hours", "http://museum.example.org/visit"},
    {L"Cinema Programme", "http://cinema.example.com/this-week"},
    {L"Tax Office", "https://tax.example.gov/forms"},
    {L"Club Website", "http://club.example.org/members"},
    {L"Caf\u00e9 Lumi\u00e8re", "http://cafe.example.net/menu"},
    {L"Stock Quotes", "http://finance.example.com/quotes?symbols=ABC,XYZ"},
}};

class FavoritesWriter {
 public:
  FavoritesWriter(ClientWorld& world, WorldRandom& random) : world_(world), random_(random) {}

  // Adds count shortcuts to folder (relative to the Favorites folder, empty for its top).
  void Shortcuts(std::wstring_view folder, int count, std::wstring_view extension = L".url") {
    for (int i = 0; i < count; ++i) {
      const Site& site = kSites[next_site_++ % kSites.size()];
      world_.files.push_back(TextFile(
          Path(folder, std::wstring(site.title) + std::wstring(extension)), Shortcut(site.url)));
    }
  }

  void Folder(std::wstring_view folder) { world_.folders.push_back(Path(folder, L"")); }

  void Other(std::wstring_view folder, std::wstring_view name, std::string text) {
    world_.files.push_back(TextFile(Path(folder, name), std::move(text)));
  }

 private:
  static std::wstring Path(std::wstring_view folder, std::wstring_view name) {
    std::wstring path = L"<Favorites>";
    if (!folder.empty()) path += L"\\" + std::wstring(folder);
    if (!name.empty()) path += L"\\" + std::wstring(name);
    return path;
  }

  std::string Shortcut(std::string_view url) {
    std::string text;
    if (random_.Percent(50)) text += "[DEFAULT]\r\nBASEURL=" + std::string(url) + "\r\n";
    text += "[InternetShortcut]\r\nURL=" + std::string(url) + "\r\n";
    if (random_.Percent(60)) {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      text += "Modified=";
      for (int i = 0; i < 16; ++i) text += kDigits[random_.Below(16)];
      text += "\r\n";
    }
    if (random_.Percent(40)) text += "IconIndex=" + std::to_string(random_.Between(0, 12)) + "\r\n";
    return text;
  }

  ClientWorld& world_;
  WorldRandom& random_;
  size_t next_site_ = 0;
};

}  // namespace

ClientWorld DescribeFavorites(uint64_t seed, double /*scale*/) {
  WorldRandom random(seed, "Favorites");
  ClientWorld world;
  world.client = L"Favorites";
  KeyBuilder(world, RegistryRoot::kCurrentUser,
             L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")
      .String(L"Favorites", L"<Favorites>");

  FavoritesWriter favorites(world, random);
  favorites.Folder(L"");
  favorites.Shortcuts(L"", random.Between(3, 5));
  favorites.Shortcuts(L"", 1, L".URL");
  favorites.Other(L"", L"desktop.ini", "[.ShellClassInfo]\r\nIconIndex=-173\r\n");
  favorites.Shortcuts(L"Links", random.Between(2, 4));
  favorites.Other(L"Links", L"old.url.bak",
                  "[InternetShortcut]\r\nURL=http://old.example.com/\r\n");
  favorites.Shortcuts(L"Travel", random.Between(2, 3));
  favorites.Other(L"Travel", L"Packing list.txt", "passport\r\ntickets\r\ncharger\r\n");
  favorites.Folder(L"News");
  favorites.Shortcuts(L"News\\Technology", random.Between(2, 3));
  favorites.Shortcuts(L"News\\Local\\Sport", random.Between(1, 2));
  favorites.Shortcuts(L"Caf\u00e9s & Bars", 1);
  favorites.Folder(L"Old Stuff");
  favorites.Other(L"Recipes", L"Pancakes.lnk", std::string("L\0\0\0\x01\x14\x02\0recipe", 14));
  favorites.Shortcuts(L"Recipes", random.Between(1, 2));

  world.scope.folders.push_back(L"<Favorites>");
  return world;
}

}  // namespace mailstow
