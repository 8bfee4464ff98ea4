#include "browser/verification.h"

namespace korvane {

bool isVerificationAddress(const QUrl &target)
{
    const QString host = target.host().toLower();
    return host == QLatin1String("wappass.baidu.com") || host == QLatin1String("verify.baidu.com")
        || target.path().startsWith(QLatin1String("/static/captcha/"));
}

bool isVerificationPage(const Document &document)
{
    const QString title = document.title();
    return title.contains(QStringLiteral("百度安全验证")) || title.contains(QStringLiteral("您的访问出错了"));
}

} // namespace korvane
