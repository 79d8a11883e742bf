// libFuzzer entry for the Jet 4 reader: open the bytes as a database, list and open every table,
// read every value, build the seek index on each text column and seek a few keys, and dump it
// all as JSON. A damaged input may raise JetError; anything else (a crash, a sanitizer report,
// a hang) is a finding. The page cache is kept tiny, so that pages are dropped while the reader
// still holds them.

#include "books/engine/jet.h"
#include "books/engine/raw_dump.h"

#include <cstddef>
#include <cstdint>

using namespace kelmor::books;

namespace {

constexpr std::size_t kCachePages = 2;

void readTable(const Database &db, const std::string &name)
{
    const auto table = db.openTable(name);
    std::u16string firstText;
    for (table->moveFirst(); !table->eof(); table->moveNext()) {
        for (const auto &c : table->columns()) {
            const Value v = table->value(c.name);
            if (const auto *s = std::get_if<std::u16string>(&v); s && firstText.empty()) {
                firstText = *s;
            }
        }
    }
    (void)table->recordCount();
    for (const auto &c : table->columns()) {
        if (c.type != ColumnType::Text && c.type != ColumnType::Memo) {
            continue;
        }
        table->setCurrentIndex(c.name);
        for (const std::u16string_view key :
             {std::u16string_view(firstText), std::u16string_view(u"Сон"), std::u16string_view()}) {
            table->seek(key);
            if (!table->noMatch()) {
                (void)table->text(c.name);
                table->moveNext();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        const auto db =
            Database::fromBytes(std::vector<std::uint8_t>(data, data + size), "fuzz", kCachePages);
        for (const auto &name : db->tableNames()) {
            try {
                readTable(*db, name);
            } catch (const JetError &) {
            }
        }
        (void)dumpRawJson(*db);
    } catch (const JetError &) {
    }
    return 0;
}
