#include "markup.h"

namespace korvane {

namespace {

// The reference for a character that needs one, or null for one that can stay.
const char16_t *replacementFor(QStringView text, qsizetype at)
{
    const char16_t c = text.at(at).unicode();
    switch (c) {
    case u'&': return u"&amp;";
    case u'<': return u"&lt;";
    case u'>': return u"&gt;";
    case u'"': return u"&quot;";
    case u'\'': return u"&#39;";
    case u'\t':
    case u'\n':
    case u'\r': return nullptr;
    default: break;
    }
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xFFFE || c == 0xFFFF)
        return u"\uFFFD";
    if (QChar::isHighSurrogate(c))
        return at + 1 < text.size() && QChar::isLowSurrogate(text.at(at + 1).unicode()) ? nullptr : u"\uFFFD";
    if (QChar::isLowSurrogate(c))
        return at > 0 && QChar::isHighSurrogate(text.at(at - 1).unicode()) ? nullptr : u"\uFFFD";
    return nullptr;
}

} // namespace

void appendEscaped(QString &out, QStringView text)
{
    qsizetype plain = 0; // start of the run not yet copied
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t *replacement = replacementFor(text, at);
        if (!replacement)
            continue;
        out.append(text.mid(plain, at - plain));
        out.append(QStringView(replacement));
        plain = at + 1;
    }
    out.append(text.mid(plain));
}

QString escaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    appendEscaped(out, text);
    return out;
}

} // namespace korvane
