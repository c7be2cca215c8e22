#pragma once
// A session's hold on a drawing file: a lock file beside the drawing (".NAME.lock") that tells other
// sessions, and the batch, who has it open. The file is held locked while the session lives, so the
// system itself says when its session has gone: a lock nobody holds is stale, and taken over.
#include <optional>
#include <string>

namespace docfile {

// Who holds a drawing, as the lock file says.
struct LockHolder {
    long pid = 0;
    std::string host, user, since;
    // The lock file cannot be read (another user's, made under a strict umask): only its owner is known,
    // and it is taken as held, since nobody can tell that its session has gone.
    bool unreadable = false;
    // The user the lock file names when that is not its owner (`user`): someone else made it.
    std::string claimed;
    // Found holding the file under another of its names: only the process is known (and its user and
    // host when it runs here).
    bool otherName = false;
};
// "process 1234 of alice on host1, since 2026-12-07 18:51:09".
std::string describe(const LockHolder& holder);

// The lock file of a drawing (a native path; its links are followed, so every way to it finds one lock):
// ".NAME.lock", or for a name too long for that, the name cut with a hash of all of it, so that drawings
// whose names differ only past the cut have locks of their own.
std::string lockFileOf(const std::string& drawing);

// The live session, other than this process, that holds the drawing, under this name or another name
// of the same file; nothing when none does.
std::optional<LockHolder> lockHolder(const std::string& drawing);
// The live session, other than this process, that holds the drawing's file under any of its names.
std::optional<LockHolder> fileHolder(const std::string& drawing);

class DrawingLock {
public:
    DrawingLock() = default;
    ~DrawingLock();
    DrawingLock(const DrawingLock&) = delete;
    DrawingLock& operator=(const DrawingLock&) = delete;

    // Takes the lock of the drawing for this process; one whose session has gone is taken over: written
    // anew when this user made it, else removed and made again. Only a file of one name that reads as a
    // lock is taken over. False when another live session holds it (`holder` says who), a file at the
    // lock's name is no lock of ours (left as it is; refusal() names it), or the lock cannot be made
    // (refusal() says why; nothing is said where this user may not write the folder).
    bool take(const std::string& drawing, std::optional<LockHolder>& holder);
    // Why the last take failed when no session was found holding the drawing; empty otherwise.
    const std::string& refusal() const { return refusal_; }
    // Removes the lock file, when it is still this process's.
    void release();
    // Whether this holds the lock of that drawing.
    bool holds(const std::string& drawing) const { return fd_ >= 0 && lock_ == lockFileOf(drawing); }
    // Holds the file now at the drawing's name as well (a save puts a new file there).
    void holdFile(const std::string& drawing);

private:
    std::string lock_, name_; // the lock's path, and its name in the folder `dir_` holds open
    std::string refusal_;
    int fd_ = -1, dir_ = -1;
    int file_ = -1; // the drawing file, held for reading where sessions on its other names find it
};

} // namespace docfile
