// GoogleTest main for tests that need a QApplication (widgets, images, clipboard).
#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Caches (the books' headword indexes among them) go to a folder of this test process, never
    // to the user's; a test that needs another sets its own. Static, so that a death test's
    // child, which ends with exit(), removes its own too.
    static const QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
