#pragma once

#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

// The document object model of a loaded page: exactly the operations the page readers use.
//
// Ownership and lifetime
// - A Document owns its whole tree. It is created by Document::parse and destroyed with the
//   last std::shared_ptr to it.
// - Element and ElementList are small non-owning handles into a Document's tree. They stay
//   valid as long as the Document they came from is alive; using one after its Document was
//   destroyed is undefined. Keep the shared_ptr<const Document> for as long as you read.
// - Every operation that cannot be carried out (no body, no element with that id, an index
//   out of range, a member the element does not have) throws korvane::Failure with one of the
//   Dom* codes, which are not greater than zero. Nothing returns a null handle.

struct _xmlNode;
struct _xmlDoc;

namespace korvane {

class Document;
class ElementList;

class Element
{
public:
    // Upper-case tag name: "A", "TABLE", "SPAN".
    QString tagName() const;
    // The rendered text: descendants' text, script and style skipped, <br> as CR LF, runs of
    // white space folded to one space, leading and trailing white space removed.
    QString innerText() const;
    // The inner markup, serialised as the old desktop browser did: upper-case tag names,
    // lower-case attribute names in source order, values of letters, digits, '-', '_', '.', ':'
    // unquoted, others in double quotes; void elements without end tags; comments kept.
    // <span class="g">x</span> reads "<SPAN class=g>x</SPAN>".
    QString innerHTML() const;
    // An anchor's (A, AREA, LINK) absolute address, resolved against the document address.
    // DomMissingMember for other elements.
    QString href() const;
    // Attribute values as text; empty when absent.
    QString title() const;
    QString id() const;
    // The value of a form-like element (INPUT, BUTTON, OPTION, TEXTAREA, SELECT, PARAM, LI,
    // DATA, METER, PROGRESS, OUTPUT); DomMissingMember for others.
    QString value() const;
    // Direct child elements (text and comments are not counted).
    ElementList children() const;
    // A TABLE's rows: TR directly in it and in its THEAD, TBODY and TFOOT, in document order.
    ElementList rows() const;
    // A TR's cells: its TD and TH children.
    ElementList cells() const;

    // The value of attribute `name` (ASCII, any case); empty when absent.
    QString getAttribute(QLatin1StringView name) const;
    // Whether the class attribute holds `token` among its white-space separated tokens
    // (exact, case-sensitive), or a token that starts with `prefix`.
    bool hasClass(QLatin1StringView token) const;
    bool hasClassStartingWith(QLatin1StringView prefix) const;
    // Descendant elements with that tag name (case-insensitive; "*" for all), in document
    // order; the element itself is not among them.
    ElementList getElementsByTagName(const QString &tagName) const;
    // Whether `other` lies inside this element (this element itself included).
    bool contains(const Element &other) const;
    // Whether an ancestor of this element has that tag name (case-insensitive).
    bool hasAncestorNamed(QLatin1StringView tagName) const;

    bool operator==(const Element &other) const { return m_node == other.m_node; }

private:
    friend class Document;
    friend class ElementList;
    friend class DomAccess;
    Element(const Document *document, _xmlNode *node) : m_document(document), m_node(node) {}

    const Document *m_document;
    _xmlNode *m_node;
};

class ElementList
{
public:
    int length() const { return int(m_nodes.size()); }
    // Item i counted from 0; DomIndexOutOfRange outside 0..length()-1.
    Element item(int index) const;

private:
    friend class Document;
    friend class Element;
    friend class DomAccess;
    ElementList(const Document *document, std::vector<_xmlNode *> nodes)
        : m_document(document), m_nodes(std::move(nodes)) {}

    const Document *m_document;
    std::vector<_xmlNode *> m_nodes;
};

class Document
{
public:
    // How text nodes keep their white space.
    enum class WhiteSpace {
        // As the desktop browser built its document: every run of space, tab, CR, LF and FF in
        // a text node is one space, except inside PRE, TEXTAREA, XMP, LISTING, PLAINTEXT,
        // SCRIPT and STYLE. No text node is dropped or trimmed; U+00A0 is not white space.
        // innerHTML and innerText see the folded text.
        Fold,
        // As written in the source (the benchmark compares the cost of folding).
        Keep,
    };

    // Parses decoded HTML text into a document. `address` is the document's own address,
    // against which relative links resolve. Never touches the network and ignores the
    // document's own encoding hints (the text is already decoded). Never fails: any text
    // gives a document (possibly one without a body).
    static std::shared_ptr<const Document> parse(const QString &html, const QUrl &address,
                                                 WhiteSpace whiteSpace = WhiteSpace::Fold);

    ~Document();
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;

    const QUrl &address() const { return m_address; }

    // The BODY element; DomObjectRequired when the document has none.
    Element body() const;
    // document.All("name"): the first element whose id equals `name`, compared without
    // regard to ASCII letter case; DomObjectRequired when there is none.
    Element all(const QString &name) const;
    // The text of the first TITLE element, white space folded and trimmed; empty without one.
    QString title() const;
    // All elements with that tag name (case-insensitive), in document order.
    ElementList getElementsByTagName(const QString &tagName) const;

private:
    friend class Element;
    friend class DomAccess;
    Document(_xmlDoc *doc, QUrl address) : m_doc(doc), m_address(std::move(address)) {}

    _xmlDoc *m_doc;
    QUrl m_address;
};

} // namespace korvane
