#include "held_records.h"

#include "export/csv.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace korvane {

namespace {

// Adds a record of `domain` to its group, made at the domain's first record.
void hold(QList<HeldDomain> &held, QHash<QString, qsizetype> &at, const QString &domain, bool complete,
          const QByteArray &bytes)
{
    auto found = at.constFind(domain);
    if (found == at.cend()) {
        found = at.insert(domain, held.size());
        held.append({domain, true, {}});
    }
    HeldDomain &group = held[*found];
    group.complete = group.complete && complete;
    group.bytes += bytes;
}

} // namespace

std::optional<QList<HeldDomain>> readHeldDomains(const QString &path, ExportFormat format, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return QList<HeldDomain>();
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return std::nullopt;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);

    QList<HeldDomain> held;
    QHash<QString, qsizetype> at;
    const QString complete = outcomeName(AnalysisOutcome::Complete);
    if (format == ExportFormat::Csv) {
        const auto records = parseCsvRecords(QString::fromUtf8(bytes));
        const QStringList columns = csvColumns();
        if (!records || records->isEmpty() || records->first() != columns) {
            *error = QStringLiteral("not a CSV file with the columns %1").arg(columns.join(QLatin1Char(',')));
            return std::nullopt;
        }
        for (qsizetype i = 1; i < records->size(); ++i) {
            const QStringList &record = records->at(i);
            if (record.size() != columns.size() || record.first().isEmpty()) {
                *error = QStringLiteral("record %1 does not have the %2 columns").arg(i + 1).arg(columns.size());
                return std::nullopt;
            }
            QString row;
            appendCsvRecord(row, record);
            hold(held, at, record.first(), record.last() == complete, row.toUtf8());
        }
    } else if (format == ExportFormat::Json) {
        int number = 0;
        for (const QByteArray &line : bytes.split('\n')) {
            ++number;
            if (line.trimmed().isEmpty())
                continue;
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            const QString domain = object.value(QLatin1String("domain")).toString();
            const QJsonValue outcome = object.value(QLatin1String("outcome"));
            if (domain.isEmpty() || !outcome.isString()) {
                *error = QStringLiteral("line %1 is not a JSON object with a domain and an outcome").arg(number);
                return std::nullopt;
            }
            hold(held, at, domain, outcome.toString() == complete, line + '\n');
        }
    } else {
        *error = QStringLiteral("only CSV and JSON can be resumed");
        return std::nullopt;
    }
    return held;
}

} // namespace korvane
