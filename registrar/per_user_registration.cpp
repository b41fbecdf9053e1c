// The per-user registration flag; false until a per-user switch is handled.
#include "registrar/per_user_registration.h"

bool PerUserRegistration = false;
