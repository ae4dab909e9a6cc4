#include "Cassette/CassetteStyleCatalog.hpp"

#include <string>

namespace norvo {

namespace {

struct StyleRow {
    const char* id;
    const char* shell;
    bool transparent;
    LabelStyle labelStyle;
    const char* label;
    const char* ink;
    const char* accent;
    FontRole font;
};

constexpr StyleRow rows[] = {
    {"ferro", "#2B2B2EFF", false, LabelStyle::ruled, "#F3EEDF", "#1E2A5A", "#C8372D", FontRole::marker},
    {"smoke", "#3A3A40B3", true, LabelStyle::plain, "#E8E8E8", "#202020", "#5A7FA8", FontRole::pen},
    {"crystal", "#E6EEF259", true, LabelStyle::ruled, "#FFFFFF", "#1B1B1B", "#2F6FD0", FontRole::pen},
    {"chrome", "#B9BEC4FF", false, LabelStyle::stripes, "#F5F5F0", "#111111", "#1F5FBF", FontRole::typewriter},
    {"kraft", "#3B2A1EFF", false, LabelStyle::kraft, "#C9A57A", "#2A1A0E", "#7A3B1A", FontRole::stencil},
    {"sunset", "#F2E3C6FF", false, LabelStyle::gradient, "#FFF4E0", "#3A1F2B", "#F26A3D", FontRole::sans},
    {"mint", "#BFE8D6CC", true, LabelStyle::plain, "#FFFFFF", "#1F4D3A", "#2FA37A", FontRole::sans},
    {"redline", "#1A1A1AFF", false, LabelStyle::stripes, "#F2F2F2", "#111111", "#D7261E", FontRole::serif},
};

RGBAColor color(const char* hex) { return RGBAColor::fromHex(hex).value_or(RGBAColor{}); }

CassetteStyle makeStyle(const StyleRow& row) {
    std::string name = row.id;
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    CassetteDesign design{row.id,           color(row.shell), row.transparent,   row.labelStyle,
                          color(row.label), color(row.ink),   color(row.accent), row.font};
    return CassetteStyle{row.id, std::move(name), std::move(design)};
}

}  // namespace

const std::vector<CassetteStyle>& CassetteStyleCatalog::all() {
    static const std::vector<CassetteStyle> styles = [] {
        std::vector<CassetteStyle> out;
        for (const auto& row : rows) out.push_back(makeStyle(row));
        return out;
    }();
    return styles;
}

const CassetteStyle& CassetteStyleCatalog::defaultStyle() { return all().front(); }

std::optional<CassetteStyle> CassetteStyleCatalog::style(std::string_view id) {
    for (const auto& style : all())
        if (style.id == id) return style;
    return std::nullopt;
}

}  // namespace norvo
