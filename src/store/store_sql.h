#pragma once

// What the store's classes share in their statements and transactions; not part of the store's
// interface.

#include "history.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <utility>

namespace korvane {

// The database's reason for a failed statement, never empty.
inline QString sqlError(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

// A write transaction begun with `begin` (HistoryStore::beginWrite()), rolled back when it
// goes out of scope uncommitted.
class WriteTransaction
{
public:
    WriteTransaction(QSqlDatabase db, const QString &begin) : m_query(db) { m_open = m_query.exec(begin); }
    ~WriteTransaction()
    {
        if (m_open)
            m_query.exec(QStringLiteral("ROLLBACK"));
    }
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;
    bool isOpen() const { return m_open; }
    // Why the last of BEGIN and COMMIT failed.
    QString error() const { return sqlError(m_query.lastError()); }
    bool commit()
    {
        if (!m_query.exec(QStringLiteral("COMMIT")))
            return false; // the destructor rolls back what is left
        m_open = false;
        return true;
    }

private:
    QSqlQuery m_query;
    bool m_open = false;
};

// A read transaction for as long as it lives, when the connection is not in one already.
class ReadTransaction
{
public:
    explicit ReadTransaction(QSqlDatabase db) : m_db(std::move(db)) { m_open = m_db.transaction(); }
    ~ReadTransaction()
    {
        if (m_open)
            m_db.commit();
    }
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;

private:
    QSqlDatabase m_db;
    bool m_open = false;
};

// The columns analysisFromRow reads, each after `table.` when a table is named (for a
// statement that joins another table). A store of version 2 or before, read without
// upgrading it, has no failure column: its analyses tell none.
QString analysisColumns(int version, const QString &table = QString());

// One analysis from a row whose first columns are analysisColumns().
StoredAnalysis analysisFromRow(const QSqlQuery &query);

} // namespace korvane
