// Restoring the main window's place and size from the settings, with every correction.
#include "platform/settings.h"
#include "shell/geometry.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using kelmor::platform::SettingsSection;
using kelmor::platform::SettingsStore;
using kelmor::shell::readWindowGeometry;
using kelmor::shell::WindowGeometry;

namespace {

// A 1280 × 1024 pixel screen.
const QSizeF Screen(1280 * 15, 1024 * 15);

struct Stored
{
    const char *height;
    const char *width;
    const char *top;
    const char *left;
};

WindowGeometry restore(const QTemporaryDir &dir, const Stored &s)
{
    SettingsStore store = SettingsStore::atFile(dir.filePath(QStringLiteral("s.conf")));
    const auto put = [&](const char *key, const char *value) {
        if (value)
            store.write(SettingsSection, QString::fromLatin1(key), QString::fromLatin1(value));
    };
    put("Height", s.height);
    put("Width", s.width);
    put("Top", s.top);
    put("Left", s.left);
    return readWindowGeometry(store, Screen);
}

} // namespace

TEST(WindowGeometry, StoredValuesAreCorrectedInOrder)
{
    const double sw = Screen.width(), sh = Screen.height();
    struct Case
    {
        const char *name;
        Stored stored;
        WindowGeometry expected; // top, left, width, height
    };
    const Case cases[] = {
        {"empty store: designed size, centred",
         {nullptr, nullptr, nullptr, nullptr},
         {sh / 2 - 3050, sw / 2 - 2050, 4100, 6100}},
        {"stored place and size kept", {"7000", "5000", "1500", "3000"}, {1500, 3000, 5000, 7000}},
        {"top 0 centres vertically",
         {"7000", "5000", "0", "3000"},
         {sh / 2 - 3500, 3000, 5000, 7000}},
        {"negative top and left centre",
         {"7000", "5000", "-450", "-15"},
         {sh / 2 - 3500, sw / 2 - 2500, 5000, 7000}},
        {"top 1 is kept", {"7000", "5000", "1", "1"}, {1, 1, 5000, 7000}},
        {"width 1000 becomes 3500, height 2000 becomes 4000",
         {"2000", "1000", "600", "600"},
         {600, 600, 3500, 4000}},
        {"height above the screen becomes screen height - 90",
         {"99999", "5000", "300", "300"},
         {300, 300, 5000, sh - 90}},
        {"width above the screen becomes screen width - 90",
         {"7000", "99999", "300", "300"},
         {300, 300, sw - 90, 7000}},
        {"centring an oversize window never leaves it above the screen",
         {"99999", "5000", "0", "300"},
         {45, 300, 5000, sh - 90}},
        {"a place beyond the screen's edge is centred",
         {"7000", "5000", "1e30", "3e38"},
         {sh / 2 - 3500, sw / 2 - 2500, 5000, 7000}},
        {"garbage gives the defaults",
         {"tall", "1e400", "nan", "--3"},
         {sh / 2 - 3050, sw / 2 - 2050, 4100, 6100}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const WindowGeometry g = restore(dir, c.stored);
        EXPECT_DOUBLE_EQ(g.top, c.expected.top);
        EXPECT_DOUBLE_EQ(g.left, c.expected.left);
        EXPECT_DOUBLE_EQ(g.width, c.expected.width);
        EXPECT_DOUBLE_EQ(g.height, c.expected.height);
    }
}

TEST(WindowGeometry, MissingFileStartsOnDefaults)
{
    QTemporaryDir dir;
    const SettingsStore missing =
        SettingsStore::atFile(dir.filePath(QStringLiteral("missing/none.conf")));
    EXPECT_EQ(readWindowGeometry(missing, Screen),
              (WindowGeometry{Screen.height() / 2 - 3050, Screen.width() / 2 - 2050, 4100, 6100}));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing"))));
}

TEST(WindowGeometry, APlaceOnAnotherScreenIsKept)
{
    // The primary screen 1280 × 1024 at the origin; a second 1920 × 1080 to its right; a third
    // 1024 × 768 below the primary. Available areas in twips.
    const QList<QRectF> desktop{QRectF(0, 0, 1280 * 15, 1024 * 15),
                                QRectF(1280 * 15, 0, 1920 * 15, 1080 * 15),
                                QRectF(0, 1024 * 15, 1024 * 15, 768 * 15)};
    const double sw = Screen.width(), sh = Screen.height();
    struct Case
    {
        const char *name;
        WindowGeometry stored, expected; // top, left, width, height
    };
    const Case cases[] = {
        {"on the second screen", {1500, 25000, 5000, 7000}, {1500, 25000, 5000, 7000}},
        {"below the primary", {17000, 3000, 5000, 7000}, {17000, 3000, 5000, 7000}},
        {"right of every screen: left centred",
         {1500, 60000, 5000, 7000},
         {1500, sw / 2 - 2500, 5000, 7000}},
        {"below the second screen, where no screen is: both centred",
         {17000, 25000, 5000, 7000},
         {sh / 2 - 3500, sw / 2 - 2500, 5000, 7000}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(kelmor::shell::correctGeometry(c.stored, Screen, desktop), c.expected);
    }
}
