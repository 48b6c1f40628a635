#pragma once

#include <QFile>
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
        flush();
        m_saved = ::dup(fd);
        ::dup2(m_file.handle(), fd);
    }
    ~OutputCapture() { restore(); }

    QByteArray text()
    {
        flush();
        QFile reader(m_file.fileName());
        return reader.open(QIODevice::ReadOnly) ? reader.readAll() : QByteArray();
    }

    void restore()
    {
        if (m_saved < 0)
            return;
        flush();
        ::dup2(m_saved, m_fd);
        ::close(m_saved);
        m_saved = -1;
    }

private:
    void flush() { std::fflush(m_fd == STDOUT_FILENO ? stdout : stderr); }

    int m_fd;
    int m_saved = -1;
    QTemporaryFile m_file;
};
