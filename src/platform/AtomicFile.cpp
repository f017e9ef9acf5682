#include "platform/AtomicFile.h"

#include "platform/DebugOutput.h"

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
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

bool writeAll(QSaveFile& file, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.data() + done, static_cast<qint64>(bytes.size() - done));
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// "<name>.XXXXXX": the name of a save's temporary copy of `name`.
bool isSaveCopyName(std::string_view entry, std::string_view name) {
    constexpr std::size_t kRandom = 6;
    if (entry.size() != name.size() + 1 + kRandom || entry.substr(0, name.size()) != name ||
        entry[name.size()] != '.')
        return false;
    for (const char c : entry.substr(name.size() + 1))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
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
    while (const dirent* entry = ::readdir(dir))
        if (isSaveCopyName(entry->d_name, name))
            candidates.push_back((slash == std::string::npos ? "" : folder) + entry->d_name);
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

    QSaveFile file(toQPath(path));
    const auto fail = [&](const QString& why) {
        reason = why.isEmpty() ? std::string("the file could not be written") : why.toStdString();
        file.cancelWriting();
        return false;
    };
    // Unbuffered: every write reaches the system at once, so a full disk fails the write here
    // instead of a flush inside commit(), which would still rename the short file into place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(file.errorString());
    if (mode != kKeepMode && !file.setPermissions(permissionsFromMode(mode)))
        return fail(file.errorString());
    const bool commitFails = faultAt && fault == Fault::CommitError;
    if (faultAt && !commitFails && *faultAt <= bytes.size()) {
        const bool written = writeAll(file, bytes.substr(0, *faultAt));
        if (fault == Fault::Crash) {
            file.flush();
            std::_Exit(3);
        }
        (void)written;
        return fail(QStringLiteral("No space left on device"));
    }
    if (!writeAll(file, bytes) || !file.flush()) return fail(file.errorString());
    // The bytes are on the disk before the name moves over (a file system that delays its
    // blocks may only find out now that it has no room).
    if (::fsync(file.handle()) != 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    // An injected commit failure: the bytes are all there, but the commit does not go through.
    if (commitFails) file.cancelWriting();
    if (file.commit()) return true;
    reason = file.errorString().isEmpty() ? std::string("the file could not be written")
                                          : file.errorString().toStdString();
    return false;
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
