// The reg subcommands, each given the parsed key and all of reg's arguments
// (the subcommand at 0, the key at 1, switches after).
#pragma once

#include "tools/pal/reg_support.h"

namespace pal::tool::reg {

int Query(const KeyName& name, const Arguments& arguments);
int Add(const KeyName& name, const Arguments& arguments);
int Delete(const KeyName& name, const Arguments& arguments);
int Export(const std::optional<KeyName>& name);

}  // namespace pal::tool::reg
