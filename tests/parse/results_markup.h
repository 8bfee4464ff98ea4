#pragma once

// Results pages for the parse tests: the engine's markup built around the one piece a test
// varies, and the fixture pages of tests/data/pages.

#include "browser/dom.h"

#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QTest>
#include <QUrl>

#include <memory>

namespace korvane::testing {

inline QString snapshotLink(int id)
{
    return QStringLiteral(" - <a href=\"http://cache.baidu.com/c?m=9f65cb4a8c85&p=%1&user=baidu\" "
                          "class=\"m\">百度快照</a><br>\n")
        .arg(id);
}

// One organic result: its own table; the FONT (second child of the first cell) is the entry.
// `line` is the markup inside the address-line SPAN; `after` follows the SPAN.
inline QString resultTable(int id, const QString &line, const QString &after)
{
    return QStringLiteral("<table cellpadding=\"0\" cellspacing=\"0\" class=\"result\" id=\"%1\">"
                          "<tr><td class=f>\n<h3 class=\"t\"><a href=\"http://r%1.example/\" "
                          "target=\"_blank\">result %1</a></h3><font size=-1>abstract of result %1<br>\n"
                          "<span class=\"g\">%2</span>%3</font></td></tr></table>\n")
        .arg(QString::number(id), line, after);
}

inline QString resultTable(int id, const QString &line)
{
    return resultTable(id, line, snapshotLink(id));
}

// The first cell's second child given as raw markup (for entries of other shapes).
inline QString tableWithEntry(const QString &entryMarkup)
{
    return QStringLiteral("<table><tr><td><h3>t</h3>%1</td></tr></table>\n").arg(entryMarkup);
}

// The search form that precedes the results as table 0.
inline QString searchFormTable()
{
    return QStringLiteral("<table id=\"head\"><tr><td><form action=\"/s\"><input name=\"wd\" "
                          "value=\"domain:www.example.com\"></form></td></tr></table>\n");
}

inline QString page(const QString &body)
{
    return QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" "
                          "content=\"text/html; charset=utf-8\"><title>results</title></head>"
                          "<body>\n%1</body></html>\n")
        .arg(body);
}

// A results page: the search form, then `tables` as tables 1, 2, ...
inline QString resultsPage(const QStringList &tables)
{
    return page(searchFormTable() + tables.join(QString()));
}

inline std::shared_ptr<const Document> parsePage(const QString &html)
{
    return Document::parse(html, QUrl(QStringLiteral("http://www.baidu.com/s?wd=domain%3Awww.example.com")));
}

// A fixture page of tests/data/pages. Pages named *_gb2312.html hold GB2312 bytes and are
// decoded with GB18030 (its superset), as the browser does for that label; the others are UTF-8.
inline QString fixtureText(const QString &name)
{
    QFile file(QStringLiteral(KORVANE_TEST_DATA_DIR "/pages/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open fixture page %s", qPrintable(file.fileName()));
    const QByteArray bytes = file.readAll();
    if (!name.endsWith(QLatin1String("_gb2312.html")))
        return QString::fromUtf8(bytes);
    QStringDecoder decoder("GB18030");
    if (!decoder.isValid())
        qFatal("no GB18030 decoder");
    const QString text = decoder(bytes);
    if (decoder.hasError())
        qFatal("fixture page %s is not GB18030", qPrintable(name));
    return text;
}

inline std::shared_ptr<const Document> fixturePage(const QString &name)
{
    return parsePage(fixtureText(name));
}

} // namespace korvane::testing
