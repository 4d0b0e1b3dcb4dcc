// The colour-pick mode: the picture pixel under the pointer becomes a colour of the active
// operation (or the save settings' transparent colour) when it is accepted.
#pragma once

#include <cstdint>
#include <optional>

#include "formats/image_buffer.h"

namespace lumra {

struct ColourPick {
    bool armed = false;
    int target = 0;        // which colour is picked: a control id or a command
    int savedLayout = 1;   // the pane layout before arming
    uint32_t live = 0;     // 0xRRGGBB under the pointer
};

// Arms the pick for target; returns the layout to show meanwhile (the source pane alone).
int ArmColourPick(ColourPick& pick, int target, int layout, uint32_t initial);

// The colour of picture pixel (x, y), y from the top; 8-bit pictures through their palette.
// Nothing outside the picture.
std::optional<uint32_t> PixelColour(const ImageBuffer& picture, int x, int y);

// The pointer moved to picture pixel (x, y): the live colour follows when it is on the
// picture. True when it changed.
bool MoveColourPick(ColourPick& pick, const ImageBuffer& picture, int x, int y);

struct PickEnd {
    std::optional<uint32_t> colour;  // the accepted colour; nothing when cancelled
    int target = 0;
    int layout = 1;                  // the layout to go back to
};
// Accept (a left click on the picture) or cancel (Escape, lost capture). Not armed: nothing.
std::optional<PickEnd> EndColourPick(ColourPick& pick, bool accept);

}  // namespace lumra
