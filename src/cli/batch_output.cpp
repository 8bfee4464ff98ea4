#include "batch_output.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvane {

namespace {

// The few file operations that differ between the two systems, on a C library descriptor.
#ifdef Q_OS_WIN
constexpr int kStandardOutput = 1;

// Windows' C library turns "\n" into "\r\n" on a descriptor in text mode: the export is
// written byte for byte, as on Debian.
void writeBytesAsTheyAre(int fd)
{
    _setmode(fd, _O_BINARY);
}

long long writeSome(int fd, const char *data, qsizetype size)
{
    return _write(fd, data, unsigned(qMin<qsizetype>(size, INT_MAX)));
}

int truncateTo(int fd, qint64 size)
{
    return _chsize_s(fd, size) == 0 ? 0 : -1;
}

int syncToDisk(int fd)
{
    return _commit(fd);
}

// File permissions are the folder's business on Windows.
void takePermissions(const QString &, int) {}

// Replaces `to` (MoveFileEx: rename() does not replace an existing file on Windows). Empty,
// or why it failed.
QString replaceFile(const QString &from, const QString &to)
{
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(source.utf16()), reinterpret_cast<const wchar_t *>(target.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return QString();
    return qt_error_string(int(GetLastError()));
}

// A pipe whose reader went away shows only at the next write.
bool readerClosed(int)
{
    return false;
}

int openNullDevice()
{
    return _open("NUL", _O_WRONLY | _O_BINARY);
}

void closeDescriptor(int fd)
{
    _close(fd);
}

const QString kNullDevice = QStringLiteral("NUL");
#else
constexpr int kStandardOutput = STDOUT_FILENO;

void writeBytesAsTheyAre(int) {}

long long writeSome(int fd, const char *data, qsizetype size)
{
    return ::write(fd, data, size_t(size));
}

int truncateTo(int fd, qint64 size)
{
    return ::ftruncate(fd, size);
}

int syncToDisk(int fd)
{
    return ::fsync(fd);
}

// The new FILE gets the old one's permissions, or those of a new file under the umask.
void takePermissions(const QString &path, int fd)
{
    struct stat old = {};
    mode_t mode = 0;
    if (::stat(QFile::encodeName(path).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
}

QString replaceFile(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return QString();
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The writing end of a pipe whose reading end is closed polls as an error.
bool readerClosed(int fd)
{
    pollfd poll{fd, 0, 0};
    return ::poll(&poll, 1, 0) == 1 && (poll.revents & POLLERR);
}

int openNullDevice()
{
    return ::open("/dev/null", O_WRONLY | O_CLOEXEC);
}

void closeDescriptor(int fd)
{
    ::close(fd);
}

const QString kNullDevice = QStringLiteral("/dev/null");
#endif

} // namespace

BatchOutput::~BatchOutput()
{
    if (m_ownedFd >= 0)
        closeDescriptor(m_ownedFd);
}

std::unique_ptr<BatchOutput> BatchOutput::discarding()
{
    std::unique_ptr<BatchOutput> out(new BatchOutput);
    out->m_ownedFd = openNullDevice();
    out->m_fd = out->m_ownedFd;
    out->m_name = kNullDevice;
    return out;
}

std::unique_ptr<BatchOutput> BatchOutput::toStandardOutput()
{
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    std::unique_ptr<BatchOutput> out(new BatchOutput);
    out->m_fd = kStandardOutput;
    writeBytesAsTheyAre(out->m_fd);
    out->m_name = QStringLiteral("standard output");
    return out;
}

std::unique_ptr<BatchOutput> BatchOutput::toFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        *error = QStringLiteral("it is a folder");
        return nullptr;
    }
    // Hidden, beside FILE (the same file system, so that the rename at the end is atomic).
    auto temporary = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.")
                                                      + info.fileName() + QStringLiteral(".XXXXXX.part"));
    temporary->setAutoRemove(true);
    if (!temporary->open()) {
        *error = temporary->errorString();
        return nullptr;
    }
    takePermissions(path, temporary->handle());
    std::unique_ptr<BatchOutput> out(new BatchOutput);
    out->m_fd = temporary->handle();
    writeBytesAsTheyAre(out->m_fd);
    out->m_name = path;
    out->m_path = path;
    out->m_temporary = std::move(temporary);
    return out;
}

bool BatchOutput::write(const QByteArray &bytes)
{
    if (m_failed)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const long long written = writeSome(m_fd, bytes.constData() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            m_failed = true;
            m_readerGone = error == EPIPE && !isFile();
            m_failure = QString::fromLocal8Bit(std::strerror(error));
            m_written += done;
            return false;
        }
        done += written;
    }
    m_written += done;
    return true;
}

bool BatchOutput::readerGoneNow()
{
    if (m_failed || isFile())
        return m_readerGone;
    if (readerClosed(m_fd)) {
        m_failed = true;
        m_readerGone = true;
        m_failure = QString::fromLocal8Bit(std::strerror(EPIPE));
    }
    return m_readerGone;
}

void BatchOutput::markDomainEnd(bool analysedNow)
{
    if (m_failed)
        return;
    m_wholeEnd = m_written;
    m_analysedNow = m_analysedNow || analysedNow;
}

bool BatchOutput::commit(bool keepOld, QString *error)
{
    error->clear();
    if (!isFile())
        return false;
    if (keepOld || !m_analysedNow)
        return false; // the temporary file goes with m_temporary
    // Never half a domain: a write that failed is cut back to the last whole one.
    if (m_written != m_wholeEnd && truncateTo(m_fd, m_wholeEnd) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (syncToDisk(m_fd) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const QString temporaryPath = m_temporary->fileName();
    m_temporary->setAutoRemove(false);
    m_temporary->close();
    m_temporary.reset(); // nothing of the temporary file stays open
    m_fd = -1;
    if (const QString failure = replaceFile(temporaryPath, m_path); !failure.isEmpty()) {
        *error = failure;
        QFile::remove(temporaryPath);
        return false;
    }
    return true;
}

} // namespace korvane
