#include "store/CasterFileReader.h"

#include "store/DecimalText.h"

namespace tessadorn {

namespace {

constexpr std::size_t kMaxValue = CasterDocument::kMaxValue;

} // namespace

bool CasterFileReader::next(char& c) {
    if (m_Pos >= m_Bytes.size()) return false;
    c = m_Bytes[m_Pos++];
    return true;
}

// Skips CR, LF and blanks up to the next "<"; any other byte, or the end, fails.
bool CasterFileReader::skipToElement() {
    char c;
    while (next(c)) {
        if (c == '<') return true;
        if (c != '\r' && c != '\n' && c != ' ') return false;
    }
    return false;
}

// The rest of a tag, read as one block of its exact length.
bool CasterFileReader::expect(std::string_view rest) {
    if (m_Bytes.size() - m_Pos < rest.size()) return false;
    const bool same = m_Bytes.substr(m_Pos, rest.size()) == rest;
    m_Pos += rest.size();
    return same;
}

// Every byte up to the next "<" goes into `into` (at most `limit` of them are kept); then the
// closing tag must follow.
bool CasterFileReader::readValue(std::string& into, std::size_t limit, std::string_view closing) {
    into.clear();
    char c;
    while (next(c)) {
        if (c == '<') return expect(closing);
        if (into.size() < limit)
            into.push_back(c);
        else
            m_Dropped = true;
    }
    return false;
}

// The attribute form `prefix` "yes">" or `prefix` "no">".
bool CasterFileReader::readYesNo(std::string_view prefix, std::string& into) {
    if (!expect(prefix)) return false;
    char c;
    if (!next(c)) return false;
    if (c == 'y' && expect("es\">")) {
        into = "yes";
        return true;
    }
    if (c == 'n' && expect("o\">")) {
        into = "no";
        return true;
    }
    return false;
}

// The number after "<sv num=": one character followed by ">", or two characters followed by
// ">". Read as a decimal number (no digit gives 0); a negative number fails.
bool CasterFileReader::readSvNumber() {
    char first;
    char second;
    if (!next(first) || !next(second)) return false;
    std::string text(1, first);
    if (second != '>') {
        text.push_back(second);
        char close;
        if (!next(close) || close != '>') return false;
    }
    return decimalValue(text) >= 0;
}

bool CasterFileReader::read(CasterDocument& doc) {
    char c;
    while (skipToElement()) {
        if (!next(c)) return false;
        if (c == 'c') return expect("onfig>") && readConfig(doc);
    }
    return false;
}

bool CasterFileReader::readConfig(CasterDocument& doc) {
    char c;
    while (skipToElement()) {
        if (!next(c)) return false;
        switch (c) {
        case 'c':
            if (!expect("urrent>") || !readCurrent(doc)) return false;
            break;
        case 's':
            if (!expect("ervers>") || !readServers(doc)) return false;
            break;
        case '/':
            return expect("config>");
        default:
            break; // opens nothing here: passed over
        }
    }
    return false;
}

bool CasterFileReader::readCurrent(CasterDocument& doc) {
    bool sawServer = false;
    std::string ignored;
    char c;
    while (skipToElement()) {
        if (!next(c)) return false;
        switch (c) {
        case 's':
            if (!expect("erver>") || !readValue(doc.server, CasterDocument::kMaxServer, "/server>"))
                return false;
            sawServer = true;
            break;
        case 'a':
            if (!readYesNo("uth value=\"", doc.auth) || !readAuth(doc)) return false;
            break;
        case 'c':
            if (!readYesNo("arrier value=\"", doc.carrier) || !readCarrier(doc)) return false;
            break;
        case 'A':
            if (!expect("utoConnection>") ||
                !readValue(doc.AutoConnection, kMaxValue, "/AutoConnection>"))
                return false;
            break;
        case 'T':
            if (!expect("essadorn>") || !readValue(ignored, kMaxValue, "/Tessadorn>")) return false;
            break;
        case '/':
            if (!expect("current>")) return false;
            doc.hasCurrent = sawServer;
            return true;
        default:
            break;
        }
    }
    return false;
}

bool CasterFileReader::readAuth(CasterDocument& doc) {
    char c;
    while (skipToElement()) {
        if (!next(c)) return false;
        switch (c) {
        case 'u':
            if (!expect("ser>") || !readValue(doc.user, kMaxValue, "/user>")) return false;
            break;
        case 'p':
            if (!expect("assword>") || !readValue(doc.password, kMaxValue, "/password>"))
                return false;
            break;
        case '/':
            return expect("auth>");
        default:
            break;
        }
    }
    return false;
}

bool CasterFileReader::readCarrier(CasterDocument& doc) {
    char c;
    while (skipToElement()) {
        if (!next(c)) return false;
        switch (c) {
        case 'a':
            if (!expect("pn>") || !readValue(doc.apn, kMaxValue, "/apn>")) return false;
            break;
        case 'u':
            if (!expect("ser>") || !readValue(doc.carrierUser, kMaxValue, "/user>")) return false;
            break;
        case 'p':
            if (!expect("assword>") || !readValue(doc.carrierPassword, kMaxValue, "/password>"))
                return false;
            break;
        case '/':
            return expect("carrier>");
        default:
            break;
        }
    }
    return false;
}

bool CasterFileReader::readServers(CasterDocument& doc) {
    char c;
    while (skipToElement()) {
        if (!next(c)) return false;
        switch (c) {
        case 's':
            if (!expect("v num=") || !readSvNumber() || !readSv(doc)) return false;
            break;
        case '/':
            return expect("servers>");
        default:
            break;
        }
    }
    return false;
}

// One sv element into the next free slot; a 26th and later element is read into a scratch
// entry and dropped, so the list never holds more than 25 casters.
bool CasterFileReader::readSv(CasterDocument& doc) {
    CasterEntry dropped;
    const bool hasRoom = doc.count < CasterDocument::kMaxEntries;
    if (!hasRoom) m_Dropped = true;
    CasterEntry& entry = hasRoom ? doc.entries[static_cast<std::size_t>(doc.count)] : dropped;
    entry.clear();
    bool sawVersion = false;
    char c;
    while (skipToElement()) {
        if (!next(c)) return false;
        bool ok = true;
        switch (c) {
        case 'n':
            ok = expect("ame>") && readValue(entry.name, kMaxValue, "/name>");
            break;
        case 'i':
            ok = expect("p>") && readValue(entry.ip, kMaxValue, "/ip>");
            break;
        case 'p':
            ok = expect("ort>") && readValue(entry.port, kMaxValue, "/port>");
            break;
        case 'u':
            ok = expect("ser>") && readValue(entry.user, kMaxValue, "/user>");
            break;
        case 'P':
            ok = expect("assword>") && readValue(entry.Password, kMaxValue, "/Password>");
            break;
        case 'T':
            ok = expect("essadorn>") && readValue(entry.Tessadorn, kMaxValue, "/Tessadorn>");
            break;
        case 'v':
            ok = expect("ntrip>") && readValue(entry.vntrip, kMaxValue, "/vntrip>");
            sawVersion = true;
            break;
        case '/':
            if (!expect("sv>")) return false;
            if (!sawVersion) entry.vntrip = "1";
            if (hasRoom) ++doc.count;
            return true;
        default:
            break;
        }
        if (!ok) return false;
    }
    return false;
}

} // namespace tessadorn
