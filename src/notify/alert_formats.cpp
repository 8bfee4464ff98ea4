#include "alert_formats.h"

#include "export/html_report.h"
#include "masking.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QMessageAuthenticationCode>
#include <QStringList>
#include <QTimeZone>

namespace korvane {

namespace {

constexpr qsizetype kWecomMaxBytes = 4096; // the robot's limit for a Markdown message

const QStringList kWebhookFormats = {QStringLiteral("json"), QStringLiteral("wecom"), QStringLiteral("dingtalk"),
                                     QStringLiteral("feishu"), QStringLiteral("slack")};

QString text(const QJsonObject &event, const char *key) { return event.value(QLatin1String(key)).toString(); }

QString figure(const QJsonValue &value)
{
    return value.isDouble() ? QString::number(qint64(value.toDouble())) : QStringLiteral("—");
}

// A time of the event as the messages show it: "2024-05-03 06:05 UTC".
QString shownTime(const QString &iso)
{
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")) : iso;
}

struct Section
{
    QString heading;
    QStringList items; // at most `listed`, then "另有 N 个"
};

// The figures and lists of the event, in the order every format shows them.
struct Content
{
    QStringList facts;      // lines of figures
    QList<Section> sections;
};

QStringList siteItems(const QJsonArray &sites, int listed, bool withLinks)
{
    QStringList items;
    for (qsizetype i = 0; i < sites.size() && i < listed; ++i) {
        const QJsonObject site = sites.at(i).toObject();
        items.append(site.value(QLatin1String("site")).toString()
                     + (withLinks ? QStringLiteral("（%1）").arg(site.value(QLatin1String("links")).toInt()) : QString()));
    }
    if (sites.size() > listed)
        items.append(QStringLiteral("另有 %1 个").arg(sites.size() - listed));
    return items;
}

Content contentOf(const QJsonObject &event, int listed)
{
    Content content;
    const QString kind = text(event, "event");
    if (kind == QLatin1String("changed")) {
        const QJsonArray added = event.value(QLatin1String("new")).toArray();
        const QJsonArray lost = event.value(QLatin1String("lost")).toArray();
        const QJsonArray changed = event.value(QLatin1String("changed")).toArray();
        content.facts.append(QStringLiteral("外链总数：%1　站点数量：%2")
                                 .arg(figure(event.value(QLatin1String("engine_total"))),
                                      figure(event.value(QLatin1String("sites")))));
        content.facts.append(QStringLiteral("新增站点：%1　消失站点：%2　外链数变化：%3")
                                 .arg(added.size())
                                 .arg(lost.size())
                                 .arg(changed.size()));
        content.facts.append(QStringLiteral("分析%1 → 分析%2")
                                 .arg(figure(event.value(QLatin1String("previous_id"))),
                                      figure(event.value(QLatin1String("analysis_id")))));
        if (!added.isEmpty())
            content.sections.append({QStringLiteral("新增站点"), siteItems(added, listed, true)});
        if (!lost.isEmpty())
            content.sections.append({QStringLiteral("消失站点"), siteItems(lost, listed, true)});
    } else if (kind == QLatin1String("failing")) {
        content.facts.append(QStringLiteral("连续 %1 次分析未完成").arg(figure(event.value(QLatin1String("count")))));
        Section section{QStringLiteral("最近的分析"), {}};
        for (const QJsonValue &value : event.value(QLatin1String("analyses")).toArray()) {
            const QJsonObject a = value.toObject();
            const QString status = text(a, "status");
            const QString reason = text(a, "reason");
            section.items.append(QStringLiteral("%1 %2：%3%4")
                                     .arg(shownTime(text(a, "finished_at")), text(a, "outcome"), status,
                                          reason.isEmpty() || reason == status ? QString()
                                                                               : QStringLiteral("（%1）").arg(reason)));
        }
        content.sections.append(section);
    } else if (kind == QLatin1String("recovered")) {
        content.facts.append(
            QStringLiteral("连续 %1 次未完成之后，分析已完成").arg(figure(event.value(QLatin1String("failures")))));
        content.facts.append(QStringLiteral("外链总数：%1　站点数量：%2")
                                 .arg(figure(event.value(QLatin1String("engine_total"))),
                                      figure(event.value(QLatin1String("sites")))));
    }
    return content;
}

QString markdownOf(const QJsonObject &event, int listed)
{
    const Content content = contentOf(event, listed);
    QString md = QStringLiteral("### ") + alertTitle(event) + QLatin1Char('\n');
    for (const QString &fact : content.facts)
        md += QStringLiteral("> ") + fact + QLatin1Char('\n');
    for (const Section &section : content.sections) {
        md += QStringLiteral("\n**") + section.heading + QStringLiteral("**\n");
        for (const QString &item : section.items)
            md += QStringLiteral("- ") + item + QLatin1Char('\n');
    }
    return md;
}

QByteArray compact(const QJsonObject &object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

// Base64 in lines of 76 characters, as MIME bodies are written.
QByteArray base64Lines(const QByteArray &bytes)
{
    const QByteArray all = bytes.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < all.size(); i += 76)
        out += all.mid(i, 76) + '\n';
    return out;
}

// The history page's view of the event: the analyses it names and, for a change, the change.
HistoryReport reportOf(const QJsonObject &event)
{
    HistoryReport report;
    report.domain = text(event, "domain");
    const QString kind = text(event, "event");
    const auto point = [](const QJsonObject &side) {
        HistoryPoint p;
        p.id = side.value(QLatin1String("id")).toInteger();
        p.finishedAt = QDateTime::fromString(side.value(QLatin1String("finished_at")).toString(), Qt::ISODate);
        p.startedAt = p.finishedAt;
        p.outcome = side.value(QLatin1String("outcome")).toString(QStringLiteral("complete"));
        if (side.value(QLatin1String("engine_total")).isDouble())
            p.engineTotal = side.value(QLatin1String("engine_total")).toInteger();
        if (side.value(QLatin1String("sites")).isDouble())
            p.sites = side.value(QLatin1String("sites")).toInt();
        return p;
    };
    if (kind == QLatin1String("changed")) {
        HistoryPoint from = point(event.value(QLatin1String("from")).toObject());
        HistoryPoint to = point(event.value(QLatin1String("to")).toObject());
        HistoryDiff diff;
        diff.fromId = from.id;
        diff.toId = to.id;
        for (const QJsonValue &site : event.value(QLatin1String("new")).toArray())
            diff.newSites.append(site.toObject().value(QLatin1String("site")).toString());
        for (const QJsonValue &site : event.value(QLatin1String("lost")).toArray())
            diff.lostSites.append(site.toObject().value(QLatin1String("site")).toString());
        for (const QJsonValue &value : event.value(QLatin1String("changed")).toArray()) {
            const QJsonObject c = value.toObject();
            diff.changed.append({c.value(QLatin1String("site")).toString(), c.value(QLatin1String("links_before")).toInt(),
                                 c.value(QLatin1String("links_after")).toInt(), QString(), QString()});
        }
        to.newSites = int(diff.newSites.size());
        to.lostSites = int(diff.lostSites.size());
        report.analyses = {from, to};
        report.latestDiff = diff;
    } else if (kind == QLatin1String("failing")) {
        for (const QJsonValue &value : event.value(QLatin1String("analyses")).toArray())
            report.analyses.append(point(value.toObject()));
    } else {
        QJsonObject side = event;
        side.insert(QStringLiteral("id"), event.value(QLatin1String("analysis_id")));
        side.insert(QStringLiteral("finished_at"), event.value(QLatin1String("time")));
        report.analyses.append(point(side));
    }
    return report;
}

} // namespace

bool isWebhookFormat(const QString &name)
{
    return kWebhookFormats.contains(name);
}

QString autoFormatOf(const QUrl &url)
{
    const QString host = url.host().toLower();
    if (host == QLatin1String("qyapi.weixin.qq.com"))
        return QStringLiteral("wecom");
    if (host == QLatin1String("oapi.dingtalk.com"))
        return QStringLiteral("dingtalk");
    if (host == QLatin1String("open.feishu.cn") || host == QLatin1String("open.larksuite.com"))
        return QStringLiteral("feishu");
    if (host == QLatin1String("hooks.slack.com"))
        return QStringLiteral("slack");
    return QStringLiteral("json");
}

std::optional<AlertTarget> webhookTarget(const QString &address, const QString &format, const QString &secret,
                                         QString *error)
{
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || url.hasFragment()) {
        *error = QStringLiteral("--notify takes an http:// or https:// address, not \"%1\"").arg(maskedAddress(address));
        return std::nullopt;
    }
    if (format != QLatin1String("auto") && !isWebhookFormat(format)) {
        *error = QStringLiteral("--notify-format takes auto, json, wecom, dingtalk, feishu or slack, not \"%1\"").arg(format);
        return std::nullopt;
    }
    AlertTarget target;
    target.address = url.toString(QUrl::FullyEncoded);
    target.format = format == QLatin1String("auto") ? autoFormatOf(url) : format;
    if (target.format == QLatin1String("dingtalk") || target.format == QLatin1String("feishu"))
        target.secret = secret;
    return target;
}

