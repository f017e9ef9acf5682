// libFuzzer target for the source-table scan (built by scripts/fuzz.sh).
//
// Any bytes the modem could relay after "CMD_OK", then silence: the scan ends (at the end
// marker, an error token or the fifth failed read), stores at most 250 records of fields of at
// most 99 bytes, keeps only rows whose format begins with "R" or "C", and leaves nothing after a
// give-up.
#include "modem/SourceTableScanner.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using namespace tessadorn;

void require(bool condition) {
    if (!condition) std::abort();
}

// The modem's side of the line: the input, then nothing but empty reads (in virtual time).
class ReplayPort final : public SerialPort {
  public:
    ReplayPort(const std::uint8_t* data, std::size_t size, VirtualClock& clock)
        : m_Data(data), m_Size(size), m_Clock(clock) {}
    bool open(int) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override {
        const std::size_t n = std::min(capacity, m_Size - m_Pos);
        if (n == 0) {
            m_Clock.advance(kReadTimeoutMs);
            return 0;
        }
        std::memcpy(buffer, m_Data + m_Pos, n);
        m_Pos += n;
        return n;
    }
    void write(const std::uint8_t*, std::size_t) override {}
    void purgeReceive() override {}
    std::size_t consumed() const { return m_Pos; }

  private:
    const std::uint8_t* m_Data;
    std::size_t m_Size;
    std::size_t m_Pos = 0;
    VirtualClock& m_Clock;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    VirtualClock clock;
    ReplayPort port(data, size, clock);
    SerialChannel channel(port, clock);
    auto table = std::make_unique<SourceTable>();
    const auto end = SourceTableScanner::read(channel, *table);

    require(end != SourceTableScanner::End::None);
    require(table->m_SourceCount >= 0 && table->m_SourceCount <= SourceTable::kMaxRecords);
    if (end == SourceTableScanner::End::ReadFailures) {
        require(table->m_SourceCount == 0);
        require(port.consumed() == size); // it gave up only in the silence after the input
    }
    for (const SourceTableEntry& e : table->m_SourceTable)
        for (const std::string* field :
             {&e.mountpoint, &e.identifier, &e.format, &e.solution, &e.authentication})
            require(field->size() <= SourceTable::kMaxField);
    for (int i = 0; i < table->m_SourceCount; ++i) {
        const std::string& format = table->m_SourceTable[static_cast<std::size_t>(i)].format;
        require(!format.empty() && (format[0] == 'R' || format[0] == 'C'));
    }
    return 0;
}
