// The "Общие" page's rules: the transparency slider's scale and percentage, and autorun forcing
// tray-on-close.

#include "options/general_options.h"

#include <gtest/gtest.h>

using namespace kelmor::options;

TEST(GeneralOptions, StoredOpacityGivesTheSliderAndThePercentage)
{
    const struct
    {
        int stored;
        int slider;
        const char *percent;
        int opacity; // what the popup uses from the opening on
    } cases[] = {
        {205, 50, "19 %", 205},
        // 0 and 255 both mean no transparency: the slider's left end.
        {255, 0, "0 %", 255},
        {0, 0, "0 %", 255},
        {35, 220, "86 %", 35},
        {254, 1, "0 %", 254},
        // An opacity the slider cannot show goes to its nearer end.
        {34, 220, "86 %", 35},
        {1, 220, "86 %", 35},
        {256, 0, "0 %", 255},
        {-5, 0, "0 %", 255},
    };
    for (const auto &c : cases) {
        const GeneralOptions page(false, false, c.stored);
        EXPECT_EQ(page.sliderValue(), c.slider) << c.stored;
        EXPECT_EQ(page.percentText(), QString::fromUtf8(c.percent)) << c.stored;
        EXPECT_EQ(page.menuTransparency(), c.opacity) << c.stored;
    }
}

TEST(GeneralOptions, SliderSetsTheOpacityAtOnce)
{
    GeneralOptions page(false, false, 205);
    // The right end: opacity 35, "86 %".
    page.setSliderValue(SliderMaximum);
    EXPECT_EQ(page.menuTransparency(), 35);
    EXPECT_EQ(page.percentText(), QStringLiteral("86 %"));
    page.setSliderValue(128);
    EXPECT_EQ(page.menuTransparency(), 127);
    EXPECT_EQ(page.percentText(), QStringLiteral("50 %"));
    // Values beyond the ends are the ends.
    page.setSliderValue(1000);
    EXPECT_EQ(page.sliderValue(), SliderMaximum);
    page.setSliderValue(-3);
    EXPECT_EQ(page.sliderValue(), SliderMinimum);
    EXPECT_EQ(page.menuTransparency(), 255);
}

TEST(GeneralOptions, AutorunForcesTrayOnClose)
{
    // Opened with autorun on: both checked, tray-on-close cannot be changed.
    GeneralOptions page(false, true, 205);
    EXPECT_TRUE(page.autorun());
    EXPECT_TRUE(page.trayOnClose());
    EXPECT_FALSE(page.trayOnCloseEnabled());
    EXPECT_TRUE(page.trayPictureVisible());
    page.setTrayOnClose(false);
    EXPECT_TRUE(page.trayOnClose());

    // Autorun off: tray-on-close can be changed again and is still checked.
    page.setAutorun(false);
    EXPECT_TRUE(page.trayOnCloseEnabled());
    EXPECT_TRUE(page.trayOnClose());
    page.setTrayOnClose(false);
    EXPECT_FALSE(page.trayOnClose());
    EXPECT_FALSE(page.trayPictureVisible());

    // Autorun on again checks it again.
    page.setAutorun(true);
    EXPECT_TRUE(page.trayOnClose());
    EXPECT_FALSE(page.trayOnCloseEnabled());

    // Opened with autorun off, the setting shows as stored.
    const GeneralOptions off(false, false, 205);
    EXPECT_FALSE(off.trayOnClose());
    EXPECT_TRUE(off.trayOnCloseEnabled());
    EXPECT_FALSE(off.trayPictureVisible());
}
