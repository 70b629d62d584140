#pragma once
#include <string>

#include "model/state.h"

namespace pet {

// Every variable as one JSON object on one line: the scalars by name, `slots`
// indexed 0..51, `evolutionLog` and `speciesTally`.
std::string stateJson(const State& s);
// Appends `text` as a JSON string literal.
void appendJsonString(std::string& out, std::string_view text);

}  // namespace pet
