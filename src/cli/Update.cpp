#include "cli/Modem.h"
#include "cli/Verbs.h"

#include "modem/UpdateRun.h"
#include "platform/TextCodec.h"
#include "store/CasterStore.h"

#include <set>
#include <tuple>

namespace tessadorn::cli {

namespace {

// What the update dialog's edits hold at most.
constexpr std::size_t kUpdateValueLimit = 48;

// The APN values of the caster list (as the dialog prefills them), each replaced by its option.
bool updateValues(const Request& q, CasterStore& store, UpdateValues& values, Result& r) {
    {
        std::lock_guard lock(store.mutex());
        values = {store.apn, store.carrierUser, store.carrierPassword};
    }
    const std::pair<const char*, std::string*> fields[] = {
        {"apn", &values.apn}, {"user", &values.user}, {"password", &values.password}};
    for (const auto& [name, value] : fields)
        if (const auto it = q.options.find(name); it != q.options.end())
            *value = utf8ToDevice(it->second);
    if (std::string why = values.refusal(); !why.empty()) {
        r = fail(kBadInput, why);
        return false;
    }
    // What the list holds goes as it is, as the dialog sends what it prefilled; a value given
    // on the command line is typed, and an edit holds 48 characters.
    for (const auto& [field, name, value] :
         {std::tuple<const char*, const char*, const std::string&>{"APN", "apn", values.apn},
          {"User", "user", values.user},
          {"Password", "password", values.password}})
        if (q.options.contains(name) && value.size() > kUpdateValueLimit) {
            r = fail(kBadInput, std::string("The ") + field + " must be at most " +
                                    std::to_string(kUpdateValueLimit) + " characters long.");
            return false;
        }
    return true;
}

int statusOf(UpdateRun::Outcome outcome) {
    switch (outcome) {
    case UpdateRun::Success:
        return kDone;
    case UpdateRun::NotDetected:
    case UpdateRun::EngineSilent:
    case UpdateRun::Stopped:
        return kPortOrModem;
    default:
        return kRefused; // the engine refused a command, failed or reported an error
    }
}

} // namespace

Result update(const Request& q, Environment& env, Opened& opened) {
    if (q.words.size() != 1) return fail(kBadInput, "update takes no arguments");
    Result r;
    UpdateValues values;
    if (!updateValues(q, opened.list().store, values, r)) return r;
    if (!q.options.contains("yes")) {
        if (!env.confirm)
            return fail(kBadInput, "update needs --yes: connect the cable to the modem's RADIO "
                                   "ROVER connector first.");
        if (!env.confirm("Connect the cable to the modem's RADIO ROVER connector. Continue?"))
            return fail(kBadInput, "The update was not started.");
    }
    Modem modem(env, q.timeoutSeconds);
    ModemSession& session = modem.session();
    // The rate the modem was last found at on this port; the update looks at every rate after it.
    modem.holdKnownRate();
    std::string stage;
    int top = 0, at = 0;
    const auto show = [&] {
        modem.progress(stage + " " + std::to_string(at) + "/" + std::to_string(top));
    };
    std::set<std::string> said;
    UpdateRun run(session, {[&](int barTop, std::string_view text) {
                                top = barTop;
                                at = 0;
                                stage = text;
                                show();
                            },
                            [&] {
                                at = std::min(at + 1, top);
                                show();
                            },
                            [&](int position) {
                                at = position;
                                show();
                            },
                            [&](std::string_view text) {
                                stage = text;
                                show();
                            },
                            [&](std::string_view text) {
                                // A rate that cannot be opened: said once, with the port's reason.
                                std::string line = forTerminal(text);
                                if (env.portFailure && !env.portFailure().empty())
                                    line = env.portFailure();
                                if (said.insert(line).second) r.messages.push_back(line);
                            },
                            {}});
    const UpdateRun::Outcome outcome = run.run(values);
    modem.progress("");
    if (outcome == UpdateRun::Success) {
        Result ok = done(UpdateRun::outcomeMessage(outcome));
        ok.messages = r.messages;
        return ok;
    }
    Result failed = fail(statusOf(outcome), UpdateRun::outcomeMessage(outcome));
    r.messages.insert(r.messages.end(), failed.messages.begin(), failed.messages.end());
    failed.messages = r.messages;
    return failed;
}

} // namespace tessadorn::cli
