#include "CellularEngine.h"

#include "ModemTexts.h"

#include <algorithm>
#include <cctype>

namespace tessadorn::sim {
namespace {

constexpr const char* kOk = "\r\nOK\r\n";
constexpr const char* kError = "\r\nERROR\r\n";

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// Fields of an AT command's arguments: a comma inside a quoted field belongs to the field.
std::vector<std::string> splitCommas(const std::string& s) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

} // namespace

CellularEngine::CellularEngine(std::string outcome, int stepMs)
    : m_Outcome(std::move(outcome)), m_StepMs(stepMs) {}

void CellularEngine::reset() {
    m_ParametersSet = false;
    m_UpdateStarted = false;
    m_Parameters.clear();
}

std::vector<CellularEngine::Line> CellularEngine::progress() const {
    const int s = m_StepMs;
    std::vector<Line> lines = {
        {s, "OTAP: GPRS context activated\r\n"},
        {s, "OTAP: reading update descriptor\r\n"},
        {s, "Transfer finished.\r\n"},
        {s, "OTAP: downloading 25%\r\n"},
    };
    if (m_Outcome == "fail") {
        lines.push_back({s, "operation failed: download aborted by the server\r\n"});
        return lines;
    }
    if (m_Outcome == "error") {
        lines.push_back({s, "+CME ERROR: 100\r\n"});
        return lines;
    }
    if (m_Outcome == "silent") return lines; // the engine hangs in the download
    lines.insert(lines.end(), {
                                  {s, "OTAP: downloading 50%\r\n"},
                                  {s, "OTAP: downloading 75%\r\n"},
                                  {s, "OTAP: downloading 100%\r\n"},
                                  {s, "Transfer finished.\r\n"},
                                  {s, "OTAP: installing\r\n"},
                                  {s, "OTAP: installation complete\r\n"},
                                  {s, "Reboot now\r\n"},
                              });
    return lines;
}

CellularEngine::Reaction CellularEngine::handle(const std::string& line) {
    Reaction r;
    const std::string cmd = upper(line);
    const std::string_view setPrefix = texts::kOtapSet;
    if (cmd == texts::kAt) {
        r.reply = kOk;
    } else if (cmd.rfind(setPrefix, 0) == 0) {
        // Eleven fields; the first is the quoted update password.
        const auto fields = splitCommas(line.substr(setPrefix.size()));
        const std::string password = "\"" + std::string(texts::kOtapPassword) + "\"";
        const std::string bearer = "\"" + std::string(texts::kOtapBearer) + "\"";
        if (fields.size() == 11 && fields[0] == password && fields[5] == bearer) {
            m_Parameters = fields;
            m_ParametersSet = true;
            r.reply = kOk;
        } else {
            r.reply = kError;
        }
    } else if (cmd == texts::kOtapStart) {
        m_UpdateStarted = m_ParametersSet;
        r.reply = m_ParametersSet ? kOk : kError;
    } else if (cmd == upper(std::string(texts::kOtapTrace))) {
        r.reply = kOk;
        if (m_UpdateStarted) {
            r.script.push_back({m_StepMs, std::string(texts::kOtapStarted) + "\r\n"});
            const auto more = progress();
            r.script.insert(r.script.end(), more.begin(), more.end());
            r.rebootAfter = m_Outcome == "success";
            m_UpdateStarted = false;
        }
    } else if (cmd.rfind("AT", 0) == 0) {
        r.reply = kError;
    }
    // Anything else (such as a stray "#EXIT0") is not a command of the engine: no answer.
    return r;
}

} // namespace tessadorn::sim
