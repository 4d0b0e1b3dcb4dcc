// The codes of the one error box and their texts.
#pragma once

#include "document/error_codes.h"

namespace lumra {

// The box text of a code; "Error" for codes outside 0-13.
const char* ShowErrorText(int code);

}  // namespace lumra
