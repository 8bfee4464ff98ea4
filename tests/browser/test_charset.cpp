// decodeHtml: which character set wins (byte-order mark, HTTP header, meta tag, UTF-8 check,
// GB18030) and how the Chinese labels are read.

#include "browser/charset.h"

#include <QStringEncoder>
#include <QTest>

using namespace korvane;

namespace {

QByteArray gb18030(const QString &text)
{
    return QStringEncoder("GB18030").encode(text);
}

const QString kChinese = QStringLiteral("百度快照 鎔 €");

} // namespace

class CharsetTest : public QObject
{
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
    void contentTypeCharset_data();
    void contentTypeCharset();
    void metaCharset_data();
    void metaCharset();
};

void CharsetTest::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("expected");

    const QByteArray gbBody = gb18030(kChinese);
    const QByteArray utf8Body = kChinese.toUtf8();

    QTest::newRow("header gb2312") << gbBody << QByteArray("text/html; charset=gb2312") << kChinese;
    QTest::newRow("header GBK upper case") << gbBody << QByteArray("text/html;charset=GBK") << kChinese;
    QTest::newRow("header x-gbk") << gbBody << QByteArray("text/html; charset=x-gbk") << kChinese;
    QTest::newRow("header quoted gb18030") << gbBody << QByteArray("text/html; charset=\"GB18030\"")
                                           << kChinese;
    QTest::newRow("header utf-8") << utf8Body << QByteArray("text/html; charset=utf-8") << kChinese;
    QTest::newRow("header beats meta")
        << QByteArray("<meta charset=gbk>") + utf8Body << QByteArray("text/html; charset=UTF-8")
        << QStringLiteral("<meta charset=gbk>") + kChinese;
    QTest::newRow("unknown header label falls through to meta")
        << QByteArray("<meta charset=gb2312>") + gbBody << QByteArray("text/html; charset=no-such")
        << QStringLiteral("<meta charset=gb2312>") + kChinese;
    QTest::newRow("meta charset")
        << QByteArray("<html><head><meta charset=\"gb2312\"></head>") + gbBody << QByteArray("text/html")
        << QStringLiteral("<html><head><meta charset=\"gb2312\"></head>") + kChinese;
    QTest::newRow("meta http-equiv")
        << QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=GBK\">") + gbBody
        << QByteArray()
        << QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=GBK\">")
            + kChinese;
    QTest::newRow("meta in a comment ignored")
        << QByteArray("<!-- <meta charset=gbk> -->") + utf8Body << QByteArray()
        << QStringLiteral("<!-- <meta charset=gbk> -->") + kChinese;
    QTest::newRow("meta after 1024 bytes ignored, valid UTF-8")
        << QByteArray(1100, ' ') + QByteArray("<meta charset=gbk>") + utf8Body << QByteArray()
        << QString(1100, QLatin1Char(' ')) + QStringLiteral("<meta charset=gbk>") + kChinese;
    QTest::newRow("meta near byte 700 still read")
        << QByteArray(700, ' ') + QByteArray("<meta charset=windows-1252>caf\xE9 \x80") << QByteArray()
        << QString(700, QLatin1Char(' ')) + QStringLiteral("<meta charset=windows-1252>café €");
    QTest::newRow("meta utf-16 read as utf-8")
        << QByteArray("<meta charset=utf-16>") + utf8Body << QByteArray()
        << QStringLiteral("<meta charset=utf-16>") + kChinese;
    QTest::newRow("no label, valid UTF-8") << utf8Body << QByteArray() << kChinese;
    QTest::newRow("no label, not UTF-8 is GB18030") << gbBody << QByteArray("text/html") << kChinese;
    QTest::newRow("truncated UTF-8 sequence is GB18030")
        << QByteArray("ab\xE4\xB8") << QByteArray() << QStringLiteral("ab\u6D93");
    QTest::newRow("UTF-8 byte-order mark wins")
        << QByteArray("\xEF\xBB\xBF") + utf8Body << QByteArray("text/html; charset=gbk") << kChinese;
    QTest::newRow("UTF-16LE byte-order mark")
        << QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char *>(kChinese.utf16()),
                                                  kChinese.size() * 2)
        << QByteArray() << kChinese;
    QTest::newRow("latin1 label reads windows-1252")
        << QByteArray("caf\xE9 \x80") << QByteArray("text/html; charset=ISO-8859-1")
        << QStringLiteral("café €");
    QTest::newRow("empty") << QByteArray() << QByteArray() << QString();
}

void CharsetTest::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, expected);
    QCOMPARE(decodeHtml(bytes, contentType), expected);
}

void CharsetTest::contentTypeCharset_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain") << QByteArray("text/html; charset=gbk") << QByteArray("gbk");
    QTest::newRow("no space, upper case") << QByteArray("text/html;CHARSET=GB2312") << QByteArray("GB2312");
    QTest::newRow("quoted") << QByteArray("text/html; charset='utf-8'") << QByteArray("utf-8");
    QTest::newRow("followed by another parameter")
        << QByteArray("text/html; charset=gbk; q=1") << QByteArray("gbk");
    QTest::newRow("no parameter") << QByteArray("text/html") << QByteArray();
    QTest::newRow("charset without value") << QByteArray("text/html; charset") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void CharsetTest::contentTypeCharset()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, expected);
    QCOMPARE(charsetFromContentType(header), expected);
}

void CharsetTest::metaCharset_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("charset attribute") << QByteArray("<meta charset=gb2312>") << QByteArray("gb2312");
    QTest::newRow("self-closing, single quotes") << QByteArray("<meta charset='GBK'/>") << QByteArray("GBK");
    QTest::newRow("http-equiv, content first")
        << QByteArray("<meta content=\"text/html; charset=gb2312\" http-equiv=\"content-type\">")
        << QByteArray("gb2312");
    QTest::newRow("content without http-equiv ignored")
        << QByteArray("<meta name=x content=\"charset=gbk\">") << QByteArray();
    QTest::newRow("quoted > inside an earlier tag")
        << QByteArray("<a title=\"<meta charset=gbk>\"><meta charset=utf-8>") << QByteArray("utf-8");
    QTest::newRow("metadata is not meta") << QByteArray("<metadata charset=gbk>") << QByteArray();
    QTest::newRow("none") << QByteArray("<html><head><title>x</title>") << QByteArray();
}

void CharsetTest::metaCharset()
{
    QFETCH(QByteArray, html);
    QFETCH(QByteArray, expected);
    QCOMPARE(charsetFromMeta(html), expected);
}

QTEST_GUILESS_MAIN(CharsetTest)
#include "test_charset.moc"
