#include "browser/dom.h"

#include "core/failure.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/dict.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace korvane {

namespace {

// libxml2's HTML parser already lower-cases element and attribute names; comparing without
// regard to ASCII case keeps us independent of that.
bool asciiEqualsLower(const xmlChar *name, const char *lower)
{
    if (name == nullptr)
        return false;
    return xmlStrcasecmp(name, reinterpret_cast<const xmlChar *>(lower)) == 0;
}

bool isElement(const xmlNode *node)
{
    return node->type == XML_ELEMENT_NODE;
}

bool isElementNamed(const xmlNode *node, const char *lower)
{
    return isElement(node) && asciiEqualsLower(node->name, lower);
}

bool isOneOf(const xmlNode *node, std::initializer_list<const char *> lowerNames)
{
    if (!isElement(node))
        return false;
    for (const char *name : lowerNames) {
        if (asciiEqualsLower(node->name, name))
            return true;
    }
    return false;
}

bool isVoidElement(const xmlNode *node)
{
    return isOneOf(node, {"br", "img", "input", "hr", "meta", "link", "area", "base", "col",
                          "param", "wbr", "embed", "source", "track"});
}

bool isRawTextElement(const xmlNode *node)
{
    return node != nullptr && isOneOf(node, {"script", "style"});
}

const char *chars(const xmlChar *text)
{
    return reinterpret_cast<const char *>(text);
}

// Appends an attribute's value (UTF-8) to `out`; returns false when the element has no such
// attribute.
bool appendAttributeValue(const xmlAttr *attr, QByteArray &out)
{
    for (const xmlNode *part = attr->children; part != nullptr; part = part->next) {
        if (part->type == XML_TEXT_NODE && part->content != nullptr)
            out.append(chars(part->content));
        else if (part->type == XML_ENTITY_REF_NODE && part->name != nullptr)
            out.append('&').append(chars(part->name)).append(';');
    }
    return true;
}

const xmlAttr *findAttribute(const xmlNode *node, const char *lowerName)
{
    for (const xmlAttr *attr = node->properties; attr != nullptr; attr = attr->next) {
        if (asciiEqualsLower(attr->name, lowerName))
            return attr;
    }
    return nullptr;
}

QString attributeText(const xmlNode *node, const char *lowerName)
{
    const xmlAttr *attr = findAttribute(node, lowerName);
    if (attr == nullptr)
        return QString();
    QByteArray value;
    appendAttributeValue(attr, value);
    return QString::fromUtf8(value);
}

void appendUpperAscii(QByteArray &out, const xmlChar *name)
{
    for (const xmlChar *p = name; *p != 0; ++p) {
        const char c = char(*p);
        out.append((c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c);
    }
}

void appendLowerAscii(QByteArray &out, const xmlChar *name)
{
    for (const xmlChar *p = name; *p != 0; ++p) {
        const char c = char(*p);
        out.append((c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c);
    }
}

bool isUnquotedValueChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
        || c == '_' || c == '.' || c == ':';
}

void appendAttributeForMarkup(QByteArray &out, const xmlAttr *attr, QByteArray &scratch)
{
    out.append(' ');
    appendLowerAscii(out, attr->name);
    out.append('=');
    scratch.clear();
    appendAttributeValue(attr, scratch);
    bool unquoted = !scratch.isEmpty();
    for (const char c : std::as_const(scratch)) {
        if (!isUnquotedValueChar(c)) {
            unquoted = false;
            break;
        }
    }
    if (unquoted) {
        out.append(scratch);
        return;
    }
    out.append('"');
    for (const char c : std::as_const(scratch)) {
        if (c == '&')
            out.append("&amp;");
        else if (c == '"')
            out.append("&quot;");
        else
            out.append(c);
    }
    out.append('"');
}

// Text content with &, <, > and the no-break space (UTF-8 C2 A0) written as references.
void appendEscapedText(QByteArray &out, const xmlChar *content)
{
    const char *p = chars(content);
    const char *runStart = p;
    for (; *p != 0; ++p) {
        const char *replacement = nullptr;
        int skip = 1;
        switch (*p) {
        case '&': replacement = "&amp;"; break;
        case '<': replacement = "&lt;"; break;
        case '>': replacement = "&gt;"; break;
        case '\xC2':
            if (p[1] == '\xA0') {
                replacement = "&nbsp;";
                skip = 2;
            }
            break;
        default: break;
        }
        if (replacement != nullptr) {
            out.append(runStart, p - runStart);
            out.append(replacement);
            p += skip - 1;
            runStart = p + 1;
        }
    }
    out.append(runStart, p - runStart);
}

// Writes the start tag of an element; returns whether an end tag (and content) follows.
bool openMarkup(QByteArray &out, const xmlNode *node, QByteArray &scratch)
{
    switch (node->type) {
    case XML_ELEMENT_NODE:
        out.append('<');
        appendUpperAscii(out, node->name);
        for (const xmlAttr *attr = node->properties; attr != nullptr; attr = attr->next)
            appendAttributeForMarkup(out, attr, scratch);
        out.append('>');
        return !isVoidElement(node);
    case XML_TEXT_NODE:
        if (node->content != nullptr) {
            if (isRawTextElement(node->parent))
                out.append(chars(node->content));
            else
                appendEscapedText(out, node->content);
        }
        return false;
    case XML_CDATA_SECTION_NODE:
        if (node->content != nullptr)
            out.append(chars(node->content));
        return false;
    case XML_COMMENT_NODE:
        out.append("<!--");
        if (node->content != nullptr)
            out.append(chars(node->content));
        out.append("-->");
        return false;
    case XML_ENTITY_REF_NODE:
        out.append('&').append(chars(node->name)).append(';');
        return false;
    default:
        return false;
    }
}

void closeMarkup(QByteArray &out, const xmlNode *node)
{
    out.append("</");
    appendUpperAscii(out, node->name);
    out.append('>');
}

// The rough size of a subtree's markup, to reserve the output once.
qsizetype estimateMarkupSize(const xmlNode *root)
{
    qsizetype size = 0;
    const xmlNode *node = root->children;
    int visited = 0;
    while (node != nullptr && visited < 4096) {
        ++visited;
        size += 16;
        if (node->content != nullptr)
            size += qsizetype(std::strlen(chars(node->content)));
        if (node->children != nullptr && isElement(node)) {
            node = node->children;
            continue;
        }
        while (node->next == nullptr) {
            node = node->parent;
            if (node == root || node == nullptr)
                return size;
        }
        node = node->next;
    }
    return size * 2;
}

QByteArray serializeChildren(const xmlNode *root)
{
    QByteArray out;
    out.reserve(estimateMarkupSize(root) + 64);
    QByteArray scratch;
    const xmlNode *node = root->children;
    while (node != nullptr) {
        const bool hasEndTag = openMarkup(out, node, scratch);
        if (hasEndTag && node->children != nullptr) {
            node = node->children;
            continue;
        }
        if (hasEndTag)
            closeMarkup(out, node);
        while (node->next == nullptr) {
            node = node->parent;
            if (node == root || node == nullptr)
                return out;
            closeMarkup(out, node);
        }
        node = node->next;
    }
    return out;
}

bool isFoldedWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Rendered text: text nodes with white-space runs folded to one space, <br> as CR LF, script and
// style skipped. White space, line breaks included, is dropped at both ends, and spaces next to
// a line break are dropped.
class TextCollector
{
public:
    void addText(const xmlChar *content)
    {
        for (const char *p = chars(content); *p != 0; ++p) {
            if (isFoldedWhiteSpace(*p)) {
                m_pendingSpace = !m_out.isEmpty() && m_pendingBreaks == 0;
                continue;
            }
            if (m_pendingBreaks > 0) {
                for (int i = 0; i < m_pendingBreaks; ++i)
                    m_out.append("\r\n");
                m_pendingBreaks = 0;
            } else if (m_pendingSpace) {
                m_out.append(' ');
            }
            m_pendingSpace = false;
            m_out.append(*p);
        }
    }
    void addLineBreak()
    {
        if (!m_out.isEmpty())
            ++m_pendingBreaks;
        m_pendingSpace = false;
    }
    QString text() const { return QString::fromUtf8(m_out); }

private:
    QByteArray m_out;
    int m_pendingBreaks = 0;
    bool m_pendingSpace = false;
};

QString renderedText(const xmlNode *root)
{
    TextCollector text;
    const xmlNode *node = root->children;
    while (node != nullptr) {
        bool descend = false;
        switch (node->type) {
        case XML_ELEMENT_NODE:
            if (isElementNamed(node, "br"))
                text.addLineBreak();
            else
                descend = !isRawTextElement(node);
            break;
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (node->content != nullptr)
                text.addText(node->content);
            break;
        default:
            break;
        }
        if (descend && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node->next == nullptr) {
            node = node->parent;
            if (node == root || node == nullptr)
                return text.text();
        }
        node = node->next;
    }
    return text.text();
}

// Pre-order walk over all elements below `root` (not `root` itself), stopping when `visit`
// returns false.
template <typename Visit>
void forEachElement(const xmlNode *root, Visit visit)
{
    const xmlNode *node = root->children;
    while (node != nullptr) {
        if (isElement(node)) {
            if (!visit(node))
                return;
            if (node->children != nullptr) {
                node = node->children;
                continue;
            }
        }
        while (node->next == nullptr) {
            node = node->parent;
            if (node == root || node == nullptr)
                return;
        }
        node = node->next;
    }
}

std::vector<xmlNode *> childElements(const xmlNode *node,
                                     std::initializer_list<const char *> onlyNames = {})
{
    std::vector<xmlNode *> result;
    for (xmlNode *child = node->children; child != nullptr; child = child->next) {
        if (isElement(child) && (onlyNames.size() == 0 || isOneOf(child, onlyNames)))
            result.push_back(child);
    }
    return result;
}

QString tagNameOf(const xmlNode *node)
{
    QByteArray name;
    appendUpperAscii(name, node->name);
    return QString::fromUtf8(name);
}

[[noreturn]] void failMissingMember(const xmlNode *node, const char *member)
{
    fail(FailureCode::DomMissingMember,
         QStringLiteral("%1 has no member %2").arg(tagNameOf(node), QLatin1String(member)));
}

QString selectValue(const xmlNode *select);

QString optionValue(const xmlNode *option)
{
    if (findAttribute(option, "value") != nullptr)
        return attributeText(option, "value");
    return renderedText(option);
}

QString selectValue(const xmlNode *select)
{
    const xmlNode *first = nullptr;
    const xmlNode *selected = nullptr;
    forEachElement(select, [&](const xmlNode *node) {
        if (!isElementNamed(node, "option"))
            return true;
        if (first == nullptr)
            first = node;
        if (findAttribute(node, "selected") != nullptr) {
            selected = node;
            return false;
        }
        return true;
    });
    if (selected != nullptr)
        return optionValue(selected);
    return first != nullptr ? optionValue(first) : QString();
}

QString textContent(const xmlNode *node)
{
    xmlChar *content = xmlNodeGetContent(node);
    const QString text = QString::fromUtf8(chars(content));
    xmlFree(content);
    return text;
}

// Elements whose text keeps its white space as written.
bool keepsWhiteSpace(const xmlNode *node)
{
    return isOneOf(node, {"pre", "textarea", "xmp", "listing", "plaintext", "script", "style"});
}

// Folds every run of white space (space, tab, CR, LF, FF) in a text node to one space, as the
// desktop browser did when it built its document. Nothing is trimmed; U+00A0 is not white space.
void foldWhiteSpace(xmlNode *text, xmlDoc *doc)
{
    xmlChar *content = text->content;
    if (content == nullptr)
        return;
    // Most text needs nothing: find the first place that does.
    xmlChar *p = content;
    for (; *p != 0; ++p) {
        if (isFoldedWhiteSpace(char(*p)) && (*p != ' ' || isFoldedWhiteSpace(char(p[1]))))
            break;
    }
    if (*p == 0)
        return;

    // Content owned by the parser's dictionary may be shared, and content kept inside the node
    // itself is not ours to shrink: those get a fresh copy.
    const bool ownBuffer = content != reinterpret_cast<xmlChar *>(&text->properties)
        && !(doc->dict != nullptr && xmlDictOwns(doc->dict, content) != 0);
    std::string copy;
    xmlChar *out = p;
    if (!ownBuffer) {
        copy.assign(chars(content));
        out = reinterpret_cast<xmlChar *>(copy.data()) + (p - content);
        p = out;
    }
    while (*p != 0) {
        if (isFoldedWhiteSpace(char(*p))) {
            *out++ = ' ';
            while (isFoldedWhiteSpace(char(*p)))
                ++p;
        } else {
            *out++ = *p++;
        }
    }
    *out = 0;
    if (!ownBuffer)
        xmlNodeSetContent(text, reinterpret_cast<const xmlChar *>(copy.c_str()));
}

// Moves content out of void elements that the parser let swallow it, and folds white space;
// one pass over the tree.
//
// The parser predates some void elements (WBR, EMBED, SOURCE, TRACK) and lets them swallow
// what follows. A browser never gives a void element content: move any such content out to
// follow the element, in order, so that the tree, innerHTML and innerText agree with a browser.
void settleTree(xmlDoc *doc, Document::WhiteSpace whiteSpace)
{
    const bool fold = whiteSpace == Document::WhiteSpace::Fold;
    int keeping = 0; // open elements that keep their white space
    xmlNode *root = reinterpret_cast<xmlNode *>(doc);
    xmlNode *node = root->children;
    while (node != nullptr) {
        if (isElement(node) && node->children != nullptr && isVoidElement(node)) {
            xmlNode *first = node->children;
            xmlNode *last = node->last;
            for (xmlNode *child = first; child != nullptr; child = child->next)
                child->parent = node->parent;
            last->next = node->next;
            if (node->next != nullptr)
                node->next->prev = last;
            else if (node->parent != nullptr)
                node->parent->last = last;
            node->next = first;
            first->prev = node;
            node->children = nullptr;
            node->last = nullptr;
        }
        if (fold && keeping == 0 && node->type == XML_TEXT_NODE)
            foldWhiteSpace(node, doc);
        if (node->children != nullptr && (isElement(node) || node->type == XML_DOCUMENT_NODE
                                          || node->type == XML_HTML_DOCUMENT_NODE)) {
            if (keepsWhiteSpace(node))
                ++keeping;
            node = node->children;
            continue;
        }
        while (node->next == nullptr) {
            node = node->parent;
            if (node == root || node == nullptr)
                return;
            if (keepsWhiteSpace(node))
                --keeping;
        }
        node = node->next;
    }
}

// Element lists by tag name, filled on first use. A document never changes after parsing,
// so a list once built stays right; the page reader asks for the same list once per table.
// Kept in the parser document's application pointer (_private) and freed with it.
struct TagListCache
{
    std::mutex mutex;
    std::unordered_map<std::string, std::vector<xmlNode *>> lists;
};

TagListCache *tagListCache(const xmlDoc *doc)
{
    return static_cast<TagListCache *>(doc->_private);
}

void initialiseParser()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

} // namespace

// --- Element ---------------------------------------------------------------------------------

QString Element::tagName() const
{
    return tagNameOf(m_node);
}

QString Element::innerText() const
{
    return renderedText(m_node);
}

QString Element::innerHTML() const
{
    return QString::fromUtf8(serializeChildren(m_node));
}

QString Element::href() const
{
    if (!isOneOf(m_node, {"a", "area", "link"}))
        failMissingMember(m_node, "href");
    const xmlAttr *attr = findAttribute(m_node, "href");
    if (attr == nullptr)
        return QString();
    QByteArray raw;
    appendAttributeValue(attr, raw);
    const QString text = QString::fromUtf8(raw.trimmed());
    const QUrl resolved = m_document->address().resolved(QUrl(text, QUrl::TolerantMode));
    if (!resolved.isValid())
        return text;
    return resolved.toString(QUrl::FullyEncoded);
}

QString Element::title() const
{
    return attributeText(m_node, "title");
}

QString Element::id() const
{
    return attributeText(m_node, "id");
}

QString Element::value() const
{
    if (isElementNamed(m_node, "input")) {
        if (findAttribute(m_node, "value") == nullptr) {
            const QString type = attributeText(m_node, "type").trimmed();
            if (type.compare(QLatin1String("checkbox"), Qt::CaseInsensitive) == 0
                || type.compare(QLatin1String("radio"), Qt::CaseInsensitive) == 0)
                return QStringLiteral("on");
        }
        return attributeText(m_node, "value");
    }
    if (isOneOf(m_node, {"button", "param", "li", "data", "meter", "progress"}))
        return attributeText(m_node, "value");
    if (isElementNamed(m_node, "option"))
        return optionValue(m_node);
    if (isElementNamed(m_node, "select"))
        return selectValue(m_node);
    if (isOneOf(m_node, {"textarea", "output"}))
        return textContent(m_node);
    failMissingMember(m_node, "value");
}

ElementList Element::children() const
{
    return ElementList(m_document, childElements(m_node));
}

ElementList Element::rows() const
{
    if (!isElementNamed(m_node, "table"))
        failMissingMember(m_node, "rows");
    std::vector<xmlNode *> rows;
    for (xmlNode *child = m_node->children; child != nullptr; child = child->next) {
        if (isElementNamed(child, "tr")) {
            rows.push_back(child);
        } else if (isOneOf(child, {"thead", "tbody", "tfoot"})) {
            for (xmlNode *row = child->children; row != nullptr; row = row->next) {
                if (isElementNamed(row, "tr"))
                    rows.push_back(row);
            }
        }
    }
    return ElementList(m_document, std::move(rows));
}

ElementList Element::cells() const
{
    if (!isElementNamed(m_node, "tr"))
        failMissingMember(m_node, "cells");
    return ElementList(m_document, childElements(m_node, {"td", "th"}));
}

QString Element::getAttribute(QLatin1StringView name) const
{
    const QByteArray lower = QByteArray(name.data(), name.size()).toLower();
    return attributeText(m_node, lower.constData());
}

namespace {

bool isClassSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Calls `match` with each class token of the element (UTF-8, not terminated) until it returns
// true; returns whether one did. No allocation for the usual single-text-node attribute.
template <typename Match>
bool anyClassToken(const xmlNode *node, Match match)
{
    const xmlAttr *attr = findAttribute(node, "class");
    if (attr == nullptr)
        return false;
    QByteArray joined;
    const char *text = nullptr;
    if (attr->children != nullptr && attr->children->next == nullptr && attr->children->type == XML_TEXT_NODE) {
        text = chars(attr->children->content);
    } else {
        appendAttributeValue(attr, joined);
        text = joined.constData();
    }
    if (text == nullptr)
        return false;
    const char *p = text;
    while (*p != 0) {
        while (*p != 0 && isClassSeparator(*p))
            ++p;
        const char *start = p;
        while (*p != 0 && !isClassSeparator(*p))
            ++p;
        if (p > start && match(start, size_t(p - start)))
            return true;
    }
    return false;
}

} // namespace

bool Element::hasClass(QLatin1StringView token) const
{
    return anyClassToken(m_node, [&](const char *start, size_t length) {
        return length == size_t(token.size()) && std::memcmp(start, token.data(), length) == 0;
    });
}

bool Element::hasClassStartingWith(QLatin1StringView prefix) const
{
    return anyClassToken(m_node, [&](const char *start, size_t length) {
        return length >= size_t(prefix.size()) && std::memcmp(start, prefix.data(), size_t(prefix.size())) == 0;
    });
}

ElementList Element::getElementsByTagName(const QString &tagName) const
{
    const QByteArray wanted = tagName.toUtf8().toLower();
    const bool all = wanted == "*";
    std::vector<xmlNode *> found;
    forEachElement(m_node, [&](const xmlNode *node) {
        if (all || asciiEqualsLower(node->name, wanted.constData()))
            found.push_back(const_cast<xmlNode *>(node));
        return true;
    });
    return ElementList(m_document, std::move(found));
}

bool Element::contains(const Element &other) const
{
    for (const xmlNode *node = other.m_node; node != nullptr; node = node->parent) {
        if (node == m_node)
            return true;
    }
    return false;
}

bool Element::hasAncestorNamed(QLatin1StringView tagName) const
{
    const QByteArray lower = QByteArray(tagName.data(), tagName.size()).toLower();
    for (const xmlNode *node = m_node->parent; node != nullptr; node = node->parent) {
        if (isElementNamed(node, lower.constData()))
            return true;
    }
    return false;
}

// --- ElementList -----------------------------------------------------------------------------

Element ElementList::item(int index) const
{
    if (index < 0 || index >= length()) {
        fail(FailureCode::DomIndexOutOfRange,
             QStringLiteral("index %1 outside a collection of %2").arg(index).arg(length()));
    }
    return Element(m_document, m_nodes[size_t(index)]);
}

namespace {
std::vector<xmlNode *> elementsNamed(xmlDoc *doc, const QByteArray &wanted);
} // namespace

// --- Document --------------------------------------------------------------------------------

std::shared_ptr<const Document> Document::parse(const QString &html, const QUrl &address,
                                                WhiteSpace whiteSpace)
{
    initialiseParser();
    QByteArray utf8 = html.toUtf8();
    // The parser drops form feeds (they are not XML characters); a browser reads them as white
    // space.
    if (utf8.contains('\f'))
        utf8.replace('\f', ' ');
    constexpr int options = HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR
        | HTML_PARSE_NOWARNING | HTML_PARSE_IGNORE_ENC | HTML_PARSE_NODEFDTD;
    xmlDoc *doc = nullptr;
    if (!utf8.isEmpty() && utf8.size() < qsizetype(INT_MAX)) {
        if (htmlParserCtxtPtr context = htmlNewParserCtxt()) {
            doc = htmlCtxtReadMemory(context, utf8.constData(), int(utf8.size()), nullptr,
                                     "UTF-8", options);
            htmlFreeParserCtxt(context);
        }
    }
    if (doc != nullptr)
        settleTree(doc, whiteSpace);
    else
        doc = htmlNewDocNoDtD(nullptr, nullptr);
    if (doc == nullptr)
        fail(FailureCode::OutOfMemory, QStringLiteral("no memory for a document"));
    doc->_private = new TagListCache;
    return std::shared_ptr<const Document>(new Document(doc, address));
}

Document::~Document()
{
    delete tagListCache(m_doc);
    m_doc->_private = nullptr;
    xmlFreeDoc(m_doc);
}

Element Document::body() const
{
    xmlNode *root = xmlDocGetRootElement(m_doc);
    if (root != nullptr) {
        for (xmlNode *child = root->children; child != nullptr; child = child->next) {
            if (isElementNamed(child, "body"))
                return Element(this, child);
        }
    }
    xmlNode *found = nullptr;
    forEachElement(reinterpret_cast<xmlNode *>(m_doc), [&](const xmlNode *node) {
        if (isElementNamed(node, "body")) {
            found = const_cast<xmlNode *>(node);
            return false;
        }
        return true;
    });
    if (found == nullptr)
        fail(FailureCode::DomObjectRequired, QStringLiteral("the document has no body"));
    return Element(this, found);
}

Element Document::all(const QString &name) const
{
    const QByteArray wanted = name.toUtf8();
    xmlNode *found = nullptr;
    if (wanted.isEmpty())
        fail(FailureCode::DomObjectRequired, QStringLiteral("no element with an empty id"));
    forEachElement(reinterpret_cast<xmlNode *>(m_doc), [&](const xmlNode *node) {
        const xmlAttr *attr = findAttribute(node, "id");
        if (attr == nullptr)
            return true;
        QByteArray value;
        appendAttributeValue(attr, value);
        if (xmlStrcasecmp(reinterpret_cast<const xmlChar *>(value.constData()),
                          reinterpret_cast<const xmlChar *>(wanted.constData()))
            == 0) {
            found = const_cast<xmlNode *>(node);
            return false;
        }
        return true;
    });
    if (found == nullptr)
        fail(FailureCode::DomObjectRequired, QStringLiteral("no element with id %1").arg(name));
    return Element(this, found);
}

QString Document::title() const
{
    const ElementList titles = getElementsByTagName(QStringLiteral("title"));
    return titles.length() > 0 ? titles.item(0).innerText() : QString();
}

ElementList Document::getElementsByTagName(const QString &tagName) const
{
    const QByteArray wanted = tagName.toUtf8().toLower();
    TagListCache *cache = tagListCache(m_doc);
    const std::string key(wanted.constData(), size_t(wanted.size()));
    std::lock_guard<std::mutex> lock(cache->mutex);
    auto cached = cache->lists.find(key);
    if (cached == cache->lists.end())
        cached = cache->lists.emplace(key, elementsNamed(m_doc, wanted)).first;
    return ElementList(this, cached->second);
}

namespace {

std::vector<xmlNode *> elementsNamed(xmlDoc *doc, const QByteArray &wanted)
{
    std::vector<xmlNode *> found;
    xmlNode *top = reinterpret_cast<xmlNode *>(doc);
    if (wanted == "*") {
        forEachElement(top, [&](const xmlNode *node) {
            found.push_back(const_cast<xmlNode *>(node));
            return true;
        });
    } else {
        forEachElement(top, [&](const xmlNode *node) {
            if (asciiEqualsLower(node->name, wanted.constData()))
                found.push_back(const_cast<xmlNode *>(node));
            return true;
        });
    }
    return found;
}

} // namespace

} // namespace korvane
