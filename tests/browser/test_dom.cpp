// Unit tests of the DOM: the innerHTML attribute and text rules, innerText folding, and the
// failures every out-of-place operation raises.

#include "browser/character_references.h"
#include "browser/dom.h"
#include "core/failure.h"

#include <QTest>

#include <functional>

using namespace korvane;

namespace {

std::shared_ptr<const Document> parse(const QString &html)
{
    return Document::parse(html, QUrl(QStringLiteral("http://host.test/a/b.html")));
}

// The inner markup of the body of `<body>` + fragment.
QString bodyMarkup(const QString &fragment)
{
    return parse(QStringLiteral("<html><body>") + fragment + QStringLiteral("</body></html>"))
        ->body()
        .innerHTML();
}

} // namespace

class DomTest : public QObject
{
    Q_OBJECT
private slots:
    void characterReferences_data();
    void characterReferences();
    void attributeQuoting_data();
    void attributeQuoting();
    void markup_data();
    void markup();
    void innerText_data();
    void innerText();
    void failures_data();
    void failures();
    void classTokens_data();
    void classTokens();
    void allMatchesIdIgnoringCase();
    void tagCollectionsInDocumentOrderWhateverTheCase();
    void documentWithoutMarkup();
    void encodingHintsAreIgnored();
    void deepNestingDoesNotExhaustTheStack();
};

void DomTest::attributeQuoting_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letters unquoted") << "<span class=\"g\">x</span>" << "<SPAN class=g>x</SPAN>";
    QTest::newRow("digits and minus unquoted") << "<font size=-1>x</font>" << "<FONT size=-1>x</FONT>";
    QTest::newRow("underscore dot colon unquoted")
        << "<a target=\"_blank\" rel='a.b:c'>x</a>" << "<A target=_blank rel=a.b:c>x</A>";
    QTest::newRow("space quoted") << "<p class=\"a b\">x</p>" << "<P class=\"a b\">x</P>";
    QTest::newRow("slash quoted") << "<a href=\"/p\">x</a>" << "<A href=\"/p\">x</A>";
    QTest::newRow("empty quoted") << "<img alt=\"\">" << "<IMG alt=\"\">";
    QTest::newRow("no value quoted empty") << "<p data-x>x</p>" << "<P data-x=\"\">x</P>";
    QTest::newRow("ampersand escaped") << "<a href=\"?a=1&amp;b=2\">x</a>"
                                       << "<A href=\"?a=1&amp;b=2\">x</A>";
    QTest::newRow("double quote escaped") << "<p title='say \"hi\"'>x</p>"
                                          << "<P title=\"say &quot;hi&quot;\">x</P>";
    QTest::newRow("less-than not escaped") << "<p title=\"a<b\">x</p>" << "<P title=\"a<b\">x</P>";
    QTest::newRow("non-ASCII quoted") << QStringLiteral("<p title=\"标题\">x</p>")
                                      << QStringLiteral("<P title=\"标题\">x</P>");
    QTest::newRow("names lower case, source order")
        << "<DIV ID=Main CLASS=Box Title=T>x</DIV>" << "<DIV id=Main class=Box title=T>x</DIV>";
}

void DomTest::attributeQuoting()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);
    QCOMPARE(bodyMarkup(source), expected);
}

