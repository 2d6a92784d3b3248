// IncrediMail: identities under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE (two variants), each
// with a folder below the identities folder holding its message store, attachments, address
// book and rule order, and registry branches for the identity, its accounts and its rules;
// the shared stationery in eight folders and its registry branch.
#pragma once

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateIncrediMailAdapter(AdapterContext& context);

}  // namespace mailstow
