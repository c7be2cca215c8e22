#pragma once
// Reading and writing the files a user names (drawings, plots) so that nothing is lost: only
// regular files are read; a file is written whole beside its target and then renamed over it, so
// a failed or interrupted write leaves the old file as it was. Reasons are in the user's words.
#include <cstdint>
#include <string>
#include <string_view>

namespace docfile {

// A hash of bytes given in pieces, the same however they are cut: what a drawing's file held when it
// was read or written, to tell later whether someone else has written it since.
class ContentHash {
public:
    void add(std::string_view bytes);
    std::uint64_t value() const;
    std::uint64_t size() const { return size_; }

private:
    void mix(std::uint64_t word);
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
    std::uint64_t tail_ = 0;
    std::uint64_t size_ = 0;
};

// What a file held when it was last read or written here.
struct FileContents {
    std::string file; // links followed; empty when nothing is known
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
};
// The record of bytes read from or written to the file.
FileContents contentsOf(const std::string& file, std::string_view bytes);

// Whether a name leads to a file, which, its size and the time of its last write: a file made, written
// or replaced since has another stamp. Not known when the name cannot be looked up.
struct FileStamp {
    bool known = false;
    bool exists = false;
    unsigned long long device = 0, file = 0, size = 0;
    unsigned mode = 0; // its permissions
    long long seconds = 0;
    long nanoseconds = 0;
    // What the file held as the stamp was taken, when its bytes were read then.
    bool hashed = false;
    std::uint64_t hash = 0;
    bool sameFile(const FileStamp& o) const {
        return known == o.known && exists == o.exists && device == o.device && file == o.file && size == o.size;
    }
    bool sameWrite(const FileStamp& o) const {
        return sameFile(o) && seconds == o.seconds && nanoseconds == o.nanoseconds;
    }
};
FileStamp stampOf(const std::string& path);

// Whether the file now holds other bytes than the record says. A file that is gone or cannot be read is
// not taken for changed: a save puts it back, or fails with its own reason. `seen`, when given, gets the
// file's stamp as it was when its bytes were compared: a save replaces the file only while it still
// bears it.
bool changedSince(const FileContents& recorded, FileStamp* seen = nullptr);

// Reads a whole regular file (symbolic links followed). False with the reason when the file is
// missing, unreadable, a folder, or no regular file (a device or a named pipe, which could
// block or never end).
// noMemory, when given, says whether the file was too large for the memory left.
bool readRegularFile(const std::string& path, std::string& bytes, std::string& why, bool* noMemory = nullptr);

// What a failed call's errno means for a file being written ("the disk is full").
std::string writeErrorText(int error);

// A file written in place of a target. The target's symbolic links are followed: the file they
// lead to is replaced and the links stay. The temporary file is ".~NAME.XXXXXX" in the real
// target's folder; it is removed when the write is not committed.
class Replacement {
public:
    Replacement() = default;
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Refuses targets that are no regular files and existing files that may not be written. A temporary
    // this process is writing (win::temporaryBeingWritten) is written into through its own descriptor and
    // left to its writer to place.
    bool open(const std::string& target);
    bool write(std::string_view bytes);
    // Puts the written file in the target's place with the old file's permissions, then removes
    // the temporaries that killed writes of the same target left behind.
    bool commit();
    // From now on a commit refuses a target that another process wrote or replaced after open, or, given
    // the stamp the target bore when it was last found unchanged, since then: of two saves of one drawing
    // at once, the later would drop the earlier's work without a word. A target found gone is made again
    // with the permissions the stamp gives, if any (a drawing moved away keeps its own).
    void keepWritesMeanwhile(const FileStamp& since = {}) {
        keepMeanwhile_ = true;
        since_ = since;
    }
    // Why the last call failed.
    const std::string& why() const { return why_; }
    // The file really replaced (the target with its links followed).
    const std::string& realTarget() const { return real_; }
    // What the committed file holds.
    FileContents written() const { return {real_, hash_.size(), hash_.value()}; }

private:
    bool fail(const std::string& reason);
    void abandon();
    // Whether the target still bears the stamp (or holds the bytes it held then); `none` says whether
    // no file is there now.
    bool unchangedSince(const FileStamp& expected, bool& none) const;

    std::string real_;
    std::string temp_;
    std::string why_;
    int fd_ = -1;
    bool existed_ = false;
    bool into_ = false; // writing a temporary of this process's own, which its writer places
    bool keepMeanwhile_ = false;
    // The target as open found it, and as it was when last found unchanged.
    FileStamp opened_, since_;
    unsigned mode_ = 0644;
    ContentHash hash_;
};

} // namespace docfile
