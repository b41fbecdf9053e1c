#include "platform/posix/com/starter_ends.h"

#include <unistd.h>

namespace pal::com {

StarterEnds::~StarterEnds() {
    if (client_ >= 0) close(client_);
    ServerStarted();
}

void StarterEnds::ServerStarted() noexcept {
    if (server_ >= 0) close(server_);
    server_ = -1;
}

}  // namespace pal::com
