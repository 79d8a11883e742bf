#include "books/engine/book_writer.h"

#include "books/engine/jet_writer.h"
#include "books/engine/textcodec.h"

#include <algorithm>

namespace kelmor::books {

namespace {

JetCell optionalText(const std::optional<std::u16string> &v)
{
    return v ? JetCell(*v) : JetCell();
}

} // namespace

std::vector<std::uint8_t> buildBookFile(const BookSource &source, StoredForm form, bool withMarker)
{
    auto stored = [form](const std::optional<std::u16string> &v) -> JetCell {
        if (!v)
            return {};
        return form == StoredForm::Decompressed ? JetCell(CompressText(*v)) : JetCell(*v);
    };

    std::vector<JetTableSpec> tables(2);
    JetTableSpec &book = tables[0];
    book.name = u"Book";
    book.columns = {{u"List", ColumnType::Text, 255},
                    {u"Text", ColumnType::Memo},
                    {u"Links", ColumnType::Memo}};
    book.rows.reserve(source.records.size());
    for (const BookRecord &r : source.records)
        book.rows.push_back({r.list, stored(r.text), stored(r.links)});

    JetTableSpec &config = tables[1];
    config.name = u"Config";
    config.columns = {{u"Icon", ColumnType::Memo},
                      {u"ToolName", ColumnType::Text, 255},
                      {u"TolkName", ColumnType::Text, 255},
                      {u"Color", ColumnType::Text, 255}};
    const BookConfig &c = source.config;
    config.rows.push_back(
        {optionalText(c.icon), c.toolName, optionalText(c.tolkName), optionalText(c.color)});

    std::vector<std::uint8_t> bytes = buildJetDatabase(tables);
    if (withMarker)
        std::copy(kBookMarker.begin(), kBookMarker.end(), bytes.begin());
    return bytes;
}

void writeBookFile(const BookSource &source, const std::string &path, StoredForm form,
                   bool withMarker)
{
    writeFileAtomically(path, buildBookFile(source, form, withMarker));
}

} // namespace kelmor::books
