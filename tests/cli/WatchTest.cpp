// tessadornctl watch's lines and metrics, fed with the monitor's findings in virtual time.
#include "cli/WatchMetrics.h"
#include "cli/WatchReport.h"
#include "cli/WatchWire.h"
#include "modem/DeviceConfig.h"
#include "platform/ProgramInfo.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>
#include <vector>

namespace tessadorn::cli {
namespace {

// Remembers every file as written; fails on demand.
struct MemoryWriter final : FileWriter {
    std::map<std::string, std::string> files;
    int writes = 0;
    bool fail = false;
    bool replace(const std::string& path, std::string_view bytes, int) override {
        if (fail) return false;
        ++writes;
        files[path] = std::string(bytes);
        return true;
    }
    bool createIfMissing(const std::string&, int) override { return true; }
};

// True when text starts "YYYY-MM-DDThh:mm:ss.mmmZ " ('#' in the shape stands for a digit).
bool startsWithStamp(const std::string& text) {
    const std::string shape = "####-##-##T##:##:##.###Z ";
    if (text.size() < shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == '#' ? !std::isdigit(static_cast<unsigned char>(text[i]))
                            : text[i] != shape[i])
            return false;
    return true;
}

// True for a sample line: name{label="value",...} number, values with backslash escapes.
bool isSampleLine(const std::string& line) {
    std::size_t i = 0;
    const auto run = [&](auto accepts) {
        const std::size_t from = i;
        while (i < line.size() && accepts(line[i]))
            ++i;
        return i > from;
    };
    const auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
    if (!run([&](char c) { return lower(c) || c == '_'; })) return false;
    if (i >= line.size() || line[i++] != '{') return false;
    do {
        if (!run(lower) || line.compare(i, 2, "=\"") != 0) return false;
        for (i += 2; i < line.size() && line[i] != '"'; ++i)
            if (line[i] == '\\') ++i;
        if (i++ >= line.size()) return false;
    } while (i < line.size() && line[i] == ',' && ++i < line.size() && line[i] != '}');
    if (line.compare(i, 2, "} ") != 0) return false;
    i += 2;
    if (i < line.size() && line[i] == '-') ++i;
    return run([](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '.'; }) &&
           i == line.size();
}

struct Line {
    std::string kind, text;
    Value event;
};

struct Rig {
    VirtualClock clock;
    MemoryWriter writer;
    WatchMetrics metrics{"/m.prom", "/dev/ttyUSB0", writer};
    std::vector<Line> lines;
    WatchReport report{
        {"/dev/ttyUSB0", 60'000, [this] { return 1'765'152'000'000 + clock.nowMs(); }},
        clock,
        [this](const Value& e, const std::string& text) {
            lines.push_back({e.get("class")->text, text, e});
        },
        &metrics};
    std::vector<std::string> kinds() const {
        std::vector<std::string> out;
        for (const Line& l : lines)
            out.push_back(l.kind);
        return out;
    }
};

const PolledValues kGood{3, kSimReady, 1, 2};

TEST(WatchReport, StatusOnChangeHeartbeatWhenQuietLostWithItsReason) {
    Rig rig;
    rig.report.searching();
    rig.report.searching(); // the same search: said once
    rig.report.found({"T-0042", "2.3.1", kModeClient, 2});
    for (int i = 0; i < 200; ++i) { // 100 s of polls, every 500 ms
        rig.report.polled(i == 40 ? PolledValues{1, kSimReady, 1, 2} : kGood);
        rig.clock.advance(500);
    }
    rig.report.lost(LostReason::PortGone);
    rig.report.searching();
    rig.clock.advance(30'000);
    rig.report.searching(); // still the same search, half an interval on
    rig.clock.advance(30'000);
    rig.report.searching(); // an interval on: said again
    // searching; found; the first values; the dip and its end; one heartbeat 60 s after the last
    // line; lost; searching again, and once more a minute later.
    EXPECT_EQ(rig.kinds(),
              (std::vector<std::string>{"searching", "found", "status", "status", "status",
                                        "heartbeat", "lost", "searching", "searching"}));
    // Every line names its port; every line from "found" on the modem's serial number too, in
    // the JSON and in the text.
    for (std::size_t i = 0; i < rig.lines.size(); ++i) {
        const Line& l = rig.lines[i];
        EXPECT_EQ(l.event.get("port")->text, "/dev/ttyUSB0") << l.text;
        EXPECT_NE(l.text.find(" /dev/ttyUSB0 "), std::string::npos) << l.text;
        const Value* serial = l.event.get("serial");
        if (i == 0) {
            EXPECT_EQ(serial, nullptr) << l.text;
            EXPECT_EQ(l.text.substr(24), " /dev/ttyUSB0 searching for the modem");
        } else {
            ASSERT_NE(serial, nullptr) << l.text;
            EXPECT_EQ(serial->text, "T-0042");
            EXPECT_NE(l.text.find(" /dev/ttyUSB0 T-0042 "), std::string::npos) << l.text;
        }
    }
    rig.lines.erase(rig.lines.begin());
    const Value& found = rig.lines[0].event;
    EXPECT_EQ(found.get("serial")->text, "T-0042");
    EXPECT_EQ(found.get("role")->text, "rover");
    EXPECT_EQ(found.get("rate")->number, 38400);
    EXPECT_EQ(found.get("port")->text, "/dev/ttyUSB0");
    const Value& status = rig.lines[2].event;
    EXPECT_EQ(status.get("signal")->number, 1);
    EXPECT_EQ(status.get("sim")->get("name")->text, "ready");
    // The APN's readiness as status gives it; "apn" is the APN setting, never on a watch line.
    EXPECT_EQ(status.get("apn_ready")->kind, Value::Kind::Bool);
    EXPECT_TRUE(status.get("apn_ready")->flag);
    EXPECT_EQ(status.get("apn"), nullptr);
    EXPECT_EQ(status.get("sim")->get("code")->number, kSimReady);
    EXPECT_EQ(status.get("connection")->get("name")->text, "off");
    EXPECT_EQ(rig.lines[rig.lines.size() - 3].event.get("reason")->text, "the port is gone");
    // Every line starts with its time, ISO 8601 with milliseconds.
    for (const Line& l : rig.lines) {
        EXPECT_TRUE(startsWithStamp(l.text)) << l.text;
        EXPECT_EQ(l.event.members[0].first, "class");
        EXPECT_EQ(l.event.members[1].first, "time");
    }
}

TEST(WatchReport, TimesAreUtcWithMilliseconds) {
    const struct {
        std::int64_t ms;
        const char* text;
    } cases[] = {{0, "1970-01-01T00:00:00.000Z"},
                 {1'765'152'000'007, "2025-12-08T00:00:00.007Z"},
                 {951'782'400'999, "2000-02-29T00:00:00.999Z"}};
    for (const auto& c : cases)
        EXPECT_EQ(WatchReport::isoTime(c.ms), c.text);
}

// The text format of the node exporter's textfile collector: every metric has its HELP and TYPE
// before its samples, and each sample line is "name{labels} value".
TEST(WatchMetrics, EveryMetricHasHelpTypeAndItsSample) {
    Rig rig;
    rig.report.found({"T-\"7\"", "2.3.1", kModeServer, 4});
    rig.report.polled(kGood);
    rig.report.pollFailed();
    const std::string text = rig.metrics.text();
    const char* names[] = {"tessadorn_up",         "tessadorn_signal_level",
                           "tessadorn_sim_state",  "tessadorn_apn_up",
                           "tessadorn_connected",  "tessadorn_polls_failed_total",
                           "tessadorn_lost_total", "tessadorn_last_poll_timestamp_seconds",
                           "tessadorn_info",       "tessadorn_build_info"};
    for (const char* name : names) {
        const std::string n = name;
        const auto help = text.find("# HELP " + n + " ");
        const auto type = text.find("# TYPE " + n + " ");
        const auto sample = text.find("\n" + n + "{");
        ASSERT_NE(help, std::string::npos) << n;
        ASSERT_NE(type, std::string::npos) << n;
        ASSERT_NE(sample, std::string::npos) << n;
        EXPECT_LT(help, type);
        EXPECT_LT(type, sample);
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line[0] != '#') {
            EXPECT_TRUE(isSampleLine(line)) << line;
        }
    EXPECT_NE(text.find("tessadorn_up{port=\"/dev/ttyUSB0\"} 1\n"), std::string::npos);
    EXPECT_NE(text.find("tessadorn_polls_failed_total{port=\"/dev/ttyUSB0\"} 1\n"),
              std::string::npos);
    EXPECT_NE(text.find("serial=\"T-\\\"7\\\"\",firmware=\"2.3.1\",role=\"base\""),
              std::string::npos);
    EXPECT_NE(text.find("tessadorn_last_poll_timestamp_seconds{port=\"/dev/ttyUSB0\"} "
                        "1765152000.000\n"),
              std::string::npos);

    rig.report.lost(LostReason::PollsFailed);
    const std::string after = rig.metrics.text();
    EXPECT_NE(after.find("tessadorn_up{port=\"/dev/ttyUSB0\"} 0\n"), std::string::npos);
    EXPECT_NE(after.find("tessadorn_lost_total{port=\"/dev/ttyUSB0\"} 1\n"), std::string::npos);
    EXPECT_EQ(after.find("tessadorn_signal_level{"), std::string::npos); // not known now
    // The lost modem is still named, so that an alert on tessadorn_up can say which one it is.
    EXPECT_NE(after.find("tessadorn_info{serial=\"T-\\\"7\\\"\",firmware=\"2.3.1\",role=\"base\","
                         "port=\"/dev/ttyUSB0\"} 1\n"),
              std::string::npos)
        << after;
    EXPECT_NE(after.find("tessadorn_build_info{version=\"" + std::string(kProgramVersion) +
                         "\",port=\"/dev/ttyUSB0\"} 1\n"),
              std::string::npos)
        << after;
}

TEST(WatchMetrics, RewritesAtMostOnceASecondAndOnlyWhatChanged) {
    Rig rig;
    const struct {
        std::int64_t at;
        bool poll;
        bool failWrite;
        bool written;
    } steps[] = {
        {0, true, false, true},      // the first write
        {500, true, false, false},   // too soon
        {1000, false, false, true},  // a second later: the poll at 500 goes out
        {2500, false, false, false}, // nothing new
        {3000, true, true, false},   // the write fails ...
        {3100, false, false, false}, // ... and waits its second
        {4000, false, false, true},  // ... then it is written after all
    };
    for (const auto& s : steps) {
        if (s.poll) rig.report.polled(kGood);
        rig.writer.fail = s.failWrite;
        EXPECT_EQ(rig.metrics.flush(s.at), s.written) << s.at;
    }
    EXPECT_EQ(rig.writer.writes, 3);
    EXPECT_EQ(rig.writer.files["/m.prom"], rig.metrics.text());
}

// A command and its result between tessadornctl and the watch: everything comes back as sent,
// and what is not a whole message of this version is refused.
TEST(WatchWire, CommandsAndResultsArriveAsSentAndBrokenOnesAreRefused) {
    Request q;
    q.words = {"profile", "apply", "/home/u/rover.json"};
    q.options = {{"password", std::string("p\0w\"", 4)}, {"check", ""}};
    q.timeoutSeconds = 90;
    const std::vector<WatchWire::File> files{{2, "{\"role\": \"rover\"}", 0600}};
    const std::string request = WatchWire::encodeRequest(q, files);
    Request back;
    std::vector<WatchWire::File> filesBack;
    ASSERT_TRUE(WatchWire::decodeRequest(request, back, filesBack));
    EXPECT_EQ(back.words, q.words);
    EXPECT_EQ(back.options, q.options);
    EXPECT_EQ(back.timeoutSeconds, 90);
    ASSERT_EQ(filesBack.size(), 1u);
    EXPECT_EQ(filesBack[0].word, 2u);
    EXPECT_EQ(filesBack[0].bytes, files[0].bytes);
    EXPECT_EQ(filesBack[0].mode, 0600u);

    Result r;
    r.status = kRefused;
    r.messages = {"one", ""};
    r.text = "a\nb\n";
    r.data = Value::object()
                 .set("changed", Value::boolean(true))
                 .set("rate", Value::num(-0.25))
                 .set("none", Value::null())
                 .set("settings", Value::array().push(Value::str("apn")).push(Value::array()));
    const std::string result = WatchWire::encodeResult(r);
    Result got;
    ASSERT_TRUE(WatchWire::decodeResult(result, got));
    EXPECT_EQ(got.status, kRefused);
    EXPECT_EQ(got.messages, r.messages);
    EXPECT_EQ(got.text, r.text);
    EXPECT_EQ(got.data.line(), r.data.line());
    EXPECT_EQ(got.data.get("rate")->number, -0.25);
    EXPECT_EQ(got.data.get("settings")->items[1].kind, Value::Kind::Array);

    const struct {
        const char* name;
        std::string bytes;
    } broken[] = {
        {"empty", ""},
        {"cut short", request.substr(0, request.size() - 1)},
        {"one byte more", request + "x"},
        {"a result", result},
        {"another version", std::string("\0\0\0\x13tessadorn-command 2", 23) + request.substr(23)},
        {"a file naming no word", WatchWire::encodeRequest(q, {{3, "x", 0600}})},
    };
    for (const auto& b : broken)
        EXPECT_FALSE(WatchWire::decodeRequest(b.bytes, back, filesBack)) << b.name;
    EXPECT_FALSE(WatchWire::decodeResult(result.substr(0, result.size() - 2), got));
    EXPECT_FALSE(WatchWire::decodeResult(request, got));
}

// Each sample's value follows what the modem reported: the connection 1 only while it runs,
// the APN 1 only while it is ready.
TEST(WatchMetrics, SampleValuesFollowThePolledValues) {
    const struct {
        const char* name;
        PolledValues values;
        std::vector<std::string> samples; // "name value", port label left out
    } cases[] = {
        {"Running",
         {4, kSimReady, 1, 1},
         {"tessadorn_connected 1", "tessadorn_apn_up 1", "tessadorn_signal_level 4",
          "tessadorn_sim_state 5"}},
        {"Off", {2, kSimReady, 1, 2}, {"tessadorn_connected 0", "tessadorn_apn_up 1"}},
        {"NotAsked", {2, kSimReady, 1, 0}, {"tessadorn_connected 0"}},
        {"ApnDown",
         {3, 1, 0, 2},
         {"tessadorn_apn_up 0", "tessadorn_sim_state 1", "tessadorn_connected 0"}},
        {"NoSim", {-1, 0, 0, 2}, {"tessadorn_signal_level -1", "tessadorn_sim_state 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.report.polled(c.values);
        const std::string text = rig.metrics.text();
        for (const std::string& sample : c.samples) {
            const auto blank = sample.find(' ');
            const std::string line =
                sample.substr(0, blank) + "{port=\"/dev/ttyUSB0\"}" + sample.substr(blank) + "\n";
            EXPECT_NE(text.find(line), std::string::npos) << line << text;
        }
    }
}

// A rewrite that fails (a full disk) keeps the last whole file: the stream says so once, and
// once more when a rewrite works again; the failures are counted in the file.
TEST(WatchMetrics, AFailedRewriteIsSaidOnceAndCounted) {
    Rig rig;
    rig.metrics.onWriteChange(
        [&rig](const std::string& failure) { rig.report.metricsWritten("/m.prom", failure); });
    const struct {
        std::int64_t at;
        bool fail;
        std::vector<std::string> said; // the metrics lines since the step before
    } steps[] = {
        {0, false, {}},
        {1000,
         true,
         {"/dev/ttyUSB0 metrics cannot be written to /m.prom: the file could not be written "
          "(the file keeps the last whole metrics)"}},
        {2000, true, {}},
        {3000, true, {}},
        {4000, false, {"/dev/ttyUSB0 metrics written again to /m.prom"}},
        {5000, false, {}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.at);
        rig.lines.clear();
        rig.report.polled(PolledValues{static_cast<int>(s.at / 1000), kSimReady, 1, 2});
        rig.writer.fail = s.fail;
        EXPECT_EQ(rig.metrics.flush(s.at), !s.fail);
        std::vector<std::string> said;
        for (const Line& l : rig.lines)
            if (l.kind == "metrics") {
                said.push_back(l.text.substr(l.text.find(' ') + 1));
                EXPECT_EQ(l.event.get("written")->flag, !s.fail);
                EXPECT_EQ(l.event.get("file")->text, "/m.prom");
                EXPECT_EQ(l.event.get("port")->text, "/dev/ttyUSB0");
            }
        EXPECT_EQ(said, s.said);
    }
    EXPECT_NE(rig.writer.files["/m.prom"].find(
                  "tessadorn_metrics_write_failures_total{port=\"/dev/ttyUSB0\"} 3\n"),
              std::string::npos)
        << rig.writer.files["/m.prom"];
}

} // namespace
} // namespace tessadorn::cli
