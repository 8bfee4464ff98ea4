#pragma once

#include "history.h"

#include <QString>

#include <optional>

namespace korvane {

struct FinishedAnalysis;

// The history of analyses in one database, through Qt SQL. Every statement is plain SQL with
// bound values; what depends on the database (opening, checking that a file is ours, the
// schema version's place, the id column) is kept in a few small functions of the .cpp.
//
// Each analysis is recorded in one transaction, rows included, so that a process killed at
// any moment leaves every analysis either whole or absent. Several processes may record into
// one store at once: a writer waits up to 10 s for another one's transaction.
//
// Not copyable; one object is one connection, used from the thread that opened it.
class HistoryStore
{
public:
    enum class Access { ReadOnly, ReadWrite };

    // The version of the tables this program writes and reads. Stores of earlier versions are
    // upgraded when opened for writing; stores of later ones are refused.
    static constexpr int kSchemaVersion = 1;

    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // $KORVANE_STORE when set and not empty, else history.sqlite in the user's data folder.
    static QString defaultPath();

    // Opens the store at `path`. ReadWrite makes a new store when nothing is there (the file
    // appears only once whole). A file that is not a Korvane store, or a store of a later
    // version, is refused and left untouched, as is anything when reading only. False, with
    // the reason in errorString(), when the store cannot be used.
    bool open(const QString &path, Access access);
    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

    // Records one analysis and its rows in one transaction; its id, or nullopt on failure.
    std::optional<qint64> record(const FinishedAnalysis &analysis);
    // The same, from its parts (as storedAnalysisOf and storedSitesOf give them). The id of
    // `analysis` is not used.
    std::optional<qint64> record(const StoredAnalysis &analysis, const QList<StoredSite> &sites);

    // Every analysis of `domain`, oldest first (by finish time, then id).
    std::optional<QList<StoredAnalysis>> analyses(const QString &domain);
    // The analysis with this id: nullopt on failure, an empty optional inside when there is none.
    std::optional<std::optional<StoredAnalysis>> analysis(qint64 id);
    // The rows of one analysis, in report order.
    std::optional<QList<StoredSite>> sites(qint64 id);
    // Every analysis of `domain`, oldest first, with its new and lost sites.
    std::optional<QList<HistoryEntry>> history(const QString &domain);
    // Whether `domain` has a complete analysis that finished at `since` or later.
    std::optional<bool> hasCompleteSince(const QString &domain, const QDateTime &since);

private:
    bool fail(const QString &message);
    bool openAt(const QString &path, Access access);
    void closeConnection();
    bool create(const QString &path);
    bool checkOurs(const QString &connection);
    bool upgrade(int fromVersion);

    QString m_connection;
    QString m_path;
    QString m_error;
    bool m_open = false;
};

} // namespace korvane
