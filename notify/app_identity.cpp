// Definitions of the process-wide identity values; empty and false at start.
#include "notify/app_identity.h"

#include "common/static_order.h"

CWideString AppUserModelId QUILL_STATIC_ORDER(QUILL_ORDER_APP_USER_MODEL_ID);
std::atomic<bool> IdentityReady{false};
std::atomic<bool> ServerReady{false};
