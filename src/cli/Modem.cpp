#include "cli/Modem.h"

#include "modem/CasterAddress.h"
#include "modem/ModemSearch.h"
#include "modem/ModemStartup.h"
#include "modem/Outcomes.h"
#include "modem/SourceTableRequest.h"
#include "platform/DebugOutput.h"
#include "platform/SerialPort.h"
#include "platform/TextCodec.h"
#include "store/PortRates.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

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

Result failTyped(int status, std::string message) {
    Result r;
    r.status = status;
    r.messages.push_back(std::move(message));
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
      m_Own(env.session ? nullptr
                        : std::make_unique<ModemSession>(*env.port, *env.clock, env.profilePath,
                                                         *env.writer)),
      m_Session(env.session ? *env.session : *m_Own),
      m_Deadline(env.clock->nowMs() + std::int64_t{timeoutSeconds} * 1000) {}

PortRates Modem::portRates() const {
    const auto folder = std::filesystem::path(m_Env.profilePath).parent_path();
    return PortRates((folder / "tessadorn.ports").string(), *m_Env.writer);
}

void Modem::extend(int seconds) {
    m_TimeoutSeconds += seconds;
    m_Deadline += std::int64_t{seconds} * 1000;
    if (m_Env.extendTime) m_Env.extendTime(seconds);
}

void Modem::progress(std::string_view line) {
    if (m_Env.progress) m_Env.progress(line);
}

void Modem::holdKnownRate() {
    m_Session.loadProfile();
    // The rate this port's modem last answered at, where it differs from the folder's one.
    if (const auto index = portRates().rateFor(m_Env.portName)) m_Session.holdRate(*index);
}

void Modem::keepRate(Result& r) {
    std::string why;
    if (portRates().remember(m_Env.portName, m_Session.baudIndex(), &why) || why.empty()) return;
    debugLine(why + "\r\n");
    r.messages.push_back(why);
}

bool Modem::find(Result& r) {
    if (borrowedReady()) return true;
    if (m_Env.session) {
        // The watch looks for its modem itself; a command it serves waits for it (WatchService).
        r = fail(kTimedOut, "No modem answered on " + m_Env.portName + ": no answer within " +
                                std::to_string(m_TimeoutSeconds) + " s.");
        return false;
    }
    if (!m_Opened) {
        holdKnownRate();
        if (!m_Session.serial().Open(m_Session.baudIndex())) {
            std::string why = m_Env.portFailure ? m_Env.portFailure() : std::string();
            r = fail(kPortOrModem,
                     why.empty() ? "The port " + m_Env.portName + " cannot be opened." : why);
            return false;
        }
        m_Opened = true;
    }
    Clock& clock = m_Session.clock();
    // A port gone while the command runs ends it: the command line does not wait for it.
    bool gone = false;
    const auto going = [&] { return !gone && clock.nowMs() < m_Deadline && !interrupted(); };
    ModemSearch search(m_Session, {[this](std::string_view text) { progress(text); }, going, going,
                                   [&gone] { gone = true; }});
    // At the deadline the exchange under way ends at once too: the command ends at its time
    // with what it did by then, not after a search's last round of resends.
    SerialChannel& serial = m_Session.serial();
    const std::atomic<bool>* closing = serial.AbortFlag();
    std::atomic<bool> timeUp{false};
    serial.SetAbortFlag(&timeUp);
    std::mutex ending;
    std::condition_variable ended;
    bool searched = false;
    std::thread deadline([&, wait = std::max<std::int64_t>(0, m_Deadline - clock.nowMs())] {
        std::unique_lock lock(ending);
        if (!ended.wait_for(lock, std::chrono::milliseconds(wait), [&] { return searched; }))
            timeUp = true;
    });
    const bool found = search.find();
    {
        std::lock_guard lock(ending);
        searched = true;
    }
    ended.notify_all();
    deadline.join();
    serial.SetAbortFlag(closing);
    progress("");
    if (found) {
        keepRate(r);
        return true;
    }
    if (gone)
        r = fail(kPortOrModem, "The port " + m_Env.portName + " is gone.");
    else if (m_Env.portFailure && !m_Env.portFailure().empty())
        r = fail(kPortOrModem, m_Env.portFailure());
    else if (search.tableHeard() && !interrupted())
        r = fail(kTimedOut, "The modem on " + m_Env.portName +
                                " is still sending a source table: no end within " +
                                std::to_string(m_TimeoutSeconds) +
                                " s. It answers once the table ends; try again then, or with a "
                                "longer --timeout.");
    else
        r = fail(interrupted() ? kPortOrModem : kTimedOut,
                 "No modem answered on " + m_Env.portName + ": no answer within " +
                     std::to_string(m_TimeoutSeconds) + " s.");
    return false;
}

bool Modem::start(CasterStore& store, Result& r) {
    if (borrowedReady()) return true;
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

bool Modem::readTable(const CasterEntry& caster, SourceTable& table, Result& r) {
    SourceTableRequest request(m_Session);
    if (!request.signalOff()) {
        r = fail(kPortOrModem, outcome::kSignalNotStopped);
        return false;
    }
    progress("Reading the source table of " + deviceToUtf8(caster.name) + "...");
    // Past the deadline every read of the channel ends at once: the table is given up.
    SerialChannel& serial = m_Session.serial();
    const std::atomic<bool>* closing = serial.AbortFlag();
    std::atomic<bool> timeUp{false};
    serial.SetAbortFlag(&timeUp);
    const auto end = request.readTable(sourceTableAddress(caster), table, [&](int, bool) {
        if (interrupted() && !request.stopRequested()) {
            request.requestStop();
            // Ten bits a byte on the line: how long the rest takes, per 100 KB of it.
            const int rate = baudRateForIndex(m_Session.baudIndex());
            progress("Stopped: the modem is still sending the rest of the table (about " +
                     std::to_string(rate > 0 ? 1'024'000 / rate : 0) + " s for every 100 KB at " +
                     std::to_string(rate) + " bit/s; Ctrl-C again leaves it sending)...");
        }
        if (m_Session.clock().nowMs() >= m_Deadline && !request.stopRequested()) timeUp = true;
    });
    serial.SetAbortFlag(closing);
    progress("");
    using End = SourceTableScanner::End;
    if (end == End::Stopped) {
        r = fail(kPortOrModem, "Stopped; the rest of the source table was discarded.");
        return false;
    }
    if (timeUp.load()) {
        r = fail(kTimedOut, "The source table did not come: no answer within " +
                                std::to_string(m_TimeoutSeconds) + " s.");
        return false;
    }
    // A table read up to the most the program reads: the rows it got, the modem still sending.
    if (end == End::TooLong && table.count() > 0) return true;
    if (end != End::Table) {
        const bool refused = end == End::ServerNotResponding || end == End::NotAuthorized ||
                             end == End::ConnectionError;
        r = fail(refused ? kRefused : kPortOrModem, sourceTableFailureText(end));
        return false;
    }
    request.closeExchange();
    return true;
}

} // namespace tessadorn::cli
