#pragma once

#include "platform/FileWriter.h"
#include "store/CasterDocument.h"
#include "store/CasterMerge.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tessadorn {

class FileLock;

// The caster list of the program and its file "ntripcfg.txt" (in the folder the program chose
// at start, see platform/ProgramFolder.h).
//
// The fields (inherited from CasterDocument) are public, as every dialog reads and edits them.
//
// Thread safety: the store is shared between the dialog thread and MonitorThread. Load(),
// Save(), currentIndex() and current() take mutex() themselves. Every other reader or writer
// holds mutex() around its accesses, for as long as the fields must agree with each other
// (a whole edit followed by Save(), or reading `server` together with the entry it names).
// The mutex is recursive, so Save() may be called while holding it.
//
// The file is replaced atomically on every save and has mode 0600 (it holds passwords).
// When a load fails on a non-empty file, the next save first copies that file to
// "ntripcfg.txt.bak", so a damaged or hand-edited list is never lost without a trace.
//
// Other processes (a second window, the command line) change the same file. Every save takes
// the advisory lock "ntripcfg.txt.lock" (platform/FileLock.h), reads the file, and when another
// process saved it since this store read or wrote it, applies this store's changes to that list
// (store/CasterMerge.h) before writing: a change made elsewhere is never overwritten by a stale
// copy. A list another program left unreadable is kept as "ntripcfg.txt.bak" before this store's
// list replaces it. A program that reads, changes and saves in one go (the command line) holds the
// lock across all three with holdFile().
class CasterStore : public CasterDocument {
  public:
    static constexpr int kFileMode = 0600;

    // The file at `path`, written through `writer` (which must outlive the store).
    CasterStore(std::string path, FileWriter& writer);

    ~CasterStore();
    CasterStore(const CasterStore&) = delete;
    CasterStore& operator=(const CasterStore&) = delete;

    // Resets the store and reads the file, creating it empty when it does not exist. Returns
    // true when the whole document up to "</config>" was read; after a failure the store keeps
    // what was read before the first wrong byte.
    bool Load();

    // Rewrites the whole file from the store. Returns false when the file could not be written
    // (the old file then stays as it was); the store is never changed. A store holding a value
    // that the file cannot carry back (see fieldTheFileCannotCarry) is not written at all.
    bool Save();
    // As Save(); when it fails, `reason` says why (e.g. "Permission denied").
    bool Save(std::string& reason);

    // Takes the list's lock until the returned hold ends; Load() and Save() inside it run without
    // another process changing the file in between. Nested holds share the one lock.
    class FileHold {
      public:
        explicit FileHold(CasterStore& store);
        ~FileHold();
        FileHold(const FileHold&) = delete;
        FileHold& operator=(const FileHold&) = delete;

      private:
        CasterStore& m_Store;
    };
    FileHold holdFile() { return FileHold(*this); }

    // When another process saved the file since this store read or wrote it, takes its list,
    // with any change of this store not yet saved applied to it. True when the list changed.
    bool refresh();

    // The changes of this store that the last merges could not make, as another program changed
    // the same casters differently (see store/CasterMerge.h); each was written to the debug log.
    // Taking them empties the list.
    std::vector<CasterConflict> takeConflicts();

    // The list's passwords show as "***" in every later debug line (platform/DebugOutput.h).
    void hidePasswordsInDebug() const;

    std::string lockPath() const { return m_Path + ".lock"; }

    // Slot of the current caster: the value of `server` (see decimalValue), kept within
    // 0 .. count - 1 (0 for an empty list).
    int currentIndex() const;
    // True when the value of `server`, not kept within the list, names a caster of the list;
    // false for an empty list, a negative number or a number at or past its end.
    bool serverInList() const;
    // A copy of the current caster; an empty entry when the list is empty or `server` names no
    // caster of it.
    CasterEntry current() const;

    std::recursive_mutex& mutex() const { return m_Mutex; }
    const std::string& path() const { return m_Path; }
    std::string backupPath() const { return m_Path + ".bak"; }

  private:
    bool keepBackup(std::string& reason);
    // Under the file lock: takes what another process saved since (see refresh). False when the
    // merged list would be too long, with the reason.
    bool absorbDisk(bool& changed, std::string& reason);
    void remember(std::string bytes);

    std::string m_Path;
    FileWriter& m_Writer;
    mutable std::recursive_mutex m_Mutex;
    bool m_BackupPending = false;
    // The list as this store last read or wrote it, and those bytes.
    std::unique_ptr<CasterDocument> m_Base;
    std::string m_DiskBytes;
    int m_Holds = 0;
    std::vector<CasterConflict> m_Conflicts;
    std::unique_ptr<FileLock> m_Lock;
};

} // namespace tessadorn