std::optional<AlertTarget> mailTarget(const QString &address, QString *error)
{
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    bool plain = at > 0 && at < address.size() - 1;
    for (const QChar c : address)
        plain = plain && !c.isSpace() && c.isPrint() && c != QLatin1Char(',') && c != QLatin1Char('<')
            && c != QLatin1Char('>');
    if (!plain) {
        *error = QStringLiteral("--mail-to takes a mail address such as team@example.com, not \"%1\"").arg(address);
        return std::nullopt;
    }
    AlertTarget target;
    target.address = QStringLiteral("mailto:") + address;
    target.format = QStringLiteral("mail");
    return target;
}

QByteArray dingtalkSignature(qint64 timestampMs, const QString &secret)
{
    const QByteArray key = secret.toUtf8();
    return QMessageAuthenticationCode::hash(QByteArray::number(timestampMs) + '\n' + key, key,
                                            QCryptographicHash::Sha256)
        .toBase64();
}

QByteArray feishuSignature(qint64 timestampSeconds, const QString &secret)
{
    return QMessageAuthenticationCode::hash(QByteArray(), QByteArray::number(timestampSeconds) + '\n' + secret.toUtf8(),
                                            QCryptographicHash::Sha256)
        .toBase64();
}

QString alertTitle(const QJsonObject &event)
{
    const QString kind = text(event, "event");
    const QString domain = text(event, "domain");
    if (kind == QLatin1String("changed"))
        return QStringLiteral("外链变化：") + domain;
    if (kind == QLatin1String("failing"))
        return QStringLiteral("分析连续失败：") + domain;
    if (kind == QLatin1String("recovered"))
        return QStringLiteral("分析已恢复：") + domain;
    return kind + QStringLiteral("：") + domain;
}

