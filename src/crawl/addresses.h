#pragma once

#include <QString>

namespace korvane {

// The two servers the program talks to, as scheme + host (+ port): "http://www.baidu.com".
// The defaults are build constants; tests and the command line put local ones in.
struct Origins
{
    QString engine;
    QString notice;

    static Origins builtIn();
};

// Every address is composed by concatenation; the domain goes in exactly as typed.
QString searchEngineBase(const Origins &origins);              // engine + "/s?wd=domain%3A"
QString queryAddress(const Origins &origins, const QString &domain);
QString resultsPageAddress(const Origins &origins, const QString &domain, qint32 pageIndex);
QString noticeAddress(const Origins &origins);

} // namespace korvane
