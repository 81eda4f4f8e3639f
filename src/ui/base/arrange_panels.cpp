// SPDX-License-Identifier: MIT
#include "ui/base/arrange_panels.h"

#include <cmath>

namespace coffer {

PanelLayout ArrangePanels(float outerWidth, float outerHeight) {
    using std::fabs;
    PanelLayout layout;
    TwipsRect& frame = layout.contentPanel;
    frame.left = design::kFrame1.left;
    frame.top = design::kFrame1.top;
    frame.width = fabs(outerWidth - 2 * frame.left + 2000);
    frame.height = fabs(outerHeight - frame.top - 1000);

    TwipsRect& browser1 = layout.webBrowser1;
    browser1 = design::kWebBrowser1;
    browser1.width = fabs(frame.width - 2 * browser1.left);
    browser1.height = fabs(frame.height - browser1.top - 200);

    TwipsRect& browser2 = layout.webBrowser2;
    browser2 = design::kWebBrowser2;
    browser2.width = fabs(frame.width - 2 * browser2.left);
    browser2.height = fabs(frame.height - browser2.top - 200);

    layout.text1 = design::kText1;
    layout.text1.width = browser1.width;
    layout.text1.height = fabs(browser1.height - 1400);

    TwipsRect& list1 = layout.listView1;
    list1 = design::kListView1;
    list1.width = browser1.width;
    list1.height = fabs(browser1.height / 2);

    TwipsRect& list2 = layout.listView2;
    list2 = design::kListView2;
    list2.top = list1.top + list1.height + 30;
    list2.height = list1.height;
    list2.width = list1.width;

    layout.statusBar1 = design::kStatusBar1;
    layout.statusBar1.width = list2.width;
    layout.statusBar1.top = fabs(list2.top + list2.height + 30);

    layout.msChart1 = design::kMSChart1;
    layout.msChart1.height = browser2.height;
    layout.msChart1.width = browser2.width;
    return layout;
}

} // namespace coffer
