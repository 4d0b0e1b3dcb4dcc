#include "edit/colour_pick.h"

namespace lumra {

int ArmColourPick(ColourPick& pick, int target, int layout, uint32_t initial) {
    pick.armed = true;
    pick.target = target;
    pick.savedLayout = layout;
    pick.live = initial & 0xFFFFFF;
    return 1;
}

std::optional<uint32_t> PixelColour(const ImageBuffer& picture, int x, int y) {
    if (picture.empty() || x < 0 || y < 0 || x >= picture.width() || y >= picture.height())
        return std::nullopt;
    const uint8_t* row = picture.topRow(y);
    RgbQuad q;
    switch (picture.bitCount()) {
        case 24:
            q.blue = row[x * 3];
            q.green = row[x * 3 + 1];
            q.red = row[x * 3 + 2];
            break;
        case 8: q = picture.palette[row[x]]; break;
        case 4: q = picture.palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 15]; break;
        case 1: q = picture.palette[(row[x / 8] >> (7 - x % 8)) & 1]; break;
        default: return std::nullopt;
    }
    return (uint32_t{q.red} << 16) | (uint32_t{q.green} << 8) | q.blue;
}

bool MoveColourPick(ColourPick& pick, const ImageBuffer& picture, int x, int y) {
    if (!pick.armed) return false;
    const std::optional<uint32_t> c = PixelColour(picture, x, y);
    if (!c || *c == pick.live) return false;
    pick.live = *c;
    return true;
}

std::optional<PickEnd> EndColourPick(ColourPick& pick, bool accept) {
    if (!pick.armed) return std::nullopt;
    PickEnd end;
    if (accept) end.colour = pick.live;
    end.target = pick.target;
    end.layout = pick.savedLayout;
    pick = ColourPick{};
    return end;
}

}  // namespace lumra
