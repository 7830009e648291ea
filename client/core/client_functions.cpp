#include "client_functions.h"

#include "date_order.h"

namespace orvik::client {

std::unique_ptr<Functions> MakeClientFunctions() {
  auto functions = std::make_unique<Functions>(DateOrderProbe());
  functions->SetRReplaceSafety(false);
  return functions;
}

}  // namespace orvik::client
