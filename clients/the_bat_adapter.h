// The Bat!: users listed in the registry's Users Depot, each with a data folder below the
// working directory or at a folder of its own, plus the shared address book. Files only; a
// direct restore registers restored users in the Users Depot.
#pragma once

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateTheBatAdapter(AdapterContext& context);

}  // namespace mailstow
