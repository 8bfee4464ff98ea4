#pragma once

#include "store/outbox.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <optional>

namespace korvane {

// What an event looks like at each kind of receiver, and the checks of a target as typed.
//
//  - json: the event object itself;
//  - wecom: a WeCom group robot's Markdown message {"msgtype":"markdown","markdown":{"content"}};
//  - dingtalk: a DingTalk custom robot's Markdown message {"msgtype":"markdown","markdown":
//    {"title","text"}}; with a secret, the address gets &timestamp=MS&sign=SIGN;
//  - feishu: a Feishu (Lark) custom bot's rich-text message {"msg_type":"post","content":{"post":
//    {"zh_cn":{"title","content"}}}}; with a secret, "timestamp" (seconds) and "sign" in the body;
//  - slack: {"text": …};
//  - mail: a MIME message for sendmail -t (mailMessage()).
// The chat messages are in Chinese: the domain, the figures, and the first 20 new and lost
// sites with the count of the rest.

inline constexpr int kAlertSitesListed = 20;

// "json", "wecom", "dingtalk", "feishu", "slack" (and "mail" for a mail target).
bool isWebhookFormat(const QString &name);
// The format `auto` picks from the address's host: qyapi.weixin.qq.com wecom,
// oapi.dingtalk.com dingtalk, open.feishu.cn and open.larksuite.com feishu, hooks.slack.com
// slack, anything else json.
QString autoFormatOf(const QUrl &url);

// A webhook target as typed: an http or https address with a host; `format` one of auto,
// json, wecom, dingtalk, feishu, slack. nullopt, with the reason in *error, when it is not.
std::optional<AlertTarget> webhookTarget(const QString &address, const QString &format, const QString &secret,
                                         QString *error);
// A mail target: an address with "@", without blanks or control characters.
std::optional<AlertTarget> mailTarget(const QString &address, QString *error);

// The signatures, as the platforms publish them: Base64 of HMAC-SHA256. DingTalk signs
// "TIMESTAMP\nSECRET" with the secret as key (timestamp in milliseconds); Feishu signs an empty
// message with "TIMESTAMP\nSECRET" as key (timestamp in seconds).
QByteArray dingtalkSignature(qint64 timestampMs, const QString &secret);
QByteArray feishuSignature(qint64 timestampSeconds, const QString &secret);

struct WebhookRequest
{
    QUrl url;
    QByteArray body; // JSON, UTF-8
};
// The request for a webhook target, signed at `now` when the target has a secret.
WebhookRequest webhookRequest(const AlertTarget &target, const QJsonObject &event, const QDateTime &now);

// The message's title and its text: plain, and in the Markdown the robots read.
QString alertTitle(const QJsonObject &event);
QString alertText(const QJsonObject &event);
QString alertMarkdown(const QJsonObject &event);

// The whole mail for `to`: UTF-8, the subject encoded as RFC 2047 requires, multipart/alternative
// with the text and an HTML part (the history page's view of the change). LF line ends, as
// sendmail reads them.
QByteArray mailMessage(const QString &to, const QJsonObject &event, const QDateTime &now);
// The subject as an RFC 2047 header value: encoded words of at most 75 characters.
QByteArray encodedHeaderWords(const QString &text);

} // namespace korvane
