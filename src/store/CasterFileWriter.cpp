#include "store/CasterFileWriter.h"

#include <algorithm>

namespace tessadorn {

namespace {

void element(std::string& out, const char* tag, const std::string& value) {
    out += '<';
    out += tag;
    out += '>';
    out += value;
    out += "</";
    out += tag;
    out += ">\r\n";
}

} // namespace

std::string CasterFileWriter::write(const CasterDocument& doc) {
    std::string out;
    out.reserve(512 + 256 * static_cast<std::size_t>(doc.count > 0 ? doc.count : 0));
    out += "<config>\r\n";
    if (doc.hasCurrent) {
        out += "<current>\r\n";
        element(out, "server", doc.server.text());
        out += doc.auth == "yes" ? "<auth value=\"yes\">\r\n" : "<auth value=\"no\">\r\n";
        element(out, "user", doc.user);
        element(out, "password", doc.password);
        out += "</auth>\r\n";
        if (doc.carrier == "yes") {
            out += "<carrier value=\"yes\">\r\n";
            element(out, "apn", doc.apn);
            element(out, "user", doc.carrierUser);
            element(out, "password", doc.carrierPassword);
            out += "</carrier>\r\n";
        } else {
            out += "<carrier value=\"no\"></carrier>\r\n";
        }
        element(out, "AutoConnection", doc.AutoConnection);
        out += "</current>\r\n";
    } else {
        out += "<current></current>\r\n";
    }
    out += "<servers>\r\n";
    const int count = doc.count < 0 ? 0 : std::min(doc.count, CasterDocument::kMaxEntries);
    for (int i = 0; i < count; ++i) {
        const CasterEntry& e = doc.entries[static_cast<std::size_t>(i)];
        out += "<sv num=" + std::to_string(i) + ">\r\n";
        element(out, "name", e.name);
        element(out, "ip", e.ip);
        element(out, "port", e.port);
        element(out, "user", e.user);
        element(out, "Password", e.Password);
        element(out, "Tessadorn", e.Tessadorn.text());
        element(out, "vntrip", e.vntrip.text().empty() ? std::string("1") : e.vntrip.text());
        out += "</sv>\r\n";
    }
    out += "</servers>\r\n";
    out += "</config>\r\n";
    return out;
}

} // namespace tessadorn
