// The frame as the options library sees it: the stand-in answers the frame's own placement.
#include <gtest/gtest.h>

#include <cstdlib>

#include "UiTestForms.h"
#include "basUserInterface.h"
#include "options/HostFrameLink.h"

TEST(HostFrameProxy, AnswersTheFramesPlacementInTwipsSoWindowsCentreOnIt) {
    TestForm frame(L"MDIFrm", 500, 400);
    frame.Move(1500, 1200);
    HostFrameProxy proxy(frame.Handle(), nullptr);
    EXPECT_TRUE(proxy.Placed());
    EXPECT_EQ(proxy.Left(), frame.Left());
    EXPECT_EQ(proxy.Top(), frame.Top());
    EXPECT_EQ(proxy.Width(), frame.Width());
    EXPECT_EQ(proxy.Height(), frame.Height());

    TestForm dialog(L"frmDialog", 120, 80);
    PlaceForm(dialog, phCentre, pvCentre, &proxy);
    EXPECT_LE(std::labs(dialog.Left() + dialog.Width() / 2 - (frame.Left() + frame.Width() / 2)), 30);
    EXPECT_LE(std::labs(dialog.Top() + dialog.Height() / 2 - (frame.Top() + frame.Height() / 2)), 30);

    frame.Unload();
    EXPECT_FALSE(proxy.Placed()) << "a frame that is gone is no reference";
}
