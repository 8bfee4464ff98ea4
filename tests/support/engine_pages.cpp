#include "engine_pages.h"

namespace korvane::testing {

QString addressLine(const QString &address, const QString &date)
{
    return address + QLatin1Char(' ') + date + QStringLiteral("  ");
}

QString totalText(const QString &number)
{
    return QStringLiteral("找到相关结果约") + number + QStringLiteral("个");
}

QString resultsPage(const QStringList &addressLines, const std::optional<QString> &total,
                    const QString &charsetLabel)
{
    QString html;
    html += QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
                           "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=")
        + charsetLabel
        + QStringLiteral("\"><title>百度搜索_domain</title></head>\n<body>\n"
                         "<table class=\"tb\" width=\"100%\"><tr><td><form name=\"f\" action=\"/s\">"
                         "<input type=\"text\" name=\"wd\" id=\"kw\" maxlength=\"100\">"
                         "<input type=\"submit\" value=\"百度一下\" id=\"su\"></form></td></tr></table>\n");
    int id = 1;
    for (const QString &line : addressLines) {
        html += QStringLiteral("<table cellpadding=\"0\" cellspacing=\"0\" class=\"result\" id=\"%1\">"
                               "<tr><td class=f>\n<h3 class=\"t\"><a href=\"http://r.example/%1\" "
                               "target=\"_blank\">结果标题 %1</a></h3><font size=-1>这是摘要文字 %1<br>\n"
                               "<span class=\"g\">")
                    .arg(id)
            + line
            + QStringLiteral("</span> - <a href=\"http://cache.example/c?id=%1\" class=\"m\">百度快照</a>"
                             "<br>\n</font></td></tr></table><br>\n")
                  .arg(id);
        ++id;
    }
    if (total) {
        html += QStringLiteral("<br clear=all><p id=\"page\"><strong><span class=\"pc\">1</span></strong>"
                               "<a href=\"/s?wd=x&pn=10\"><span class=\"pc\">2</span></a>"
                               "<a href=\"/s?wd=x&pn=10\" class=\"n\">下一页&gt;</a>"
                               "<span class=\"nums\" style=\"margin-left:120px\">")
            + *total + QStringLiteral("</span></p>\n");
    }
    html += QStringLiteral("<div id=\"rs\"><table cellpadding=\"0\"><tr><th rowspan=\"2\" class=\"tt\">相关搜索</th>"
                           "<th><a href=\"s?wd=%E7%A4%BA%E4%BE%8B\">示例</a></th><td></td>"
                           "<th><a href=\"s?wd=%E7%BD%91%E7%AB%99\">网站</a></th></tr>"
                           "<tr><th><a href=\"s?wd=%E5%A4%96%E9%93%BE\">外链</a></th></tr></table></div>\n"
                           "</body></html>\n");
    return html;
}

QString noticePage(const QStringList &bodyChildren)
{
    return QStringLiteral("<html><head><title>notice</title></head><body>") + bodyChildren.join(QString())
        + QStringLiteral("</body></html>");
}

} // namespace korvane::testing
