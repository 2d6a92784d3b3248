// The Netscape and Mozilla adapter (client index 4): per profile, the mail folder tree, six
// profile files and the shared profile list file.
#pragma once

#include <memory>

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateMozillaAdapter(AdapterContext& context);

}  // namespace mailstow