void DomTest::markup_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");
    QTest::newRow("tags upper case") << "<b>x</b><Em>y</Em>" << "<B>x</B><EM>y</EM>";
    QTest::newRow("void elements without end tag")
        << "a<br>b<hr><wbr><input type=text>" << "a<BR>b<HR><WBR><INPUT type=text>";
    QTest::newRow("newer void elements take no content")
        << "<embed src=a>b<source src=c>d<track src=e>f" << "<EMBED src=a>b<SOURCE src=c>d<TRACK src=e>f";
    QTest::newRow("text escaped") << "1 &lt; 2 &amp;&amp; 3 &gt; 2" << "1 &lt; 2 &amp;&amp; 3 &gt; 2";
    QTest::newRow("no-break space as reference") << "a&nbsp;b\u00a0c" << "a&nbsp;b&nbsp;c";
    QTest::newRow("quotes in text kept") << "\"q\" 'r'" << "\"q\" 'r'";
    QTest::newRow("comment kept") << "a<!-- note -->b" << "a<!-- note -->b";
    QTest::newRow("script raw") << "<script>if (a < b && c) x();</script>"
                                << "<SCRIPT>if (a < b && c) x();</SCRIPT>";
    QTest::newRow("style raw") << "<style>p > b { }</style>" << "<STYLE>p > b { }</STYLE>";
    QTest::newRow("empty element keeps end tag") << "<span></span>" << "<SPAN></SPAN>";
    QTest::newRow("numeric references decoded")
        << "&#20013;&#x6587;" << QStringLiteral("中文");
    QTest::newRow("result address line")
        << "<span class=\"g\">www.a.com/<b>x</b> 2011-12-5 </span>"
        << "<SPAN class=g>www.a.com/<B>x</B> 2011-12-5 </SPAN>";
    // White space as the desktop browser kept it: each run is one space, nothing trimmed.
    QTest::newRow("two trailing spaces folded")
        << "<span class=\"g\">www.a.com/b.html 2011-7-29  </span>"
        << "<SPAN class=g>www.a.com/b.html 2011-7-29 </SPAN>";
    QTest::newRow("tab, CR, LF and FF folded")
        << "<span>a\t\tb\r\n c\fd</span>" << "<SPAN>a b c d</SPAN>";
    QTest::newRow("white-space text between elements kept as one space")
        << "<b>a</b> \n\t <i>b</i>" << "<B>a</B> <I>b</I>";
    QTest::newRow("no-break spaces are not white space")
        << "a&nbsp; &nbsp;b" << "a&nbsp; &nbsp;b";
    QTest::newRow("PRE, TEXTAREA, XMP, LISTING keep theirs")
        << "<pre>a  b\n c</pre><textarea>d  e</textarea><xmp>f  g</xmp><listing>h  i</listing>"
        << "<PRE>a  b\n c</PRE><TEXTAREA>d  e</TEXTAREA><XMP>f  g</XMP><LISTING>h  i</LISTING>";
    QTest::newRow("text below PRE keeps its own, text after it is folded")
        << "<pre><b>a  b</b></pre>c  d" << "<PRE><B>a  b</B></PRE>c d";
}

void DomTest::markup()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);
    QCOMPARE(bodyMarkup(source), expected);
}

void DomTest::innerText_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");
    QTest::newRow("runs folded") << "a  \t\n b" << "a b";
    QTest::newRow("ends trimmed") << "  \n a b \r\n " << "a b";
    QTest::newRow("folding across elements") << "a <b> b </b> c" << "a b c";
    QTest::newRow("no space added between elements") << "<b>a</b><i>b</i>" << "ab";
    QTest::newRow("br is CR LF") << "a<br>b" << "a\r\nb";
    QTest::newRow("spaces around br dropped") << "a <br> b" << "a\r\nb";
    QTest::newRow("two br") << "a<br><br>b" << "a\r\n\r\nb";
    QTest::newRow("br at both ends trimmed") << " <br>a <br> " << "a";
    QTest::newRow("no-break space kept") << "a&nbsp;&nbsp;b&nbsp;" << "a\u00a0\u00a0b\u00a0";
    QTest::newRow("script and style skipped") << "a<script>x=1</script><style>p{}</style>b" << "ab";
    QTest::newRow("comments skipped") << "a<!-- c -->b" << "ab";
    QTest::newRow("entities decoded") << "&lt;&amp;&gt;" << "<&>";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("only white space") << " \n\t " << "";
}

