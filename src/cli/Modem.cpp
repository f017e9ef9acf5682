#include "cli/Modem.h"

#include "modem/ModemSearch.h"
#include "modem/ModemStartup.h"
#include "platform/DebugOutput.h"
#include "platform/TextCodec.h"

namespace tessadorn::cli {

std::string forTerminal(std::string_view message) {
    std::string out;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') continue;
        out += message[i];
    }
    return deviceToUtf8(out);
}

Result fail(int status, std::string_view message) {
    Result r;
    r.status = status;
    r.messages.push_back(forTerminal(message));
    return r;
}

Result done(std::string_view message) {
    Result r;
    r.text = forTerminal(message) + "\n";
    r.data = Value::object().set("message", Value::str(forTerminal(message)));
    return r;
}

Modem::Modem(Environment& env, int timeoutSeconds)
    : m_Env(env), m_TimeoutSeconds(timeoutSeconds),
      m_Session(*env.port, *env.clock, env.profilePath, *env.writer) {}

void Modem::progress(std::string_view line) {
    if (m_Env.progress) m_Env.progress(line);
}

bool Modem::find(Result& r) {
    if (!m_Opened) {
        m_Session.loadProfile();
        if (!m_Session.serial().Open(m_Session.baudIndex())) {
            std::string why = m_Env.portFailure ? m_Env.portFailure() : std::string();
            r = fail(kPortOrModem,
                     why.empty() ? "The port " + m_Env.portName + " cannot be opened." : why);
            return false;
        }
        m_Opened = true;
    }
    Clock& clock = m_Session.clock();
    const std::int64_t deadline = clock.nowMs() + std::int64_t{m_TimeoutSeconds} * 1000;
    ModemSearch search(m_Session, {[this](std::string_view text) { progress(text); },
                                   [&] { return clock.nowMs() < deadline; },
                                   [&] { return clock.nowMs() < deadline; }});
    const bool found = search.find();
    progress("");
    if (found) return true;
    if (m_Env.portFailure && !m_Env.portFailure().empty())
        r = fail(kPortOrModem, m_Env.portFailure());
    else
        r = fail(kPortOrModem, "No modem answered on " + m_Env.portName + " within " +
                                   std::to_string(m_TimeoutSeconds) + " seconds.");
    return false;
}

bool Modem::start(CasterStore& store, Result& r) {
    if (!find(r)) return false;
    ModemStartup startup(m_Session, store, {{}, {}, {}, [&](const std::string& failure) {
                                                r.messages.push_back(forTerminal(failure));
                                            }});
    if (startup.run() != ModemStartup::Outcome::Done) {
        r = fail(kPortOrModem, "The modem did not give its configuration.");
        return false;
    }
    m_Session.ready();
    return true;
}

} // namespace tessadorn::cli
