#pragma once

#include <QString>

namespace korvane {

struct AlertTarget;

// The one way a secret is shown: its first characters (at most 4, at most half of it) and
// "****", so that two keys can be told apart and neither can be used: "ab12****".
QString maskSecret(const QString &secret);

// A target's address as any output shows it: every query value, a password and every path
// segment of 16 characters or more masked ("https://qyapi.weixin.qq.com/cgi-bin/webhook/send?key=ab12****").
// A mail address is shown as it is.
QString maskedAddress(const QString &address);

// `text` with the target's address and every secret part of it (and its signing secret)
// replaced by their masked forms: for answers and error messages that may quote them.
QString redacted(const QString &text, const AlertTarget &target);

} // namespace korvane
