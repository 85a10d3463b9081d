// The session object.
#include "driver/interface/session.h"

namespace ordavel::interface {

Session::~Session() = default;

}  // namespace ordavel::interface