QString alertText(const QJsonObject &event)
{
    const Content content = contentOf(event, kAlertSitesListed);
    QString out = alertTitle(event) + QLatin1Char('\n');
    for (const QString &fact : content.facts)
        out += fact + QLatin1Char('\n');
    for (const Section &section : content.sections) {
        out += section.heading + QStringLiteral("：\n");
        for (const QString &item : section.items)
            out += QStringLiteral("  ") + item + QLatin1Char('\n');
    }
    return out;
}

QString alertMarkdown(const QJsonObject &event)
{
    return markdownOf(event, kAlertSitesListed);
}

WebhookRequest webhookRequest(const AlertTarget &target, const QJsonObject &event, const QDateTime &now)
{
    WebhookRequest request;
    request.url = QUrl(target.address, QUrl::StrictMode);
    const QString &format = target.format;
    if (format == QLatin1String("wecom")) {
        // Fewer sites listed when the message would be longer than the robot takes.
        QString content = markdownOf(event, kAlertSitesListed);
        for (int listed = kAlertSitesListed - 5; listed >= 0 && content.toUtf8().size() > kWecomMaxBytes; listed -= 5)
            content = markdownOf(event, listed);
        request.body = compact({{QStringLiteral("msgtype"), QStringLiteral("markdown")},
                                {QStringLiteral("markdown"), QJsonObject{{QStringLiteral("content"), content}}}});
    } else if (format == QLatin1String("dingtalk")) {
        request.body = compact({{QStringLiteral("msgtype"), QStringLiteral("markdown")},
                                {QStringLiteral("markdown"), QJsonObject{{QStringLiteral("title"), alertTitle(event)},
                                                                         {QStringLiteral("text"), alertMarkdown(event)}}}});
        if (!target.secret.isEmpty()) {
            const qint64 timestamp = now.toMSecsSinceEpoch();
            QByteArray encoded = request.url.toEncoded();
            encoded += request.url.hasQuery() ? '&' : '?';
            encoded += "timestamp=" + QByteArray::number(timestamp) + "&sign="
                + QUrl::toPercentEncoding(QString::fromLatin1(dingtalkSignature(timestamp, target.secret)));
            request.url = QUrl::fromEncoded(encoded, QUrl::StrictMode);
        }
    } else if (format == QLatin1String("feishu")) {
        QJsonArray lines;
        const QStringList textLines = alertText(event).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < textLines.size(); ++i) // the first line is the title
            lines.append(QJsonArray{QJsonObject{{QStringLiteral("tag"), QStringLiteral("text")},
                                                {QStringLiteral("text"), textLines.at(i)}}});
        QJsonObject body{
            {QStringLiteral("msg_type"), QStringLiteral("post")},
            {QStringLiteral("content"),
             QJsonObject{{QStringLiteral("post"),
                          QJsonObject{{QStringLiteral("zh_cn"), QJsonObject{{QStringLiteral("title"), alertTitle(event)},
                                                                            {QStringLiteral("content"), lines}}}}}}},
        };
        if (!target.secret.isEmpty()) {
            const qint64 timestamp = now.toSecsSinceEpoch();
            body.insert(QStringLiteral("timestamp"), QString::number(timestamp));
            body.insert(QStringLiteral("sign"), QString::fromLatin1(feishuSignature(timestamp, target.secret)));
        }
        request.body = compact(body);
    } else if (format == QLatin1String("slack")) {
        request.body = compact({{QStringLiteral("text"), alertText(event)}});
    } else {
        request.body = compact(event);
    }
    return request;
}

