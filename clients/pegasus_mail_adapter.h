// Pegasus Mail: one folder per user below the mailbox base folder, the user list "Pmail.usr"
// in that folder, and the user-mode key of the registry. Whole user folders are backed up
// whatever items are chosen.
#pragma once

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreatePegasusMailAdapter(AdapterContext& context);

}  // namespace mailstow
