#include <gtest/gtest.h>

#include <QFontInfo>

#include "CassetteDrawing/HandwritingFont.hpp"

namespace norvo {
namespace {

TEST(HandwritingFontTest, EachRoleResolvesToItsInstalledFamilyAndWeight) {
    struct Case {
        FontRole role;
        const char* family;
        int weight;
    };
    for (const Case& c :
         {Case{FontRole::marker, "Yusei Magic", QFont::Normal}, Case{FontRole::pen, "Comic Neue", QFont::Normal},
          Case{FontRole::typewriter, "Courier Prime Code", QFont::Normal},
          Case{FontRole::sans, "Inter", QFont::DemiBold}, Case{FontRole::serif, "Linux Libertine O", QFont::Normal},
          Case{FontRole::stencil, "League Spartan", QFont::ExtraBold}}) {
        const QFont font = fontForRole(c.role, 24);
        const QFontInfo info(font);
        EXPECT_EQ(info.family().toStdString(), c.family) << rawValue(c.role);
        EXPECT_EQ(info.weight(), c.weight) << rawValue(c.role);
        EXPECT_EQ(info.pixelSize(), 24) << rawValue(c.role);
    }
}

}  // namespace
}  // namespace norvo
