#pragma once

// Building a document in the viewer's style beside the interpretations (the whole-dream report,
// a journal entry): text with its formatting runs, and the formats those documents share with
// the interpretations.

#include "viewer/interpretation.h"

#include <QStringView>

#include <span>
#include <string>
#include <vector>

namespace kelmor::viewer {

// The word heading as the interpretations show theirs, labels as their link line's heading,
// links as theirs.
CharFormat documentHeadingFormat();
CharFormat documentLabelFormat();
CharFormat documentLinkFormat();

// Appends text with its formatting, keeping runs of one format together.
class DocumentWriter
{
public:
    int size() const { return int(m_text.size()); }
    void add(QStringView text, const CharFormat &format = {});
    // A line end as the interpretations have them (CR LF).
    void newLine() { add(u"\r\n"); }
    // A whole document with its own runs, such as an interpretation.
    void addDocument(std::u16string_view text, std::span<const FormatRun> runs);

    const std::u16string &text() const { return m_text; }
    std::u16string takeText() { return std::move(m_text); }
    std::vector<FormatRun> takeRuns() { return std::move(m_runs); }

private:
    std::u16string m_text;
    std::vector<FormatRun> m_runs;
};

} // namespace kelmor::viewer
