#include "OfflineCaster.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tessadorn::sim {
namespace {

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The fields of the STR row for `mountpoint` (field 0 is "STR"), empty when there is none.
std::vector<std::string> strRow(const std::string& table, const std::string& mountpoint) {
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("STR;", 0) != 0) continue;
        std::vector<std::string> fields;
        std::string field;
        std::istringstream parts(line);
        while (std::getline(parts, field, ';'))
            fields.push_back(field);
        if (fields.size() > 1 && fields[1] == mountpoint) return fields;
    }
    return {};
}

} // namespace

OfflineCaster::OfflineCaster(const SimSettings& settings)
    : m_Tables(settings.tables), m_DefaultTable(settings.defaultTable),
      m_Unreachable(settings.unreachable), m_Login(settings.casterLogin),
      m_TableDelayMs(settings.tableDelayMs), m_ConnectMs(settings.connectMs) {}

bool OfflineCaster::unreachable(const CasterRequest& request) const {
    return std::find_if(m_Unreachable.begin(), m_Unreachable.end(), [&](const std::string& a) {
               return a == request.host || a == request.address();
           }) != m_Unreachable.end();
}

std::string OfflineCaster::tableFile(const CasterRequest& request) const {
    if (auto it = m_Tables.find(request.address()); it != m_Tables.end()) return it->second;
    if (auto it = m_Tables.find(request.host); it != m_Tables.end()) return it->second;
    return m_DefaultTable;
}

CasterAnswer OfflineCaster::fetchTable(const CasterRequest& request) {
    CasterAnswer answer;
    answer.elapsedMs = m_TableDelayMs;
    const std::string file = tableFile(request);
    if (unreachable(request) || file.empty()) {
        answer.outcome = CasterAnswer::Outcome::Unreachable;
        return answer;
    }
    answer.outcome =
        readFile(file, answer.bytes) ? CasterAnswer::Outcome::Ok : CasterAnswer::Outcome::Failed;
    return answer;
}

CasterAnswer OfflineCaster::openStream(const CasterRequest& request) {
    CasterAnswer answer;
    answer.elapsedMs = m_ConnectMs;
    std::string table;
    const std::string file = tableFile(request);
    if (unreachable(request) || file.empty()) {
        answer.outcome = CasterAnswer::Outcome::Unreachable;
        return answer;
    }
    if (!readFile(file, table)) {
        answer.outcome = CasterAnswer::Outcome::Failed;
        return answer;
    }
    const auto row = strRow(table, request.mountpoint);
    if (row.empty()) {
        answer.outcome = CasterAnswer::Outcome::NoMountpoint;
        return answer;
    }
    // Field 15 of the row: "N" is a free stream, anything else wants a login.
    const bool needsLogin = row.size() <= 15 || row[15] != "N";
    const std::string given = request.user + ":" + request.password;
    if (needsLogin && (!request.hasCredentials || (!m_Login.empty() && given != m_Login))) {
        answer.outcome = CasterAnswer::Outcome::Unauthorized;
        return answer;
    }
    answer.outcome = CasterAnswer::Outcome::Ok;
    return answer;
}

} // namespace tessadorn::sim
