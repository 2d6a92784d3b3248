// The adapter of Microsoft Outlook: the Outlook folders, the first mail profile and the
// personal-folders files it uses, the Outlook registry branches and the signatures.
#pragma once

#include <memory>

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateOutlookAdapter(AdapterContext& context);

}  // namespace mailstow
