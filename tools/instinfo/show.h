#pragma once

#include "description/reader.h"

#include <string>

namespace tamrick {

// The JSON object of `instinfo show` for what the installer read, with the message it would show.
std::string ShowJson(const DescriptionRead& read);

} // namespace tamrick
