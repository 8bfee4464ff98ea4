#include "batch_output.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

BatchOutput::~BatchOutput()
{
    if (m_ownedFd >= 0)
        ::close(m_ownedFd);
}

std::unique_ptr<BatchOutput> BatchOutput::discarding()
{
    std::unique_ptr<BatchOutput> out(new BatchOutput);
    out->m_ownedFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    out->m_fd = out->m_ownedFd;
    out->m_name = QStringLiteral("/dev/null");
    return out;
}

std::unique_ptr<BatchOutput> BatchOutput::toStandardOutput()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<BatchOutput> out(new BatchOutput);
    out->m_fd = STDOUT_FILENO;
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
    // The new FILE gets the old one's permissions, or those of a new file under the umask.
    struct stat old = {};
    mode_t mode = 0;
    if (::stat(QFile::encodeName(path).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(temporary->handle(), mode);
    std::unique_ptr<BatchOutput> out(new BatchOutput);
    out->m_fd = temporary->handle();
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
        const ssize_t written = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
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
    // The writing end of a pipe whose reading end is closed polls as an error.
    pollfd poll{m_fd, 0, 0};
    if (::poll(&poll, 1, 0) == 1 && (poll.revents & POLLERR)) {
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
    if (m_written != m_wholeEnd && ::ftruncate(m_fd, m_wholeEnd) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (::fsync(m_fd) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const QString temporaryPath = m_temporary->fileName();
    m_temporary->setAutoRemove(false);
    m_temporary->close();
    if (std::rename(QFile::encodeName(temporaryPath).constData(), QFile::encodeName(m_path).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporaryPath);
        return false;
    }
    m_temporary.reset();
    return true;
}

} // namespace korvane
