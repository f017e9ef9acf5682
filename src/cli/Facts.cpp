#include "cli/Facts.h"

#include "cli/WatchReport.h"
#include "modem/DeviceConfig.h"
#include "platform/SerialPort.h"
#include "store/TextInput.h"

namespace tessadorn::cli::facts {

namespace {

Value codedFact(int code, const std::string& name) {
    return Value::object().set("code", Value::num(code)).set("name", Value::str(name));
}

} // namespace

Value sim(int simState) {
    return codedFact(simState, WatchReport::simName(simState));
}

Value connection(int code) {
    return codedFact(code, WatchReport::connectionName(code));
}

Value apnReady(int apnReady) {
    return Value::boolean(apnReady != 0);
}

Value rate(int baudIndex) {
    return Value::num(baudRateForIndex(baudIndex));
}

Value port(const std::string& device) {
    const auto value = text_input::parseDecimal(device);
    return value ? Value::num(*value) : Value::null();
}

} // namespace tessadorn::cli::facts
