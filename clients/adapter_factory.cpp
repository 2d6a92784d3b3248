#include "clients/eudora_adapter.h"
#include "clients/favorites_adapter.h"
#include "clients/incredimail_adapter.h"
#include "clients/mail_client_adapter.h"
#include "clients/mozilla_adapter.h"
#include "clients/opera_adapter.h"
#include "clients/outlook_adapter.h"
#include "clients/outlook_express_adapter.h"
#include "clients/pegasus_mail_adapter.h"
#include "clients/pocomail_adapter.h"
#include "clients/the_bat_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateAdapter(int client_index, AdapterContext& context) {
  switch (client_index) {
    case 1:
      return CreateOutlookExpressAdapter(context);
    case 2:
      return CreateOutlookAdapter(context);
    case 3:
      return CreateEudoraAdapter(context);
    case 4:
      return CreateMozillaAdapter(context);
    case 5:
      return CreateIncrediMailAdapter(context);
    case 6:
      return CreatePegasusMailAdapter(context);
    case 7:
      return CreateTheBatAdapter(context);
    case 8:
      return CreatePocoMailAdapter(context);
    case 9:
      return CreateOperaAdapter(context);
    case 10:
      return CreateFavoritesAdapter(context);
    default:
      return nullptr;
  }
}

}  // namespace mailstow
