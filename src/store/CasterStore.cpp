#include "store/CasterStore.h"

#include "store/CasterFileReader.h"
#include "store/CasterFileWriter.h"
#include "store/CasterMerge.h"

#include "platform/DebugOutput.h"
#include "platform/FileLock.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace tessadorn {

namespace {

// The whole file; false when it cannot be opened or read, with the reason in `why`. Never
// throws: a folder or an unreadable file in place of the list is a failed load.
bool readWholeFile(const std::string& path, std::string& bytes, std::string& why) {
    bytes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        why = std::strerror(errno);
        return false;
    }
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, n);
    const bool failed = std::ferror(file) != 0;
    if (failed) why = std::strerror(errno);
    std::fclose(file);
    return !failed;
}

bool isNonEmptyFile(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size > 0;
}

} // namespace

CasterStore::CasterStore(std::string path, FileWriter& writer)
    : m_Path(std::move(path)), m_Writer(writer), m_Base(std::make_unique<CasterDocument>()) {}

CasterStore::~CasterStore() = default;

CasterStore::FileHold::FileHold(CasterStore& store) : m_Store(store) {
    std::lock_guard lock(store.m_Mutex);
    if (store.m_Holds++ == 0) {
        store.m_Lock = std::make_unique<FileLock>(store.lockPath());
        if (!store.m_Lock->held())
            debugLine(store.lockPath() + ": cannot be locked (" + store.m_Lock->reason() +
                      "), the caster list is saved unguarded\r\n");
    }
}

CasterStore::FileHold::~FileHold() {
    std::lock_guard lock(m_Store.m_Mutex);
    if (--m_Store.m_Holds == 0) m_Store.m_Lock.reset();
}

void CasterStore::remember(std::string bytes) {
    *m_Base = *this;
    m_DiskBytes = std::move(bytes);
}

bool CasterStore::absorbDisk(bool& changed, std::string& reason) {
    changed = false;
    std::string bytes, why;
    if (!readWholeFile(m_Path, bytes, why) || bytes == m_DiskBytes) return true;
    CasterDocument theirs;
    if (!CasterFileReader(bytes).read(theirs)) {
        // Broken by a hand edit since: this store's list is written, the file is kept first.
        if (!m_BackupPending && !bytes.empty())
            debugLine(m_Path + ": changed by another program and cannot be read; it is kept as " +
                      backupPath() + " at the next save\r\n");
        m_BackupPending = m_BackupPending || !bytes.empty();
        return true;
    }
    CasterDocument merged;
    std::vector<CasterConflict> conflicts;
    const bool fits = mergeCasterLists(*m_Base, *this, theirs, merged, conflicts);
    if (!fits) {
        reason = "with the casters saved meanwhile by another program the list would hold more "
                 "than " +
                 std::to_string(kMaxEntries) + " casters";
        return false;
    }
    debugLine(m_Path + ": changed by another program, its list taken\r\n");
    for (const CasterConflict& c : conflicts) {
        debugLine(m_Path + ": " + c.message() + "\r\n");
        m_Conflicts.push_back(c);
    }
    changed = !(static_cast<const CasterDocument&>(merged).entries ==
                    static_cast<const CasterDocument&>(*this).entries &&
                merged.count == count && merged.server == server);
    static_cast<CasterDocument&>(*this) = merged;
    *m_Base = theirs;
    m_DiskBytes = std::move(bytes);
    // The disk's list reads back: a damage seen earlier is gone with it.
    m_BackupPending = false;
    return true;
}

std::vector<CasterConflict> CasterStore::takeConflicts() {
    std::lock_guard lock(m_Mutex);
    return std::exchange(m_Conflicts, {});
}

void CasterStore::hidePasswordsInDebug() const {
    std::lock_guard lock(m_Mutex);
    for (int i = 0; i < count && i < kMaxEntries; ++i)
        hideInDebug(deviceToUtf8(entries[static_cast<std::size_t>(i)].Password));
    for (const std::string* secret : {&password, &carrierPassword})
        hideInDebug(deviceToUtf8(*secret));
}

bool CasterStore::refresh() {
    std::lock_guard lock(m_Mutex);
    FileHold hold(*this);
    bool changed = false;
    std::string reason;
    absorbDisk(changed, reason);
    return changed;
}

bool CasterStore::Load() {
    std::lock_guard lock(m_Mutex);
    FileHold hold(*this);
    reset();
    m_Writer.createIfMissing(m_Path, kFileMode);
    std::string bytes, why;
    if (!readWholeFile(m_Path, bytes, why)) {
        debugLine(m_Path + ": cannot be read (" + why + "), the caster list starts empty\r\n");
        m_BackupPending = isNonEmptyFile(m_Path);
        remember({});
        return false;
    }
    CasterFileReader reader(bytes);
    const bool complete = reader.read(*this);
    remember(bytes);
    if (reader.droppedAny())
        debugLine(m_Path + ": more casters or longer values than the list holds; the file is " +
                  "kept as " + backupPath() + " at the next save\r\n");
    m_BackupPending = (!complete || reader.droppedAny()) && !bytes.empty();
    return complete;
}

// Copies the file that failed to load to the backup; false when it exists but cannot be
// copied, in which case it must not be overwritten.
bool CasterStore::keepBackup(std::string& reason) {
    std::string original, why;
    if (!readWholeFile(m_Path, original, why)) {
        if (!isNonEmptyFile(m_Path)) return true;
        reason = "the damaged list could not be read to keep a copy of it (" + why + ")";
        return false;
    }
    if (original.empty()) return true;
    if (m_Writer.replaceExplained(backupPath(), original, kFileMode, reason)) return true;
    reason = "the damaged list could not be kept in " + backupPath() + ": " + reason;
    return false;
}

bool CasterStore::Save() {
    std::string reason;
    return Save(reason);
}

bool CasterStore::Save(std::string& reason) {
    std::lock_guard lock(m_Mutex);
    FileHold hold(*this);
    reason.clear();
    if (bool changed = false; !absorbDisk(changed, reason)) {
        debugLine(m_Path + ": not saved, " + reason + "\r\n");
        return false;
    }
    // Never a file that would not load back the same.
    if (const std::string field = fieldTheFileCannotCarry(); !field.empty()) {
        reason = "the " + field + " holds a \"<\" or is longer than the file carries";
        debugLine(m_Path + ": not saved, " + reason + "\r\n");
        return false;
    }
    if (m_BackupPending) {
        if (!keepBackup(reason)) {
            debugLine(m_Path + ": not saved, its backup " + backupPath() +
                      " could not be written: " + reason + "\r\n");
            return false;
        }
        m_BackupPending = false;
    }
    std::string bytes = CasterFileWriter::write(*this);
    if (m_Writer.replaceExplained(m_Path, bytes, kFileMode, reason)) {
        remember(std::move(bytes));
        return true;
    }
    debugLine(m_Path + ": could not be written: " + reason + "\r\n");
    return false;
}

int CasterStore::currentIndex() const {
    std::lock_guard lock(m_Mutex);
    if (count <= 0) return 0;
    return std::clamp(server.value(), 0, count - 1);
}

bool CasterStore::serverInList() const {
    std::lock_guard lock(m_Mutex);
    return server.value() >= 0 && server.value() < count;
}

CasterEntry CasterStore::current() const {
    std::lock_guard lock(m_Mutex);
    // A number past the list or below 0 (a hand-edited file) names no caster: the entry reads
    // as empty.
    if (count <= 0 || !serverInList()) return CasterEntry{};
    return entries[static_cast<std::size_t>(currentIndex())];
}

} // namespace tessadorn
