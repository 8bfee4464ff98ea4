#pragma once

#include "dom.h"

#include <QUrl>

namespace korvane {

// The search engine's answer when it suspects automated use: a redirect to its captcha pages
// ("https://wappass.baidu.com/static/captcha/tuxing.html?...", older ones on verify.baidu.com),
// or a page titled "百度安全验证" or "百度--您的访问出错了". Either is a refusal, not a page.

// Whether a redirect to `target` leads to the verification pages: the host is wappass.baidu.com
// or verify.baidu.com, or the path begins with "/static/captcha/" on any host.
bool isVerificationAddress(const QUrl &target);

// Whether a loaded document is a verification page, by its title.
bool isVerificationPage(const Document &document);

} // namespace korvane
