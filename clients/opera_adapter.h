// Opera's mail client: one folder per mail account below the "Mail" folder beside the program,
// with mailbox files, account settings, filters and a signature file that may lie elsewhere;
// the shared account list and contacts file. Backups of the version 7 layout (one mail tree in
// the application-data folder) are written under a client key of their own and not restored.
#pragma once

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateOperaAdapter(AdapterContext& context);

}  // namespace mailstow
