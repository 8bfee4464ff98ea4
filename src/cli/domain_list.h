#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace korvane {

// One domain as typed (an argument or a line of --input), checked before any request is sent.
struct CheckedDomain
{
    QString domain;  // the host name to analyse; empty when `reason` is set
    QString reason;  // why the text is not a domain; empty when it is one
    QString warning; // what was changed beyond blanks, comment and letter case; may be empty
};

// Checks and normalises one domain as typed:
//  - blanks around it and a trailing " #..." comment are removed;
//  - ASCII letters are lower-cased;
//  - "http://" or "https://" with any user, port, path, query or fragment is reduced to its
//    host, with a warning;
//  - what is left must be a host name: labels of letters (any script, with their combining
//    marks), digits and "-", each 1 to 63 characters, at most 253 characters in all, at least
//    one dot, nothing else.
CheckedDomain checkDomain(const QString &typed);

// The lines of a domain list, numbered from 1, in UTF-8 (a leading byte-order mark dropped).
// Blank lines and lines whose first non-blank character is "#" are left out. nullopt, with the
// reason in *error, for text in UTF-16 or UTF-32 (a byte-order mark of one, or NUL bytes).
struct ListedLine
{
    int number = 0;
    QString text;
};
std::optional<QList<ListedLine>> domainListLines(const QByteArray &bytes, QString *error);

// The domains typed as `arguments` and listed in the file `inputPath` (none when empty; "-":
// standard input), each checked, in that order and each once. Every invalid one, warning and
// duplicate is named on standard error ("argument N", "FILE:LINE"); a duplicate's message says
// it is `once` ("analysed", "added") once. nullopt when the run may not start: with the reason in
// *usageError for an empty argument, an unreadable or unusable file, or (`emptyListRefused`) a
// file that lists no domain; with *usageError empty when a domain is invalid and `skipInvalid`
// is not given.
std::optional<QStringList> checkedDomains(const QStringList &arguments, const QString &inputPath, bool skipInvalid,
                                          bool emptyListRefused, const QString &once, QString *usageError);

} // namespace korvane
