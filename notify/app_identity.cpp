// Definitions of the process-wide identity values; empty and false at start.
#include "notify/app_identity.h"

CWideString AppUserModelId;
std::atomic<bool> IdentityReady{false};
std::atomic<bool> ServerReady{false};
