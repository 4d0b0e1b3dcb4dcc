#include "shell/settings_keys.h"

#include <array>
#include <tuple>

namespace lumra {

namespace {

template <auto Group, auto Member>
constexpr SettingKey Int(std::string_view section, std::string_view key, int def, int (*clamp)(int) = nullptr,
                         KeyRule rule = KeyRule::None) {
    return {section, key, KeyKind::Int, def, clamp, &kIntField<Group, Member>, nullptr, rule};
}

template <auto Group, auto Member>
constexpr SettingKey Bool(std::string_view section, std::string_view key, int def) {
    return {section, key, KeyKind::Bool, def, nullptr, &kIntField<Group, Member>, nullptr, KeyRule::None};
}

template <auto Group, auto Member, int Index = -1>
constexpr SettingKey Text(std::string_view section, std::string_view key, KeyRule rule = KeyRule::None) {
    return {section, key, KeyKind::Text, 0, nullptr, nullptr, &kTextField<Group, Member, Index>, rule};
}

constexpr auto A = &Settings::awin;
constexpr auto V = &Settings::vwin;
constexpr auto S = &Settings::swin;
constexpr auto L = &Settings::limg;
constexpr auto M = &Settings::simg;
constexpr auto P = &Settings::path;
using Aw = AwinSettings;
using Vw = VwinSettings;
using Sw = SwinSettings;
using Li = LImgSettings;
using Si = SImgSettings;
using Pa = PathSettings;

constexpr std::array kKeys = {
    Int<A, &Aw::start>("Awin", "Start", 0, nullptr, KeyRule::KeptFromFile),
    Int<A, &Aw::dual>("Awin", "Dual", 0, nullptr, KeyRule::KeptFromFile),

    Bool<L, &Li::gamma>("LImg", "Gamma", 1),
    Int<L, &Li::dispGam>("LImg", "DispGam", 2200),
    Bool<L, &Li::alpha>("LImg", "Alpha", 1),
    Bool<L, &Li::fbg>("LImg", "FBG", 1),
    Int<L, &Li::bgR>("LImg", "BGR", 255, ClampByte),
    Int<L, &Li::bgG>("LImg", "BGG", 255, ClampByte),
    Int<L, &Li::bgB>("LImg", "BGB", 255, ClampByte),

    Int<M, &Si::format>("SImg", "Format", 0, ClampSaveFormat),
    Int<M, &Si::depth>("SImg", "Depth", 24, ClampDepth),
    Bool<M, &Si::gray>("SImg", "Gray", 0),
    Int<M, &Si::dither>("SImg", "Dither", 16, ClampDither),  // the fallback is out of range: 0
    Int<M, &Si::level>("SImg", "Level", 9, ClampLevel),
    Int<M, &Si::filter>("SImg", "Filter", 0, ClampFilter),
    Bool<M, &Si::interlace>("SImg", "Interlace", 0),
    Bool<M, &Si::gamma>("SImg", "Gamma", 0),
    Int<M, &Si::saveGam>("SImg", "SaveGam", 2200),
    Int<M, &Si::alphaR>("SImg", "AlphaR", 255, ClampByte),
    Int<M, &Si::alphaG>("SImg", "AlphaG", 255, ClampByte),
    Int<M, &Si::alphaB>("SImg", "AlphaB", 255, ClampByte),
    Int<M, &Si::quality>("SImg", "Quality", 75, ClampQuality),
    Int<M, &Si::sampling>("SImg", "Sampling", 0, ClampSampling),
    Bool<M, &Si::progressive>("SImg", "Progressive", 0),
    Int<M, &Si::jMarker>("SImg", "JMarker", 2, ClampJMarker),
    Bool<M, &Si::jpgTrim>("SImg", "JpgTrim", 1),
    Bool<M, &Si::jpgLimit>("SImg", "JpgLimit", 0),
    Int<M, &Si::jpgLmtVal>("SImg", "JpgLmtVal", 100),

    Text<P, &Pa::spi>("Path", "SPI", KeyRule::PluginFolder),

    Bool<S, &Sw::max>("Swin", "Max", 0),
    Int<S, &Sw::x>("Swin", "x", 0, nullptr, KeyRule::CentreX),
    Int<S, &Sw::y>("Swin", "y", 0, nullptr, KeyRule::CentreY),
    Int<S, &Sw::w>("Swin", "w", 800),
    Int<S, &Sw::h>("Swin", "h", 600),
    Int<S, &Sw::rebarRow>("Swin", "RebarRow", 2),
    Int<S, &Sw::bgColor>("Swin", "BgColor", 1, ClampBgColor),
    Bool<S, &Sw::swZoom>("Swin", "SWZoom", 0),
    Bool<S, &Sw::swSmall>("Swin", "SWSmall", 1),
    Bool<S, &Sw::swLarge>("Swin", "SWLarge", 0),
    Bool<S, &Sw::swWheel>("Swin", "SWWheel", 0),
    Bool<S, &Sw::swAreaZm>("Swin", "SWAreaZm", 1),
    Bool<S, &Sw::scrlBar>("Swin", "ScrlBar", 1),

    Int<V, &Vw::bgColor>("Vwin", "BgColor", 2, ClampBgColor),
    Int<V, &Vw::sthMode>("Vwin", "SthMode", 4, ClampSthMode),
    Bool<V, &Vw::capBar>("Vwin", "CapBar", 1),
    Bool<V, &Vw::frame>("Vwin", "Frame", 1),
    Bool<V, &Vw::vtBar>("Vwin", "VTBar", 1),
    Bool<V, &Vw::nmZoom>("Vwin", "NMZoom", 0),
    Bool<V, &Vw::flZoom>("Vwin", "FLZoom", 0),
    Bool<V, &Vw::vSmall>("Vwin", "VSmall", 1),
    Bool<V, &Vw::nvLarge>("Vwin", "NVLarge", 0),
    Bool<V, &Vw::fsDown>("Vwin", "FSDown", 1),
    Bool<V, &Vw::fsUp>("Vwin", "FSUp", 0),
    Bool<V, &Vw::wheel>("Vwin", "Wheel", 0),
    Bool<V, &Vw::fsWheel>("Vwin", "FSWheel", 0),
    Bool<V, &Vw::fsAreaZm>("Vwin", "FSAreaZm", 1),
    Int<V, &Vw::time>("Vwin", "Time", 1, ClampSlideTime),
    Bool<V, &Vw::repeat>("Vwin", "Repeat", 0),
    Bool<V, &Vw::posCtrl>("Vwin", "PosCtrl", 0),
    Int<V, &Vw::posL>("Vwin", "PosL", 0),
    Int<V, &Vw::posT>("Vwin", "PosT", 0),
    Int<V, &Vw::posR>("Vwin", "PosR", 0),
    Int<V, &Vw::posB>("Vwin", "PosB", 0),

    Int<A, &Aw::dClick>("Awin", "DClick", 2, ClampClickAction),
    Int<A, &Aw::lrClick>("Awin", "LRClick", 1, ClampClickAction),
    Bool<A, &Aw::top>("Awin", "Top", 0),
    Bool<A, &Aw::wheelRev>("Awin", "WheelRev", 0),
    Int<A, &Aw::optTab>("Awin", "OptTab", 0, ClampOptTab),
    Bool<A, &Aw::noRecycMsg>("Awin", "NoRecycMsg", 0),
    Bool<A, &Aw::xpOldReg>("Awin", "XPOldReg", 0),
    Bool<A, &Aw::mouseInfo>("Awin", "MouseInfo", 1),

    Text<P, &Pa::open>("Path", "Open", KeyRule::ExistingFolder),
    Text<P, &Pa::app, 0>("Path", "APP0"),
    Text<P, &Pa::an, 0>("Path", "AN0"),
    Text<P, &Pa::app, 1>("Path", "APP1"),
    Text<P, &Pa::an, 1>("Path", "AN1"),
    Text<P, &Pa::app, 2>("Path", "APP2"),
    Text<P, &Pa::an, 2>("Path", "AN2"),
    Text<P, &Pa::app, 3>("Path", "APP3"),
    Text<P, &Pa::an, 3>("Path", "AN3"),
    Text<P, &Pa::app, 4>("Path", "APP4"),
    Text<P, &Pa::an, 4>("Path", "AN4"),
    Text<P, &Pa::app, 5>("Path", "APP5"),
    Text<P, &Pa::an, 5>("Path", "AN5"),
    Text<P, &Pa::app, 6>("Path", "APP6"),
    Text<P, &Pa::an, 6>("Path", "AN6"),
    Text<P, &Pa::app, 7>("Path", "APP7"),
    Text<P, &Pa::an, 7>("Path", "AN7"),
};

constexpr bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

constexpr bool KeysAreUnique() {
    for (size_t i = 0; i < kKeys.size(); ++i)
        for (size_t j = i + 1; j < kKeys.size(); ++j)
            if (SameName(kKeys[i].section, kKeys[j].section) && SameName(kKeys[i].key, kKeys[j].key)) return false;
    return true;
}

constexpr size_t CountKeys(std::string_view section, KeyKind kind) {
    size_t n = 0;
    for (const SettingKey& k : kKeys) n += k.section == section && (k.kind == KeyKind::Text) == (kind == KeyKind::Text);
    return n;
}

// A field added to a settings struct needs its row here.
static_assert(KeysAreUnique());
static_assert(CountKeys("Awin", KeyKind::Int) == sizeof(AwinSettings) / sizeof(int));
static_assert(CountKeys("Vwin", KeyKind::Int) == sizeof(VwinSettings) / sizeof(int));
static_assert(CountKeys("Swin", KeyKind::Int) == sizeof(SwinSettings) / sizeof(int));
static_assert(CountKeys("LImg", KeyKind::Int) == sizeof(LImgSettings) / sizeof(int));
static_assert(CountKeys("SImg", KeyKind::Int) == sizeof(SImgSettings) / sizeof(int));
static_assert(CountKeys("Path", KeyKind::Text) == 2 + std::tuple_size_v<decltype(PathSettings::app)> * 2);

}  // namespace

std::span<const SettingKey> SettingKeys() { return kKeys; }

}  // namespace lumra