// decodeCharacterReferences on markup text, as the 2011 reader hands it address lines.
void DomTest::characterReferences_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("decoded");
    QTest::newRow("an unknown reference before a known one: the unknown stays")
        << QStringLiteral("&zz; a &amp; b") << QStringLiteral("&zz; a & b");
    QTest::newRow("numeric, hexadecimal and named") << QStringLiteral("&#20013;&#x6587;&lt;") << QStringLiteral("中文<");
}

void DomTest::characterReferences()
{
    QFETCH(QString, text);
    QTEST(decodeCharacterReferences(text), "decoded");
}

// hasClass and hasClassStartingWith on <div id=t class="...">: tokens are separated by any
// white space and compared exactly.
void DomTest::classTokens_data()
{
    QTest::addColumn<QString>("classes");
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("prefix");
    QTest::addColumn<bool>("expected");
    QTest::newRow("one of several, trailing blank") << "result c-container " << "c-container" << false << true;
    QTest::newRow("separated by a tab and a line break") << "a\tc-container\nb" << "c-container" << false << true;
    QTest::newRow("hashed suffix is another token") << "c-container_5ka9V" << "c-container" << false << false;
    QTest::newRow("letter case counts") << "C-Container" << "c-container" << false << false;
    QTest::newRow("a token holding it is not it") << "xc-container" << "c-container" << false << false;
    QTest::newRow("no class attribute") << QString() << "g" << false << false;
    QTest::newRow("prefix of a hashed token") << "cos-color prefix-time_650Xx x" << "prefix-time" << true << true;
    QTest::newRow("prefix inside a token does not count") << "a-prefix-time_1" << "prefix-time" << true << false;
}

void DomTest::classTokens()
{
    QFETCH(QString, classes);
    QFETCH(QString, token);
    QFETCH(bool, prefix);
    const QString attribute = classes.isNull() ? QString() : QStringLiteral(" class=\"%1\"").arg(classes);
    const auto document = parse(QStringLiteral("<html><body><div id=t%1>x</div></body></html>").arg(attribute));
    const Element div = document->all(QStringLiteral("t"));
    const QByteArray latin1 = token.toLatin1();
    const QLatin1StringView view(latin1.constData(), latin1.size());
    QTEST(prefix ? div.hasClassStartingWith(view) : div.hasClass(view), "expected");
}

void DomTest::innerText()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);
    const auto document = parse(QStringLiteral("<html><body><div id=t>") + source
                                + QStringLiteral("</div></body></html>"));
    QCOMPARE(document->all(QStringLiteral("t")).innerText(), expected);
}

void DomTest::failures_data()
{
    QTest::addColumn<std::function<void(const Document &)>>("operation");
    QTest::addColumn<FailureCode>("code");
    using Op = std::function<void(const Document &)>;
    QTest::newRow("no element with that id") << Op([](const Document &d) { d.all(QStringLiteral("none")); })
                                             << FailureCode::DomObjectRequired;
    QTest::newRow("children index past end")
        << Op([](const Document &d) { d.body().children().item(2); }) << FailureCode::DomIndexOutOfRange;
    QTest::newRow("negative index")
        << Op([](const Document &d) { d.body().children().item(-1); }) << FailureCode::DomIndexOutOfRange;
    QTest::newRow("empty tag collection")
        << Op([](const Document &d) { d.getElementsByTagName(QStringLiteral("TABLE")).item(0); })
        << FailureCode::DomIndexOutOfRange;
    QTest::newRow("href of a DIV")
        << Op([](const Document &d) { d.body().children().item(0).href(); }) << FailureCode::DomMissingMember;
    QTest::newRow("value of a DIV")
        << Op([](const Document &d) { d.body().children().item(0).value(); }) << FailureCode::DomMissingMember;
    QTest::newRow("rows of a DIV")
        << Op([](const Document &d) { d.body().children().item(0).rows(); }) << FailureCode::DomMissingMember;
    QTest::newRow("cells of a DIV")
        << Op([](const Document &d) { d.body().children().item(0).cells(); }) << FailureCode::DomMissingMember;
}

