#include "clients/eudora_adapter.h"
#include "clients/favorites_adapter.h"
#include "clients/incredimail_adapter.h"
#include "clients/mail_client_adapter.h"
#include "clients/outlook_express_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateAdapter(int client_index, AdapterContext& context) {
  switch (client_index) {
    case 1:
      return CreateOutlookExpressAdapter(context);
    case 3:
      return CreateEudoraAdapter(context);
    case 5:
      return CreateIncrediMailAdapter(context);
    case 10:
      return CreateFavoritesAdapter(context);
    default:
      return nullptr;
  }
}

}  // namespace mailstow
