// Outlook Express: identities under HKEY_CURRENT_USER\identities, each with its settings
// branch and message store folder, plus the shared address book and stationery.
#pragma once

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateOutlookExpressAdapter(AdapterContext& context);

}  // namespace mailstow