QByteArray encodedHeaderWords(const QString &text)
{
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // One character at a time (a surrogate pair together): a word never splits one.
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, length).toUtf8();
        i += length - 1;
        if (chunk.size() + bytes.size() > 39) {
            words.append(chunk);
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty())
        words.append(chunk);
    QByteArray out;
    for (const QByteArray &word : std::as_const(words))
        out += (out.isEmpty() ? QByteArray() : QByteArray("\n ")) + "=?UTF-8?B?" + word.toBase64() + "?=";
    return out;
}

QByteArray mailMessage(const QString &to, const QJsonObject &event, const QDateTime &now)
{
    const QByteArray id = text(event, "id").toLatin1();
    const QByteArray boundary = "=_korvane_" + id;
    QByteArray mail;
    mail += "To: " + to.toUtf8() + '\n';
    mail += "Subject: " + encodedHeaderWords(QStringLiteral("[Korvane] ") + alertTitle(event)) + '\n';
    mail += "Date: " + QLocale::c().toString(now.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss")).toLatin1()
        + " +0000\n";
    mail += "Message-ID: <" + id + "@korvane>\n";
    mail += "X-Korvane-Event: " + text(event, "event").toLatin1() + ' ' + id + '\n';
    mail += "MIME-Version: 1.0\n";
    mail += "Content-Type: multipart/alternative; boundary=\"" + boundary + "\"\n";
    mail += "\nThis is a MIME message in two parts: text and HTML.\n";
    mail += "\n--" + boundary + '\n';
    mail += "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n";
    mail += base64Lines(alertText(event).toUtf8());
    mail += "\n--" + boundary + '\n';
    mail += "Content-Type: text/html; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n";
    mail += base64Lines(htmlHistoryPage(reportOf(event)));
    mail += "\n--" + boundary + "--\n";
    return mail;
}

} // namespace korvane
