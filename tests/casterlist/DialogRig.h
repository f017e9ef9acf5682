#pragma once

#include "ProgramTemplates.h"
#include "ScriptedHost.h"
#include "TempDir.h"

#include "layout/TemplateLibrary.h"
#include "platform/AtomicFile.h"
#include "store/CasterStore.h"
#include "ui/Dialog.h"
#include "ui/TemplateSource.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace tessadorn::test {

inline CasterEntry caster(const std::string& name, const std::string& tessadorn = "0",
                          const std::string& vntrip = "1") {
    return {name, name + ".example", "2101", name + "-user", name + "-pw", tessadorn, vntrip};
}

// The caster list dialogs against a store in a fresh folder, driven by a script; the dialog
// under test is opened from a root dialog of the same host, as the main dialog opens them.
class DialogRig : public ::testing::Test {
  protected:
    void SetUp() override { host.setScreenSize(320, 240); }

    // `n` casters named c0, c1, ...; the current one is `server` (hasCurrent set).
    void fill(int n, const std::string& server = "0") {
        std::lock_guard lock(store.mutex());
        for (int i = 0; i < n; ++i)
            store.entries[static_cast<std::size_t>(i)] = caster("c" + std::to_string(i));
        store.count = n;
        store.hasCurrent = true;
        store.server = server;
        store.user = "u";
        store.password = "p";
    }

    std::string saved() const { return readBytes(store.path()); }
    bool savedExists() const { return fileMode(store.path()) >= 0; }

    TempDir dir;
    TemplateSet templates = programTemplates();
    ScriptedHost host{templates};
    AtomicFile writer;
    CasterStore store{dir.file("ntripcfg.txt"), writer};
    Dialog root{host, 0};
};

// The file as the caster list writes it, built line by line: the current section as given
// (from "<current>" to its closing tag, line ends included) and the casters.
inline std::string listFile(const std::string& current, const std::vector<CasterEntry>& casters) {
    std::string f = "<config>\r\n" + current + "<servers>\r\n";
    int num = 0;
    for (const auto& e : casters) {
        f += "<sv num=" + std::to_string(num++) + ">\r\n";
        f += "<name>" + e.name + "</name>\r\n<ip>" + e.ip + "</ip>\r\n<port>" + e.port +
             "</port>\r\n<user>" + e.user + "</user>\r\n<Password>" + e.Password +
             "</Password>\r\n<Tessadorn>" + e.Tessadorn.text() + "</Tessadorn>\r\n<vntrip>" +
             e.vntrip.text() + "</vntrip>\r\n</sv>\r\n";
    }
    return f + "</servers>\r\n</config>\r\n";
}

// A current section with the caster `server` and its credentials, no APN block.
inline std::string currentSection(const std::string& server, const std::string& auth,
                                  const std::string& user, const std::string& password) {
    return "<current>\r\n<server>" + server + "</server>\r\n<auth value=\"" + auth +
           "\">\r\n<user>" + user + "</user>\r\n<password>" + password +
           "</password>\r\n</auth>\r\n<carrier value=\"no\"></carrier>\r\n"
           "<AutoConnection></AutoConnection>\r\n</current>\r\n";
}

inline const std::string kNoCurrent = "<current></current>\r\n";

} // namespace tessadorn::test
