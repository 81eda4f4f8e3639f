#include "ui/arrange_panels.h"

#include <gtest/gtest.h>

namespace coffer {
namespace {

struct SizeCase {
    const char* name;
    float width, height;
    float panelWidth, panelHeight;
};

class ArrangePanelsSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(ArrangePanelsSizes, PanelsAndControlsFollowTheWindow) {
    const SizeCase& c = GetParam();
    const PanelLayout layout = ArrangePanels(c.width, c.height);
    // Frame1 never moves; the four content panels share its rectangle.
    EXPECT_EQ(layout.contentPanel, (TwipsRect{2700, 0, c.panelWidth, c.panelHeight}));
    const float browserWidth = std::abs(c.panelWidth - 120);
    const float browserHeight = std::abs(c.panelHeight - 660 - 200);
    EXPECT_EQ(layout.webBrowser1, (TwipsRect{60, 660, browserWidth, browserHeight}));
    EXPECT_EQ(layout.webBrowser2, (TwipsRect{180, 1080, std::abs(c.panelWidth - 360), std::abs(c.panelHeight - 1280)}));
    EXPECT_EQ(layout.text1, (TwipsRect{120, 2040, browserWidth, std::abs(browserHeight - 1400)}));
    EXPECT_EQ(layout.listView1, (TwipsRect{60, 540, browserWidth, browserHeight / 2}));
    EXPECT_EQ(layout.listView2, (TwipsRect{60, 540 + browserHeight / 2 + 30, browserWidth, browserHeight / 2}));
    EXPECT_EQ(layout.statusBar1, (TwipsRect{60, 540 + browserHeight + 60, browserWidth, 255}));
    EXPECT_EQ(layout.msChart1, (TwipsRect{180, 1080, layout.webBrowser2.width, layout.webBrowser2.height}));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ArrangePanelsSizes,
    testing::Values(SizeCase{"design", 14610 + 120, 6525 + 1000, 11330, 6525},
                    SizeCase{"screen1280x800", 19200, 12000, 15800, 11000},
                    SizeCase{"exactlyTheMargins", 3400, 1000, 0, 0},
                    SizeCase{"narrowerThanTheMargins", 3000, 600, 400, 400},
                    SizeCase{"minimised", 0, 0, 3400, 1000}),
    [](const testing::TestParamInfo<SizeCase>& info) { return info.param.name; });

TEST(ArrangePanels, NoSizeIsEverNegative) {
    for (float width : {0.f, 100.f, 3399.f, 3400.f, 3401.f, 20000.f})
        for (float height : {0.f, 500.f, 1000.f, 1859.f, 1861.f, 3260.f, 12000.f}) {
            const PanelLayout layout = ArrangePanels(width, height);
            for (const TwipsRect& rect : {layout.contentPanel, layout.webBrowser1, layout.webBrowser2, layout.text1,
                                          layout.listView1, layout.listView2, layout.statusBar1, layout.msChart1}) {
                EXPECT_GE(rect.width, 0) << width << "x" << height;
                EXPECT_GE(rect.height, 0) << width << "x" << height;
                EXPECT_GE(rect.top, 0) << width << "x" << height;
            }
        }
}

} // namespace
} // namespace coffer
