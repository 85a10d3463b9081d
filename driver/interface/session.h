// The session object behind the exported functions.
#pragma once

namespace ordavel::interface {

class Session {
public:
    virtual ~Session();
};

}  // namespace ordavel::interface
