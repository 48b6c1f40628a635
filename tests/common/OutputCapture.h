#pragma once

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// Redirects a standard stream (stderr by default) into a temporary file while
// alive; text() returns what was written so far.
class OutputCapture
{
public:
    explicit OutputCapture(int fd = STDERR_FILENO) : m_fd(fd)
    {
        m_file.open();
        std::fflush(fd == STDOUT_FILENO ? stdout : stderr);
        m_saved = ::dup(fd);
        ::dup2(m_file.handle(), fd);
    }
    ~OutputCapture() { restore(); }
    OutputCapture(const OutputCapture &) = delete;
    OutputCapture &operator=(const OutputCapture &) = delete;

    QByteArray text()
    {
        std::fflush(m_fd == STDOUT_FILENO ? stdout : stderr);
        QFile reader(m_file.fileName());
        reader.open(QIODevice::ReadOnly);
        return reader.readAll();
    }

    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(m_fd == STDOUT_FILENO ? stdout : stderr);
        ::dup2(m_saved, m_fd);
        ::close(m_saved);
        m_saved = -1;
    }

private:
    int m_fd;
    int m_saved = -1;
    QTemporaryFile m_file;
};
