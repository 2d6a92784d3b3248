// Eudora: one data folder named on the client's command line, with mailboxes at its top and
// in a tree of ".fol" mail folders, the settings file, filters, signatures, stationery and the
// address book. Files only; one identity, "Default".
#pragma once

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateEudoraAdapter(AdapterContext& context);

}  // namespace mailstow
