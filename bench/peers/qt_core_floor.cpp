// The floor of any program on Qt Core: loading Qt Core and the libraries it needs (ICU, glib,
// PCRE2, zstd and the rest), then nothing. bench/compare_peers.sh sets it beside `kelmor lookup`
// on an empty library and sdcv on one: what a lookup costs beyond it is Kelmor's own.
#include <QString>

int main(int argc, char **argv)
{
    // A call into Qt Core, so that the library is loaded and relocated as the lookup's is.
    return QString::fromLocal8Bit(argc > 0 ? argv[0] : "").isEmpty() ? 1 : 0;
}
