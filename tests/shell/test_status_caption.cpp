// The status caption: its text, the shortening rules, and the label shortening itself to fit.
#include "shell/status_caption.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

using namespace kelmor::shell;

TEST(StatusCaption, StatusTextAndShortening)
{
    EXPECT_EQ(StatusText(1200), "1200 слованых статей; ~6000 толкований");
    EXPECT_EQ(StatusText(0), "0 слованых статей; ~0 толкований");
    EXPECT_EQ(StatusText(500000), "500000 слованых статей; ~2500000 толкований");

    const struct
    {
        const char *text;
        int limit;
        const char *expected;
    } cases[] = {
        {"Пересыпание", 5, "Пере..."},
        {"Вода", 22, "Вода"},
        {"Вода", 4, "Вода"},
        {"Вода", 3, "Во..."},
        {"Вода", 1, "..."},
        {"Вода", 0, ""},
        {"Вода", -3, ""},
        {"", 5, ""},
    };
    for (const auto &tc : cases)
        EXPECT_EQ(IfLong(QString::fromUtf8(tc.text), tc.limit), QString::fromUtf8(tc.expected))
            << tc.text << " " << tc.limit;

    EXPECT_EQ(WhatLong(6000, 255, 100), 66); // 5645 / 85
    EXPECT_EQ(WhatLong(440, 255, 100), 1);
    EXPECT_EQ(WhatLong(300, 255, 100), -1); // rounded down
}

TEST(StatusCaption, LabelShortensToItsWidthAndKeepsTheWholeTextInTheTooltip)
{
    StatusCaption caption;
    const QString full = StatusText(123456);
    caption.resize(QFontMetrics(caption.font()).horizontalAdvance(full) / 2, 20);
    caption.show();
    caption.setFullText(full);
    EXPECT_EQ(caption.toolTip(), full);
    EXPECT_TRUE(caption.text().endsWith(QStringLiteral("...")));
    EXPECT_LE(QFontMetrics(caption.font()).horizontalAdvance(caption.text()), caption.width());

    // Wider again: the whole text comes back without being set anew.
    caption.resize(QFontMetrics(caption.font()).horizontalAdvance(full) * 2 + 100, 20);
    EXPECT_EQ(caption.text(), full);
}
