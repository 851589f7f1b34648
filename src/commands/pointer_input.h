// Pointer commands: relative moves scaled by the sensitivity factors, wheel turns, clicks.
#pragma once

#include <cstdint>

class InputInjector;

// "dx,dy" (dy optional) scaled by factor/50 each, truncating toward zero.
void MoveRelative(InputInjector& input, const char* parameter, std::int32_t horizontalFactor,
                  std::int32_t verticalFactor);
// n tenths of a notch; positive turns toward the user.
void TurnWheel(InputInjector& input, const char* parameter);
// Down and up of the button(s) given as MouseEventFlag pairs, `times` clicks in a row.
void Click(InputInjector& input, std::uint32_t downFlag, std::uint32_t upFlag, int times = 1);
