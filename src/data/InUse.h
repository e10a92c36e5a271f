#pragma once
// Whether some instance of the program has a database open. Every process
// that opens the shared connection holds a shared lock on the file for as
// long as the connection is open; whatever must not run while any
// instance has the file open (a restore, a new administrator password from
// the command line) asks for the lock alone and is refused while it cannot
// have it. An idle instance holds no lock of SQLite's, so SQLite alone cannot
// tell that it is open.
#include <QString>

// Marks `path` as open by this process (waits a few seconds while a restore
// holds it alone). Marking a file unmarks the one marked before.
void MarkInUse(const QString &path);
void UnmarkInUse();

// The file held alone while this lives: no instance may open it meanwhile.
class ExclusiveUse
{
public:
    explicit ExclusiveUse(const QString &path);
    ~ExclusiveUse();
    // False when an instance has the file open. A missing file, or one on a
    // file system without these locks, is nobody's.
    bool held() const { return !m_refused; }
    ExclusiveUse(const ExclusiveUse &) = delete;
    ExclusiveUse &operator=(const ExclusiveUse &) = delete;

private:
    int m_fd = -1;
    bool m_refused = false;
};