void DomTest::failures()
{
    QFETCH(std::function<void(const Document &)>, operation);
    QFETCH(FailureCode, code);
    const auto document = parse(QStringLiteral("<html><body><div>x</div><a href=y>y</a></body></html>"));
    try {
        operation(*document);
        QFAIL("no failure raised");
    } catch (const Failure &failure) {
        QCOMPARE(failure.code(), code);
        // Not greater than zero: the results-page reader ends a page on these without the
        // page-error message.
        QVERIFY(failure.number() <= 0);
    }
}

void DomTest::allMatchesIdIgnoringCase()
{
    const auto document = parse(QStringLiteral(
        "<html><body><p id=\"page\">first</p><p id=\"PAGE\">second</p></body></html>"));
    QCOMPARE(document->all(QStringLiteral("Page")).innerText(), QStringLiteral("first"));
    QCOMPARE(document->all(QStringLiteral("page")).id(), QStringLiteral("page"));
}

void DomTest::tagCollectionsInDocumentOrderWhateverTheCase()
{
    const auto document = parse(QStringLiteral(
        "<html><body><b id=1>x</b><p><b id=2>y</b></p><B id=3>z</B></body></html>"));
    const ElementList lower = document->getElementsByTagName(QStringLiteral("b"));
    const ElementList upper = document->getElementsByTagName(QStringLiteral("B"));
    QCOMPARE(lower.length(), 3);
    QCOMPARE(upper.length(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(upper.item(i).id(), QString::number(i + 1));
        QVERIFY(upper.item(i) == lower.item(i));
    }
    QCOMPARE(document->getElementsByTagName(QStringLiteral("i")).length(), 0);
    QCOMPARE(document->getElementsByTagName(QStringLiteral("*")).length(), 6);
}

void DomTest::documentWithoutMarkup()
{
    // Any text gives a document; the empty text gives one without a body.
    const auto empty = parse(QString());
    QCOMPARE(empty->getElementsByTagName(QStringLiteral("*")).length(), 0);
    QVERIFY_THROWS_EXCEPTION(Failure, empty->body());

    const auto plain = parse(QStringLiteral("just text"));
    QCOMPARE(plain->body().innerText(), QStringLiteral("just text"));
    QCOMPARE(plain->title(), QString());

    const auto titled = parse(QStringLiteral("<title> 百度--您的访问出错了\n</title><title>second</title>"));
    QCOMPARE(titled->title(), QStringLiteral("百度--您的访问出错了"));
}

void DomTest::encodingHintsAreIgnored()
{
    // The text is already decoded: a meta tag naming another character set changes nothing.
    const auto document = parse(QStringLiteral(
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
        "<meta charset=\"iso-8859-1\"></head><body>百度快照 é</body></html>"));
    QCOMPARE(document->body().innerText(), QStringLiteral("百度快照 é"));
}

void DomTest::deepNestingDoesNotExhaustTheStack()
{
    // The parser stops nesting at 256 levels and drops the rest; what it kept must read
    // without recursion trouble.
    QString html = QStringLiteral("<html><body>");
    for (int i = 0; i < 20000; ++i)
        html += QStringLiteral("<span>");
    html += QStringLiteral("deep");
    const auto document = parse(html);
    const Element body = document->body();
    const QString markup = body.innerHTML();
    QVERIFY(markup.startsWith(QStringLiteral("<SPAN><SPAN>")));
    QVERIFY(markup.count(QStringLiteral("<SPAN>")) >= 200);
    QCOMPARE(markup.count(QStringLiteral("<SPAN>")), markup.count(QStringLiteral("</SPAN>")));
}

QTEST_GUILESS_MAIN(DomTest)
#include "test_dom.moc"
