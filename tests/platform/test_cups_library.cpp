// The CUPS library loaded at run time: it is found under its soname and its functions resolve
// (an error here means the print dialog would show no ports), and a destination CUPS does not
// have has no port.

#include "platform/cups_library.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using kelmor::platform::cupsDeviceUri;

TEST(CupsLibrary, LoadsAndAnswersForADestinationItDoesNotHave)
{
    if (!QFileInfo::exists(QStringLiteral("/usr/lib/x86_64-linux-gnu/libcups.so.2")) &&
        !QFileInfo::exists(QStringLiteral("/usr/lib/libcups.so.2")))
        GTEST_SKIP() << "libcups2 is not installed";
    const auto port = cupsDeviceUri(QStringLiteral("kelmor-test-no-such-printer"));
    EXPECT_TRUE(port.error.isEmpty()) << port.error.toStdString();
    EXPECT_TRUE(port.uri.isEmpty());
    // Asked again: the library is loaded once and answers the same.
    EXPECT_TRUE(cupsDeviceUri(QStringLiteral("kelmor-test-no-such-printer")).error.isEmpty());
}
