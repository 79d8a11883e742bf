// Fuzz target of the rich-text reader: any bytes are read as an article (RTF or plain text),
// put into a QTextDocument with their pictures decoded, and the view's text taken from it.

#include "viewer/article_document.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

using namespace kelmor::viewer;

namespace {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char *argv[] = {name, nullptr};
    if (QGuiApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ensureApplication();
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const RtfDocument article = readArticle(bytes);
    (void)documentText(article);
    QTextDocument document;
    QFont base(kArticleFontFamily);
    base.setPointSize(kArticlePointSize);
    setArticleDocument(&document, article, base);
    // One character of the view's text per position of the document.
    if (articleViewText(&document).size() != document.characterCount() - 1)
        std::abort();
    return 0;
}
