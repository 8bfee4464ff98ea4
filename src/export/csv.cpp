#include "csv.h"

namespace korvane {

QString csvField(const QString &text)
{
    bool quote = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            quote = true;
            break;
        }
    }
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void appendCsvRecord(QString &out, const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out.append(QLatin1Char(','));
        out.append(csvField(fields.at(i)));
    }
    out.append(QLatin1String("\r\n"));
}

std::optional<QList<QStringList>> parseCsvRecords(QStringView text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    qsizetype at = 0;
    const qsizetype size = text.size();
    while (at < size) {
        field.clear();
        if (text[at] == u'"') {
            ++at;
            for (;;) {
                if (at >= size)
                    return std::nullopt; // the quote is never closed
                if (text[at] == u'"') {
                    if (at + 1 < size && text[at + 1] == u'"') {
                        field.append(u'"');
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                field.append(text[at++]);
            }
        } else {
            while (at < size && text[at] != u',' && text[at] != u'\r' && text[at] != u'\n')
                field.append(text[at++]);
        }
        record.append(field);
        if (at < size && text[at] == u',') {
            ++at;
            if (at == size) // a last empty field
                record.append(QString());
            continue;
        }
        if (at < size && text[at] == u'\r' && at + 1 < size && text[at + 1] == u'\n')
            at += 2;
        else if (at < size && text[at] == u'\n')
            ++at;
        else if (at < size)
            return std::nullopt; // something after a closing quote, or a bare CR
        records.append(record);
        record.clear();
    }
    if (!record.isEmpty())
        records.append(record);
    return records;
}

} // namespace korvane
