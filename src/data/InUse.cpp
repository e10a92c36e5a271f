#include "data/InUse.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The mark is a lock on one byte that SQLite never locks (its locks sit in
// the 512 bytes from 1 GiB), taken as an open-file-description lock: it
// neither conflicts with SQLite's locks nor is it tied to the process. flock()
// would serve on a local disk, but a network file system turns it into a lock
// on the whole file, which would keep every other instance from writing.
const off_t kMarkByte = 0x40000000 + 4096;

// Conflicting marks give EAGAIN or EACCES.
bool mark(int fd, short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kMarkByte;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}
bool heldByAnother()
{
    return errno == EAGAIN || errno == EACCES;
}

// One descriptor per file, opened at its first use and never closed while the
// process lives. Closing any descriptor of a file drops every POSIX lock the
// process holds on that file, and SQLite's locks are POSIX locks: closing ours
// while a connection of this process (the table editor's, a report's) is
// inside a transaction on the same file would let another program write into
// it meanwhile. Our mark is released without closing anything; the price is
// one descriptor per distinct file the process ever opens.
struct Descriptor
{
    dev_t dev;
    ino_t ino;
    int fd;
};
std::vector<Descriptor> g_descriptors;
int g_marked = -1;
QMutex g_mutex;

bool identify(const QString &path, struct stat *st)
{
    return ::stat(QFile::encodeName(path).constData(), st) == 0 && S_ISREG(st->st_mode);
}

// The descriptor of the file now at `path`; -1 when there is none.
int descriptorFor(const QString &path)
{
    struct stat st;
    if (!identify(path, &st))
        return -1;
    for (const Descriptor &d : g_descriptors)
        if (d.dev == st.st_dev && d.ino == st.st_ino)
            return d.fd;
    // Holding the file alone takes a write lock, which needs a writable descriptor.
    int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) == 0) // the file that was opened, should it have been replaced since
        g_descriptors.push_back({st.st_dev, st.st_ino, fd});
    return fd;
}

// True while `path` still names the file behind `fd`.
bool stillThere(int fd, const QString &path)
{
    struct stat now, held;
    return identify(path, &now) && ::fstat(fd, &held) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino;
}

void unmarkLocked()
{
    if (g_marked >= 0)
        mark(g_marked, F_UNLCK);
    g_marked = -1;
}

} // namespace

void MarkInUse(const QString &path)
{
    QMutexLocker lock(&g_mutex);
    unmarkLocked();
    QElapsedTimer waited;
    waited.start();
    // A restore holds the file alone for a moment and then puts another file
    // at the same path: the mark belongs on the file that is there afterwards.
    while (!waited.hasExpired(5000)) {
        const int fd = descriptorFor(path);
        if (fd < 0)
            return; // no file: the opening says so
        if (mark(fd, F_RDLCK)) {
            if (stillThere(fd, path)) {
                g_marked = fd;
                return;
            }
            mark(fd, F_UNLCK);
            continue;
        }
        if (!heldByAnother())
            return; // a file system without these locks: SQLite's own still guard every write
        QThread::msleep(50);
    }
}

void UnmarkInUse()
{
    QMutexLocker lock(&g_mutex);
    unmarkLocked();
}

ExclusiveUse::ExclusiveUse(const QString &path)
{
    QMutexLocker lock(&g_mutex);
    const int fd = descriptorFor(path);
    if (fd < 0)
        return; // no file: nobody has it open
    if (fd == g_marked) {
        m_refused = true; // this very process has it open
        return;
    }
    if (mark(fd, F_WRLCK))
        m_fd = fd;
    else
        m_refused = heldByAnother();
}

ExclusiveUse::~ExclusiveUse()
{
    QMutexLocker lock(&g_mutex);
    if (m_fd >= 0)
        mark(m_fd, F_UNLCK);
}
