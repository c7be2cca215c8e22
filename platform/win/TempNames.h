#pragma once
// Temporary files are made beside their target under a name built from the target's own: that name is
// cut, at a whole UTF-8 character, so that the temporary name still fits the file system's limit.
#include <signal.h>

#include <climits>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace win {

// The signals whose default action ends the process, from outside it (a kill, a closed terminal,
// Ctrl-C or Ctrl-\, a timer, a limit reached): SIGPIPE and SIGXFSZ among them. The faults of the
// program itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT...) are not: nothing can be trusted then.
const std::vector<int>& endingSignals();
// Holds those signals back on this thread while it lives: a file made and noted under it is known to
// the handler of any signal that ends the process, never made a moment before it is known.
class EndingSignalsHeld {
public:
    EndingSignalsHeld();
    ~EndingSignalsHeld();
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t before_;
};

// The file name cut so that `extra` more bytes (a prefix, a suffix, mkstemp's six characters) still fit.
inline std::string nameForTemporary(std::string name, std::size_t extra) {
    if (name.size() + extra <= NAME_MAX) return name;
    std::size_t keep = extra < NAME_MAX ? NAME_MAX - extra : 0;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    name.resize(keep);
    return name;
}

// The folder of a native path ("." for a bare name, "/" at the root) and its last part.
std::string folderOf(const std::string& path);
std::string nameOf(const std::string& path);

// What a file that is no regular file is, in the user's words ("it is a named pipe, not a file");
// empty for a regular file. `mode` is a stat mode.
std::string notAFile(unsigned mode);
// The file a write of `target` (a native path) replaces: its symbolic links followed, so that they stay
// and lead to the new file. The file need not exist yet (a dangling link names the file to make).
// Empty, with errno ELOOP and `why` in the user's words, when the links go round in a circle or are
// more than any path may pass through; with EACCES where the kernel's rule for shared folders would not
// follow a link (one of another user in a sticky folder everyone may write, not the folder owner's).
std::string linkedFile(const std::string& target, std::string* why = nullptr);
// Why no read may take `file` (a native path, links followed): only a regular file is read, so that a
// named pipe (which waits for a writer), a device (which may never end) or a folder is refused at once
// rather than waited on. Empty when it may be read or does not exist; `error` is then untouched, else
// the errno that goes with the reason (EISDIR, EACCES).
std::string readRefusal(const std::string& file, int& error);
// Why no write may replace or write into `file` (a native path, links followed): a folder, a device,
// a named pipe or a socket is no file (what no read may take, no write may replace either), a file the
// host holds (an open drawing's) is its own, and a file without any write permission is read-only to
// every user, root too, as on the host platform. Empty when it may be written or does not exist; `error`
// is then untouched, else the errno that goes with the reason (EISDIR, EACCES). Every refusal is counted
// (refusedWrites).
std::string writeRefusal(const std::string& file, int& error);
// Why a path given for a file to write names none: it ends in a folder separator ("\\" or "/"), "." or
// "..", or its name ends in a dot or a blank (which Windows drops). Counted as a refused write; empty when
// it names a file.
std::string nameRefusal(const std::wstring& path);
// The host's say on which files are its own ("it is the file of the open drawing X"), asked by
// writeRefusal whether the file exists or not; empty: not held. Null: none are.
void setHeldFileCheck(std::function<std::string(const std::string& file)> check);
// How many writes writeRefusal has refused in this process, and the last one: a command during which
// one was refused has failed.
struct RefusedWrite {
    std::wstring file; // as Windows names it
    std::string why;
};
std::size_t refusedWrites();
RefusedWrite lastRefusedWrite();

// The temporaries a write of a file goes through are ".~NAME.XXXXXX" beside it (NAME cut to fit): the
// prefix for a file name.
std::string temporaryPrefix(const std::string& fileName);
// Makes the temporary for a write of `target` (a native path, its links followed: see linkedFile), marked
// with its maker and held locked while the descriptor is open, so that no sweep takes a write in progress
// nor a file no writer of ours made: the descriptor, or -1 with errno set. A target no write may replace
// (writeRefusal) is refused here, so that every writer renaming its temporary over its target refuses it
// alike; `refusal`, when given, gets the reason in the user's words.
int makeTemporary(const std::string& target, std::string& temp, std::string* refusal = nullptr);
// Says that the temporary from makeTemporary is renamed or removed: no write is in progress there.
void temporaryDone(const std::string& temp);
// A new descriptor of the temporary of this process's own at `file` (a native path) while it is written,
// at the file's start; -1 when `file` is none. A writer handed a temporary by name writes through the
// descriptor it was made with: nothing put at that name since is opened or followed.
int temporaryBeingWritten(const std::string& file);
// Removes the temporary `temp`, written through `fd`, only while its name still holds that file: a file
// put at its name by another program is not ours to remove.
void removeTemporary(int fd, const std::string& temp);
// The permissions a new file gets from this process: 0666 less its umask.
unsigned newFileMode();
// Puts the temporary `temp` (from makeTemporary, written through `fd`) in the place of `target`, in the
// folder it was made in and only while its name holds the file written; a target put there meanwhile is
// not replaced when `noReplace`. The file placed carries no temporary's mark, and the owner, group and
// permissions of the file it replaces as far as this user may give them; where a user who could write
// that file could not write the new one, or the folder lets only the file's owner replace it (its sticky
// bit), the file is written in place instead, so that it keeps them all. False with `why` (the user's
// words) and errno set when nothing of this write is at the target's name.
bool placeTemporary(int fd, const std::string& temp, const std::string& target, bool noReplace, std::string& why);

// Removes the temporaries of the writes in progress, and the files noted with removedAtEndingSignal, for a
// signal that ends the process: safe in a signal handler.
void removeTemporariesInProgress();
// Notes another file of this process's own (a session's lock file) that such a signal removes, until
// temporaryDone says it is gone. Make the file and note it under EndingSignalsHeld.
void removedAtEndingSignal(const std::string& file);
// Removes the temporaries that killed writes left in the folder of `target`: files of that name form, of
// this user, that carry the mark makeTemporary gives each temporary (its maker: machine, boot, process)
// with a maker shown gone, and that nobody holds. A file a user keeps under such a name (".~plan.dxf.backup")
// carries no mark and stays, as does another user's and one a process of another machine made.
void removeStaleTemporaries(const std::string& target);

// Held while a writer checks a file it is to replace and renames its temporary over it: of two writers
// replacing one file at once, the later checks after the earlier's rename, never between its check and
// its rename. The lock is on the file's folder (a file not made yet has nothing else to lock) and on
// the file there now (a folder a user may write but not read cannot be locked). It is held for a moment
// only, so a lock another program keeps for seconds is given up on (held() false, with why()).
class ReplaceLock {
public:
    explicit ReplaceLock(const std::string& target);
    ~ReplaceLock();
    ReplaceLock(const ReplaceLock&) = delete;
    ReplaceLock& operator=(const ReplaceLock&) = delete;
    bool held() const { return why_.empty(); }
    const std::string& why() const { return why_; }
    // Lets go of the lock early; the folder stays open (its descriptor, for an fsync).
    void release();
    int folder() const { return folder_; }

private:
    int folder_ = -1, file_ = -1;
    std::string why_;
};

} // namespace win
