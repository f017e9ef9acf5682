#include "platform/AtomicFile.h"

#include "platform/DebugOutput.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessadorn {

namespace {

QString toQPath(const std::string& path) {
    return QString::fromStdString(path);
}

QFileDevice::Permissions permissionsFromMode(int mode) {
    QFileDevice::Permissions p;
    if (mode & 0400) p |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & 0200) p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & 0100) p |= QFileDevice::ExeOwner | QFileDevice::ExeUser;
    if (mode & 0040) p |= QFileDevice::ReadGroup;
    if (mode & 0020) p |= QFileDevice::WriteGroup;
    if (mode & 0010) p |= QFileDevice::ExeGroup;
    if (mode & 0004) p |= QFileDevice::ReadOther;
    if (mode & 0002) p |= QFileDevice::WriteOther;
    if (mode & 0001) p |= QFileDevice::ExeOther;
    return p;
}

// The copies only this program writes: "<name>.tessadorn-<process>-<number>". The process id
// tells whose copy it is, so a start never takes the copy of a save still running elsewhere.
constexpr std::string_view kCopyMark = ".tessadorn-";

bool allDigits(std::string_view text) {
    if (text.empty() || text.size() > 10) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// The process whose save left `entry` (a copy of `name`), or 0 when it is no such copy.
pid_t copyOwner(std::string_view entry, std::string_view name) {
    if (entry.size() <= name.size() + kCopyMark.size() || entry.substr(0, name.size()) != name ||
        entry.substr(name.size(), kCopyMark.size()) != kCopyMark)
        return 0;
    const std::string_view rest = entry.substr(name.size() + kCopyMark.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || !allDigits(rest.substr(0, dash)) ||
        !allDigits(rest.substr(dash + 1)))
        return 0;
    const long pid = std::strtol(std::string(rest.substr(0, dash)).c_str(), nullptr, 10);
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

bool processRuns(pid_t pid) {
    return pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH;
}

std::string systemReason(int error) {
    return std::strerror(error);
}

// The copies this process's saves are writing now, for a signal that ends the program while one
// is written: a few slots of fixed size, as a handler may not allocate or lock. A slot is
// taken (Writing), its name written and then made Ready; a handler removes the Ready ones.
enum CopySlotState : int { kSlotFree, kSlotWriting, kSlotReady };
constexpr int kCopySlots = 16;
struct CopySlot {
    std::atomic<int> state{kSlotFree};
    char path[PATH_MAX] = {};
};
CopySlot g_CopySlots[kCopySlots];

// Notes `copy` as being written; the slot to give back, or -1 when the name does not fit or
// every slot is in use (the copy is then only removed by the next start).
int noteCopyInFlight(const std::string& copy) {
    if (copy.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kCopySlots; ++i) {
        int expected = kSlotFree;
        if (!g_CopySlots[i].state.compare_exchange_strong(expected, kSlotWriting)) continue;
        std::memcpy(g_CopySlots[i].path, copy.c_str(), copy.size() + 1);
        g_CopySlots[i].state.store(kSlotReady);
        return i;
    }
    return -1;
}

void forgetCopyInFlight(int slot) {
    if (slot >= 0) g_CopySlots[slot].state.store(kSlotFree);
}

extern "C" void removeCopiesAndEnd(int signal) {
    AtomicFile::removeCopiesInFlight();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// The file a save replaces: the target of a symbolic link, else the path itself.
std::string finalPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

} // namespace

std::vector<std::string> AtomicFile::removeLeftoverCopies(const std::string& path) {
    std::vector<std::string> removed;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return removed;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t owner = copyOwner(entry->d_name, name);
        if (owner != 0 && !processRuns(owner))
            candidates.push_back((slash == std::string::npos ? "" : folder) + entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& copy : candidates) {
        struct stat st {};
        if (::lstat(copy.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid())
            continue;
        if (::unlink(copy.c_str()) == 0) {
            debugLine(copy + ": removed, a copy left by an interrupted save of " + path + "\r\n");
            removed.push_back(copy);
        } else {
            debugLine(copy + ": a copy left by an interrupted save, cannot be removed: " +
                      std::strerror(errno) + "\r\n");
        }
    }
    return removed;
}

void AtomicFile::removeCopiesInFlight() {
    for (CopySlot& slot : g_CopySlots)
        if (slot.state.load() == kSlotReady) ::unlink(slot.path);
}

void AtomicFile::removeCopiesOnTermination() {
    struct sigaction action {};
    action.sa_handler = removeCopiesAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGHUP}) {
        struct sigaction old {};
        // A signal the program was told to ignore stays ignored.
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

std::string AtomicFile::copyName(const std::string& path) {
    static std::atomic<unsigned> next{0};
    return path + std::string(kCopyMark) + std::to_string(::getpid()) + "-" +
           std::to_string(next++);
}

bool AtomicFile::replace(const std::string& path, std::string_view bytes, int mode) {
    std::string reason;
    return replaceExplained(path, bytes, mode, reason);
}

bool AtomicFile::replaceExplained(const std::string& path, std::string_view bytes, int mode,
                                  std::string& reason) {
    reason.clear();
    std::optional<std::size_t> faultAt;
    Fault fault;
    {
        std::lock_guard lock(m_Mutex);
        faultAt = m_FaultAt;
        fault = m_Fault;
    }
    const bool writeFault = faultAt && fault == Fault::WriteError;

    const std::string target = finalPath(path);
    // The mode asked for, else the old file's, else the system's default for a new file.
    int finalMode = mode;
    if (struct stat st{}; mode == kKeepMode && ::stat(target.c_str(), &st) == 0)
        finalMode = static_cast<int>(st.st_mode & 07777);
    std::string copy;
    int fd = -1;
    int slot = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        copy = copyName(target);
        // Noted before it exists, so that no moment leaves it unknown to a signal.
        forgetCopyInFlight(slot);
        slot = noteCopyInFlight(copy);
        fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    finalMode == kKeepMode ? 0666 : 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    // Once the copy is gone or renamed, a signal has nothing to remove.
    struct SlotRelease {
        int slot;
        ~SlotRelease() { forgetCopyInFlight(slot); }
    } release{slot};
    if (fd < 0) {
        reason = systemReason(errno);
        return false;
    }
    const auto fail = [&](int error) {
        reason = systemReason(error);
        ::close(fd);
        ::unlink(copy.c_str());
        return false;
    };
    if (finalMode != kKeepMode && ::fchmod(fd, static_cast<mode_t>(finalMode)) != 0)
        return fail(errno);

    // Every byte goes to the system at once, so a full disk fails the write that meets it.
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t chunk = bytes.size() - done;
        const bool ends = fault == Fault::Crash || fault == Fault::Terminate;
        if ((writeFault || ends) && faultAt && *faultAt <= bytes.size()) {
            if (done >= *faultAt) {
                if (fault == Fault::Terminate) ::raise(SIGTERM);
                if (ends) std::_Exit(3); // the copy stays, as after a crash
                return fail(ENOSPC);
            }
            chunk = std::min(chunk, *faultAt - done);
        }
        const ssize_t n = ::write(fd, bytes.data() + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    if (faultAt && fault == Fault::Crash && *faultAt <= bytes.size()) std::_Exit(3);
    // The bytes are on the disk before the name moves over: a file system that delays its
    // blocks may only find out now that it has no room. An injected write fault that every
    // byte came before fails here, as such a disk does.
    const bool syncFault =
        (writeFault && *faultAt == bytes.size()) || (faultAt && fault == Fault::SyncError);
    if ((syncFault ? (errno = ENOSPC, -1) : ::fsync(fd)) != 0) return fail(errno);
    if (::close(fd) != 0) {
        fd = -1;
        const int error = errno;
        ::unlink(copy.c_str());
        reason = systemReason(error);
        return false;
    }
    fd = -1;
    if (faultAt && fault == Fault::CommitError) {
        ::unlink(copy.c_str());
        reason = systemReason(EIO);
        return false;
    }
    if (::rename(copy.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(copy.c_str());
        reason = systemReason(error);
        return false;
    }
    // The new name on the disk too.
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    if (const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool AtomicFile::createIfMissing(const std::string& path, int mode) {
    QFile file(toQPath(path));
    if (file.exists()) return true;
    const bool created = mode == kKeepMode ? file.open(QIODevice::WriteOnly | QIODevice::NewOnly)
                                           : file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                                                       permissionsFromMode(mode));
    if (created) return true;
    return QFile::exists(toQPath(path));
}

void AtomicFile::injectFault(std::optional<std::size_t> atByte, Fault fault) {
    std::lock_guard lock(m_Mutex);
    m_FaultAt = atByte;
    m_Fault = fault;
}

AtomicFile& AtomicFile::standard() {
    static AtomicFile writer;
    return writer;
}

} // namespace tessadorn
