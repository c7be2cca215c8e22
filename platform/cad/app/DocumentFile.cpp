#include "cad/app/DocumentFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>

#include "win/Paths.h"
#include "win/TempNames.h"

namespace docfile {

namespace {

constexpr std::size_t kNameMax = NAME_MAX;

std::uint64_t littleEndian(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

std::uint64_t finalMix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

} // namespace

void ContentHash::mix(std::uint64_t word) {
    word *= 0x87C37B91114253D5ull;
    word = std::rotl(word, 31) * 0x4CF5AD432745937Full;
    state_ = std::rotl(state_ ^ word, 27) * 5 + 0x52DCE729;
}

void ContentHash::add(std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    unsigned have = static_cast<unsigned>(size_ % 8);
    size_ += n;
    // A word begun by the last piece is finished first.
    for (; have != 0 && n > 0; ++p, --n) {
        tail_ |= std::uint64_t(static_cast<unsigned char>(*p)) << (8 * have);
        if (++have == 8) {
            mix(tail_);
            tail_ = 0;
            have = 0;
        }
    }
    for (; n >= 8; p += 8, n -= 8) mix(littleEndian(p));
    for (std::size_t i = 0; i < n; ++i) tail_ |= std::uint64_t(static_cast<unsigned char>(p[i])) << (8 * i);
}

std::uint64_t ContentHash::value() const {
    std::uint64_t h = state_;
    if (size_ % 8 != 0) h = std::rotl(h ^ (tail_ * 0x87C37B91114253D5ull), 31) * 0x4CF5AD432745937Full;
    return finalMix(h ^ size_);
}

FileContents contentsOf(const std::string& file, std::string_view bytes) {
    ContentHash hash;
    hash.add(bytes);
    return {file, hash.size(), hash.value()};
}

namespace {

// The stamp of what stat says of the path (left in `st`); errno says why it is not known.
FileStamp stamped(const std::string& path, struct stat& st) {
    FileStamp stamp;
    if (::stat(path.c_str(), &st) != 0) {
        stamp.known = errno == ENOENT || errno == ENOTDIR;
        return stamp;
    }
    stamp.known = stamp.exists = true;
    stamp.device = static_cast<unsigned long long>(st.st_dev);
    stamp.file = static_cast<unsigned long long>(st.st_ino);
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.mode = st.st_mode & 07777;
    stamp.seconds = static_cast<long long>(st.st_mtim.tv_sec);
    stamp.nanoseconds = st.st_mtim.tv_nsec;
    return stamp;
}

} // namespace

FileStamp stampOf(const std::string& path) {
    struct stat st {};
    return stamped(path, st);
}

namespace {

// The hash of what the file holds now; nothing when it cannot be read whole.
std::optional<ContentHash> hashOf(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    ContentHash hash;
    char buffer[1 << 16];
    bool read = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) read = false;
        if (n <= 0) break;
        hash.add(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
    ::close(fd);
    if (!read) return std::nullopt;
    return hash;
}

} // namespace

bool changedSince(const FileContents& recorded, FileStamp* seen) {
    if (seen) *seen = {};
    if (recorded.file.empty()) return false;
    // Taken before the bytes are read: a write while they are read leaves the file another stamp.
    struct stat st {};
    const FileStamp stamp = stamped(recorded.file, st);
    if (seen) *seen = stamp;
    if (!stamp.exists || !S_ISREG(st.st_mode)) return false;
    if (stamp.size != recorded.size) return true;
    const std::optional<ContentHash> now = hashOf(recorded.file);
    if (!now) return false;
    if (seen) seen->hashed = true, seen->hash = now->value();
    return now->size() != recorded.size || now->value() != recorded.hash;
}

std::string writeErrorText(int error) {
    switch (error) {
        case ENOSPC:
            return "the disk is full";
        case EDQUOT:
            return "the disk quota is used up";
        case EACCES:
        case EPERM:
            return "permission denied";
        case ENAMETOOLONG:
            return "the file name is too long";
        case EROFS:
            return "the disk is read-only";
        case EFBIG:
            return "the file would grow past the largest size allowed";
        case ENOENT:
        case ENOTDIR:
            return "the folder does not exist";
        case ELOOP:
            return "its symbolic links go round in a circle";
        case EIO:
            return "the disk reported an input/output error";
        default: {
            std::string s = std::strerror(error);
            if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z' && !(s.size() > 1 && s[1] >= 'A' && s[1] <= 'Z'))
                s[0] = static_cast<char>(s[0] - 'A' + 'a');
            return s;
        }
    }
}

bool readRegularFile(const std::string& path, std::string& bytes, std::string& why, bool* noMemory) {
    if (noMemory) *noMemory = false;
    // Not blocking on open: a named pipe with no writer would wait for ever.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        int refused = 0;
        why = win::readRefusal(path, refused);
        if (why.empty()) why = error == ENOENT || error == ENOTDIR ? "the file does not exist" : writeErrorText(error);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = win::notAFile(st.st_mode);
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bool ok = true;
    try {
        bytes.clear();
        bytes.reserve(static_cast<std::size_t>(st.st_size));
        char buffer[1 << 16];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                why = "it cannot be read: " + writeErrorText(errno);
                ok = false;
                break;
            }
            if (n == 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        why = "it is too large to read into memory";
        if (noMemory) *noMemory = true;
        ok = false;
    } catch (const std::length_error&) {
        why = "it is too large to read into memory";
        ok = false;
    }
    ::close(fd);
    if (!ok) bytes.clear();
    return ok;
}

bool Replacement::unchangedSince(const FileStamp& expected, bool& none) const {
    if (!expected.known) return true;
    const FileStamp now = stampOf(real_);
    none = now.known && !now.exists;
    // A file removed meanwhile is put back: it is the drawing this session holds.
    if (!now.known || !now.exists || now.sameWrite(expected)) return true;
    // Written again with the same bytes (a touch): nothing of anyone's is lost.
    if (!expected.hashed || !now.sameFile(expected)) return false;
    const std::optional<ContentHash> bytes = hashOf(real_);
    return bytes && bytes->size() == expected.size && bytes->value() == expected.hash;
}

Replacement::~Replacement() {
    abandon();
}

bool Replacement::fail(const std::string& reason) {
    why_ = reason;
    abandon();
    return false;
}

void Replacement::abandon() {
    if (!temp_.empty()) {
        win::removeTemporary(fd_, temp_);
        temp_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    into_ = false;
}

bool Replacement::open(const std::string& target) {
    abandon();
    why_.clear();
    hash_ = ContentHash();
    // A temporary this process is writing (a staged output's, handed over by its name) is written through
    // the descriptor it was made with: what stands at its name now is never opened, nor its links followed.
    if (const int into = win::temporaryBeingWritten(target); into >= 0) {
        if (::ftruncate(into, 0) != 0) {
            const int error = errno;
            ::close(into);
            return fail(writeErrorText(error));
        }
        real_ = target;
        fd_ = into;
        into_ = true;
        opened_ = since_ = {};
        keepMeanwhile_ = false;
        return true;
    }
    std::string loop;
    real_ = win::linkedFile(target, &loop);
    if (real_.empty()) return fail(loop);
    std::string name = win::nameOf(real_);
    if (name.empty()) return fail("it is a folder");
    if (name.size() > kNameMax) return fail(writeErrorText(ENAMETOOLONG));
    struct stat st {};
    opened_ = stamped(real_, st);
    existed_ = opened_.exists;
    const int looked = existed_ ? 0 : errno;
    // Asked also of a name with no file yet: another session may hold it (a SAVEAS under way there).
    int refused = 0;
    if (std::string refusal = win::writeRefusal(real_, refused); !refusal.empty()) return fail(refusal);
    if (existed_) {
        if (::access(real_.c_str(), W_OK) != 0) return fail(writeErrorText(errno));
        mode_ = st.st_mode & 07777;
    } else if (looked != ENOENT) {
        return fail(writeErrorText(looked));
    } else {
        mode_ = since_.mode ? since_.mode : win::newFileMode();
    }
    // Held locked until the file is in place, so that another save does not take it for stale.
    fd_ = win::makeTemporary(real_, temp_);
    if (fd_ < 0) {
        int error = errno;
        // The file itself may be writable: say that it is the folder that is not.
        if (error == EACCES || error == EPERM)
            return fail(writeErrorText(error) + " (no file may be made in its folder)");
        // A folder that is there but takes no files (/proc, say) is not a missing one.
        struct stat folder {};
        if (error == ENOENT && ::stat(win::folderOf(real_).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))
            return fail("no file may be made in its folder");
        return fail(writeErrorText(error));
    }
    return true;
}

bool Replacement::write(std::string_view bytes) {
    if (fd_ < 0) return false;
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(writeErrorText(errno));
        }
        hash_.add(std::string_view(p, static_cast<std::size_t>(n)));
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Replacement::commit() {
    if (fd_ < 0) return false;
    // The disk may take the data only now (delayed allocation, network disks).
    if (::fsync(fd_) != 0) return fail(writeErrorText(errno));
    if (into_) {
        // Its writer places it.
        ::close(fd_);
        fd_ = -1;
        into_ = false;
        return true;
    }
    // A new file's permissions; one replaced keeps its own, with its owner and group (placeTemporary).
    ::fchmod(fd_, static_cast<mode_t>(mode_));
    // Checked and renamed under the folder's lock: another save of the file checks after this rename.
    win::ReplaceLock lock(real_);
    if (!lock.held()) return fail("it cannot be replaced now: " + lock.why());
    const FileStamp& expected = since_.known ? since_ : opened_;
    const std::string made =
        "it was made by another session or program while this save was written; it is left "
        "as it is: SAVEAS another name keeps both";
    bool none = false;
    if (keepMeanwhile_ && !unchangedSince(expected, none))
        return fail(expected.exists ? "it changed on disk since this session read or last saved it (another session "
                                      "or program wrote it while this save was written); it is left as it is: "
                                      "SAVEAS another name keeps both"
                                    : made);
    // Placed while still open and locked: a stale-temporary sweep cannot take it meanwhile. Where no file
    // was, none is replaced: a save whose folder could not be locked may have put one there since. Only the
    // file written here is placed: a save that could not place its own file has failed.
    std::string why;
    if (!win::placeTemporary(fd_, temp_, real_, none, why)) {
        const int error = errno;
        if (none && error == EEXIST && why == "a file was put at its name meanwhile") return fail(made);
        return fail(why.empty() ? writeErrorText(error) : why);
    }
    lock.release();
    temp_.clear();
    // The file is replaced, its bytes on the disk (the fsync above): a close that fails now loses nothing,
    // and the save is not reported failed over a file it did replace.
    ::close(fd_);
    fd_ = -1;
    // The new name must outlive a power cut too.
    if (lock.folder() >= 0) ::fsync(lock.folder());
    win::removeStaleTemporaries(real_);
    return true;
}

} // namespace docfile
