// libFuzzer target for the caster list reader (built by scripts/fuzz.sh).
//
// Any input: the reader ends without a crash or a hang and leaves a store within its bounds.
// Whatever it read (complete or not) is written again, and that text reads back completely and
// is written once more byte for byte the same.
#include "store/CasterFileReader.h"
#include "store/CasterFileWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using tessadorn::CasterDocument;
using tessadorn::CasterEntry;

void require(bool condition) {
    if (!condition) std::abort();
}

void requireBounded(const CasterDocument& doc) {
    require(doc.count >= 0 && doc.count <= CasterDocument::kMaxEntries);
    require(doc.server.text().size() <= CasterDocument::kMaxServer);
    require(doc.auth == "yes" || doc.auth == "no");
    require(doc.carrier.empty() || doc.carrier == "yes" || doc.carrier == "no");
    for (const std::string* text : {&doc.user, &doc.password, &doc.apn, &doc.carrierUser,
                                    &doc.carrierPassword, &doc.AutoConnection})
        require(text->size() <= CasterDocument::kMaxValue);
    for (int i = 0; i < doc.count; ++i) {
        const CasterEntry& e = doc.entries[static_cast<std::size_t>(i)];
        for (const std::string* text :
             {&e.name, &e.ip, &e.port, &e.user, &e.Password, &e.Tessadorn.text(), &e.vntrip.text()})
            require(text->size() <= CasterDocument::kMaxValue);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CasterDocument doc;
    doc.reset();
    tessadorn::CasterFileReader(input).read(doc);
    requireBounded(doc);

    const std::string written = tessadorn::CasterFileWriter::write(doc);
    CasterDocument again;
    again.reset();
    require(tessadorn::CasterFileReader(written).read(again));
    require(again.count == doc.count);
    require(tessadorn::CasterFileWriter::write(again) == written);
    return 0;
}
