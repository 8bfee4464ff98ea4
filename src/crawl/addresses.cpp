#include "addresses.h"

namespace korvane {

Origins Origins::builtIn()
{
    return {QStringLiteral(KORVANE_ENGINE_ORIGIN), QStringLiteral(KORVANE_NOTICE_ORIGIN)};
}

QString searchEngineBase(const Origins &origins)
{
    return origins.engine + QStringLiteral("/s?wd=domain%3A");
}

QString queryAddress(const Origins &origins, const QString &domain)
{
    return searchEngineBase(origins) + domain
        + QStringLiteral("&rsv_spt=1&issp=1&rsv_bp=0&ie=utf-8&tn=baiduhome_pg&inputT=8094");
}

QString resultsPageAddress(const Origins &origins, const QString &domain, qint32 pageIndex)
{
    return searchEngineBase(origins) + domain + QStringLiteral("&pn=")
        + QString::number(qint64(pageIndex) * 10) + QStringLiteral("&tn=baiduhome_pg");
}

QString noticeAddress(const Origins &origins)
{
    return origins.notice + QStringLiteral("/ad/Korvane.php?Version=1");
}

} // namespace korvane
