// Process-wide choice of the registration target: set by the server module for
// the per-user switches, read only by the script expansion, never reset.
#pragma once

extern bool PerUserRegistration;
