#include "cli/Value.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessadorn::cli {
namespace {

// The one writer of every JSON the command line prints or saves: members in the order they were
// set, texts escaped, numbers as they read back.
TEST(JsonText, KeepsTheOrderAndWritesWhatReadsBack) {
    const struct {
        const char* name;
        Value value;
        bool indented;
        std::string json;
    } cases[] = {
        {"OrderAsSet",
         Value::object()
             .set("tessadorn_profile", Value::num(1))
             .set("device", Value::object())
             .set("apn", Value::null()),
         false, R"({"tessadorn_profile":1,"device":{},"apn":null})"},
        {"Indented",
         Value::object().set("a", Value::array().push(Value::num(1)).push(Value::boolean(false))),
         true, "{\n    \"a\": [\n        1,\n        false\n    ]\n}\n"},
        {"Escapes", Value::str("a\"b\\c\n\r\t\x01/"), false, R"("a\"b\\c\n\r\t\u0001/")"},
        {"Utf8Kept", Value::str("Z\xC3\xBCrich \xF0\x9F\x98\x80"), false,
         "\"Z\xC3\xBCrich \xF0\x9F\x98\x80\""},
        {"NoUtf8Replaced",
         Value::str("a\xFC"
                    "b\xC3"),
         false,
         "\"a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\""},
        {"WholeNumber", Value::num(2101), false, "2101"},
        {"Negative", Value::num(-33.9), false, "-33.9"},
        {"Fraction", Value::num(151.123456), false, "151.123456"},
        {"Large", Value::num(1e300), false, "1e+300"},
        {"NotANumber", Value::num(std::nan("")), false, "null"},
        {"EmptyArray", Value::array(), true, "[]\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(jsonText(c.value, c.indented), c.json) << c.name;
}

} // namespace
} // namespace tessadorn::cli
