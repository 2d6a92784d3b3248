// The Internet Explorer Favorites: the ".url" files of the user's Favorites folder tree.
#pragma once

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateFavoritesAdapter(AdapterContext& context);

}  // namespace mailstow
