// Print hold: a print job kept as a row of the system account's printhold table instead of
// being printed, by queue and sequence number.
//
// Called on the port's thread with the port's AccountConnection. A job that cannot be stored
// comes back as "[976] printhold job failed to close"; a connection that cannot be switched
// to the system account raises what the datastore raised.

#ifndef ORVIK_ENGINE_DATASTORE_PRINT_HOLD_H_
#define ORVIK_ENGINE_DATASTORE_PRINT_HOLD_H_

#include <cstdint>
#include <string>

#include "account_connection.h"
#include "status.h"

namespace orvik {

namespace dberr {
inline constexpr int kPrintHoldFailed = 976;
}  // namespace dberr

// Stores `text` as the next job of `queue`, held for the user `userId` of the port's
// account.
Status StoreHeldJob(AccountConnection& account, std::int32_t queue, const std::string& userId,
                    const std::string& text);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_PRINT_HOLD_H_
