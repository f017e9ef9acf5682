#include "store/CasterStore.h"

#include "store/CasterFileReader.h"
#include "store/CasterFileWriter.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tessadorn {

namespace {

// The whole file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool isNonEmptyFile(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size > 0;
}

} // namespace

CasterStore::CasterStore(std::string path, FileWriter& writer)
    : m_Path(std::move(path)), m_Writer(writer) {}

bool CasterStore::Load() {
    std::lock_guard lock(m_Mutex);
    reset();
    m_Writer.createIfMissing(m_Path, kFileMode);
    std::string bytes;
    if (!readWholeFile(m_Path, bytes)) {
        m_BackupPending = isNonEmptyFile(m_Path);
        return false;
    }
    const bool complete = CasterFileReader(bytes).read(*this);
    m_BackupPending = !complete && !bytes.empty();
    return complete;
}

// Copies the file that failed to load to the backup; false when it exists but cannot be
// copied, in which case it must not be overwritten.
bool CasterStore::keepBackup(std::string& reason) {
    std::string original;
    if (!readWholeFile(m_Path, original)) {
        if (!isNonEmptyFile(m_Path)) return true;
        reason = "the damaged list could not be read to keep a copy of it";
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
    reason.clear();
    if (m_BackupPending) {
        if (!keepBackup(reason)) return false;
        m_BackupPending = false;
    }
    return m_Writer.replaceExplained(m_Path, CasterFileWriter::write(*this), kFileMode, reason);
}

int CasterStore::currentIndex() const {
    std::lock_guard lock(m_Mutex);
    long long index = 0;
    for (char c : server) {
        if (c < '0' || c > '9') break;
        index = index * 10 + (c - '0');
        if (index >= kMaxEntries) break;
    }
    if (count <= 0) return 0;
    return static_cast<int>(std::min<long long>(index, count - 1));
}

CasterEntry CasterStore::current() const {
    std::lock_guard lock(m_Mutex);
    if (count <= 0) return CasterEntry{};
    return entries[static_cast<std::size_t>(currentIndex())];
}

} // namespace tessadorn
