// PocoMail: everything below the program folder. The default user's settings file "poco.ini"
// and data lie in the program folder itself, every further user's in a folder of its own below
// the users folder; the settings file names the sub-folders of each kind of data.
#pragma once

#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreatePocoMailAdapter(AdapterContext& context);

}  // namespace mailstow
