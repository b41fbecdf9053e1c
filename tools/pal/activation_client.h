// The COM client side of an activation, shared by "pal com activate" and
// "pal toast press": one object of a local server, one Activate call, and the
// apartment entered and left around them.
#pragma once

#include <objbase.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pal::tool {

struct ActivationCall {
    CLSID clsid{};
    std::optional<std::u16string> appUserModelId;  // nullopt passes a null text
    std::optional<std::u16string> invokedArgs;
    std::vector<std::pair<std::u16string, std::u16string>> inputs;
};

// Creates the class's object as a local server (starting it if needed), calls
// Activate once and releases it. The result is the first failure or Activate's.
HRESULT ActivateOnce(const ActivationCall& call);

}  // namespace pal::tool
