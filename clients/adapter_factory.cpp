#include "clients/mail_client_adapter.h"

namespace mailstow {

std::unique_ptr<MailClientAdapter> CreateAdapter(int client_index, AdapterContext& context) {
  (void)context;
  switch (client_index) {
    default:
      return nullptr;
  }
}

}  // namespace mailstow
