#pragma once

// A made-up article of about 1000 characters for the book benchmarks: dream-book words and
// phrases, sentences ended by ".\r\n", the same text for the same generator state.

#include <random>
#include <string>

namespace kelmor::books::bench {

inline std::u16string sampleArticle(std::mt19937 &rng)
{
    static const std::u16string words[] = {
        u"видеть",   u"во сне",   u"к радости", u"дорогу",
        u"перемены", u"встреча",  u"с другом",  u"долгий",
        u"путь",     u"тихая",    u"вода",      u"светлый",
        u"дом",      u"известие", u"издалека",  u"Слово – толкование",
        u"будет",    u"удача",    u"в делах",   u"осторожность"};
    std::u16string text;
    while (text.size() < 1000) {
        text += words[rng() % std::size(words)];
        text += (rng() % 9 == 0) ? u".\r\n" : u" ";
    }
    return text;
}

} // namespace kelmor::books::bench
