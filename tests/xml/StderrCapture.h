#pragma once

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// Collects what is written to the standard error stream (the log) while it
// lives; text() returns it so far.
class StderrCapture
{
public:
    StderrCapture()
    {
        mFile.open();
        std::fflush(stderr);
        mSaved = ::dup(STDERR_FILENO);
        ::dup2(mFile.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QByteArray text()
    {
        std::fflush(stderr);
        mFile.seek(0);
        return mFile.readAll();
    }
    void restore()
    {
        if (mSaved < 0)
            return;
        std::fflush(stderr);
        ::dup2(mSaved, STDERR_FILENO);
        ::close(mSaved);
        mSaved = -1;
    }

private:
    QTemporaryFile mFile;
    int mSaved = -1;
};
