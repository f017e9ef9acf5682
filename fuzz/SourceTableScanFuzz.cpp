// libFuzzer target for the source-table scan (built by scripts/fuzz.sh).
//
// Any bytes the modem could relay after "CMD_OK", then silence: the scan ends (at the end
// marker, an error token or the fifth failed read), stores at most 10 000 records and 8 MiB of
// fields of at most 99 bytes, keeps only rows whose format begins with "R" or "C", counts the
// rows it could not hold, and leaves nothing after a give-up. Every row kept reads by its named
// fields with coordinates in range and a place only where both coordinates are.
#include "modem/SourceRow.h"
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
    // What the port holds comes in one read, as from a fast line.
    std::size_t readAvailable(std::uint8_t* buffer, std::size_t capacity) override {
        return read(buffer, capacity);
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
    const int count = table->count();
    require(count >= 0 && count <= SourceTable::kMaxRecords);
    require(table->bytes() <= SourceTable::kMaxBytes);
    require(table->leftOut() >= 0);
    if (end == SourceTableScanner::End::ReadFailures) {
        require(count == 0 && table->leftOut() == 0);
        require(port.consumed() == size); // it gave up only in the silence after the input
    }
    std::size_t bytes = 0;
    for (int i = 0; i < count; ++i) {
        for (int n = 1; n <= SourceTableEntry::kFields; ++n) {
            const std::size_t length = table->field(i, n).size();
            require(length <= SourceTable::kMaxField);
            bytes += length;
        }
        const std::string_view format = table->field(i, 3);
        require(!format.empty() && (format[0] == 'R' || format[0] == 'C'));
        require(table->entry(i).format == format);
        const SourceRow row = SourceRow::read(*table, i);
        require(!row.latitude || (*row.latitude >= -90 && *row.latitude <= 90));
        require(!row.longitude || (*row.longitude >= -180 && *row.longitude <= 180));
        require(!row.place || (row.latitude && row.longitude && !row.networkSolution()));
        require(!row.mountpoint.empty() || table->mountpoint(i).empty());
    }
    require(bytes == table->bytes());
    // Rows the table could not hold were all STR rows after the last one kept.
    require(table->leftOut() == 0 || size >= 4 * static_cast<std::size_t>(table->leftOut()));
    return 0;
}
