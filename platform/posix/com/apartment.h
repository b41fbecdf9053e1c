// Whether the calling thread may use COM: it entered an apartment, or some
// thread of the process entered the multithreaded one (the implicit MTA).
#pragma once

namespace pal::com {

bool CanUseCom() noexcept;

}  // namespace pal::com
