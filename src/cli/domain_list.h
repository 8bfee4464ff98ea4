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

} // namespace korvane
