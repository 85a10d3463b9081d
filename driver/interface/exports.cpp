// The eleven exported functions (filled in with the session).
#include "ordavel.h"
