#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QTemporaryFile;

namespace korvane {

// Where a batch's export goes, written as domains end: standard output, or a temporary file
// beside FILE that replaces FILE at the end of the run. Every write goes straight to the file
// descriptor, so that what was written has left the program, and a failure shows at once.
class BatchOutput
{
public:
    ~BatchOutput();
    BatchOutput(const BatchOutput &) = delete;
    BatchOutput &operator=(const BatchOutput &) = delete;

    // Standard output. Ignores SIGPIPE, so that a closed pipe is a failed write, not a death.
    static std::unique_ptr<BatchOutput> toStandardOutput();
    // A new temporary file beside `path`; nullptr, with the reason in *error, when it cannot be made.
    static std::unique_ptr<BatchOutput> toFile(const QString &path, QString *error);
    // Nowhere (/dev/null): for a run whose analyses are only recorded in the store.
    static std::unique_ptr<BatchOutput> discarding();

    bool isFile() const { return m_temporary != nullptr; }
    // "standard output" or the file's path, for messages.
    QString name() const { return m_name; }

    // Writes all of `bytes`. False when the write failed; the output then takes no more.
    bool write(const QByteArray &bytes);
    // What was written so far ends with a whole domain. `analysedNow`: analysed in this run
    // (not held over from the file being resumed).
    void markDomainEnd(bool analysedNow);

    bool failed() const { return m_failed; }
    // The write failed because the reader of standard output went away.
    bool readerGone() const { return m_readerGone; }
    // Whether the reader of standard output has gone away (a closed pipe), asked without
    // writing; afterwards the output takes no more.
    bool readerGoneNow();
    // Why the write failed.
    QString failure() const { return m_failure; }

    // The file only, at the end of the run: cuts what follows the last whole domain and
    // replaces FILE when a domain analysed in this run is in it; otherwise removes the
    // temporary file and FILE stays as it was. `keepOld`: FILE stays as it was whatever the
    // temporary file holds. True when FILE was replaced; false with *error set when replacing
    // failed, with *error empty when FILE was left as it was.
    bool commit(bool keepOld, QString *error);

private:
    BatchOutput() = default;

    int m_fd = -1;
    int m_ownedFd = -1; // closed with the object
    QString m_name;
    QString m_path; // FILE
    std::unique_ptr<QTemporaryFile> m_temporary;
    qint64 m_written = 0;  // bytes written
    qint64 m_wholeEnd = 0; // bytes up to the end of the last whole domain
    bool m_analysedNow = false;
    bool m_failed = false;
    bool m_readerGone = false;
    QString m_failure;
};

} // namespace korvane
