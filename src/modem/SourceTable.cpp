#include "modem/SourceTable.h"

#include "platform/TextCodec.h"

#include <algorithm>

namespace tessadorn {

namespace {
// Whether `bytes` are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool validUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const std::size_t n = b < 0x80         ? 1
                              : (b >> 5) == 6  ? 2
                              : (b >> 4) == 14 ? 3
                              : (b >> 3) == 30 ? 4
                                               : 0;
        if (n == 0 || i + n > bytes.size()) return false;
        std::uint32_t c = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(bytes[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}
} // namespace

std::string* SourceTableEntry::field(int number) {
    std::string* const fields[kFields] = {
        &mountpoint, &identifier,  &format,         &formatDetails, &carrier, &navSystem,
        &network,    &country,     &latitude,       &longitude,     &nmea,    &solution,
        &generator,  &compression, &authentication, &fee,           &bitrate};
    return number >= 1 && number <= kFields ? fields[number - 1] : nullptr;
}

const std::string* SourceTableEntry::field(int number) const {
    return const_cast<SourceTableEntry*>(this)->field(number);
}

std::size_t SourceTable::fieldStart(const Row& row, int number) const {
    return number == 1 ? 0 : row.ends[static_cast<std::size_t>(number - 2)];
}

std::string_view SourceTable::field(int index, int number) const {
    if (index < 0 || index >= count() || number < 1 || number > SourceTableEntry::kFields)
        return {};
    const Row& row = m_Rows[static_cast<std::size_t>(index)];
    const std::string& block = m_Blocks[row.block];
    const std::size_t from = fieldStart(row, number);
    const std::size_t to = row.ends[static_cast<std::size_t>(number - 1)];
    return std::string_view(block).substr(row.offset + from, to - from);
}

SourceTableEntry SourceTable::entry(int index) const {
    SourceTableEntry e;
    for (int n = 1; n <= SourceTableEntry::kFields; ++n)
        e.field(n)->assign(field(index, n));
    return e;
}

int SourceTable::findTyped(std::string_view utf8) const {
    for (int i = 0; i < count(); ++i) {
        const std::string_view name = mountpoint(i);
        if (validUtf8(name) ? name == utf8 : deviceToUtf8(name) == utf8) return i;
    }
    return -1;
}

void SourceTable::clear() {
    m_Blocks.clear();
    m_Rows.clear();
    m_Bytes = 0;
    m_LeftOut = 0;
}

bool SourceTable::add(const SourceTableEntry& entry) {
    std::size_t size = 0;
    for (int n = 1; n <= SourceTableEntry::kFields; ++n)
        size += std::min(entry.field(n)->size(), kMaxField);
    // Once a row is left out so is every later one: the table keeps the caster's first rows.
    if (m_LeftOut > 0 || count() >= kMaxRecords || m_Bytes + size + kTail > kMaxBytes) {
        ++m_LeftOut;
        return false;
    }
    if (m_Blocks.empty() || m_Blocks.back().size() + size + kTail > kBlock) {
        m_Blocks.emplace_back().reserve(kBlock);
    }
    std::string& block = m_Blocks.back();
    Row row;
    row.block = static_cast<std::uint32_t>(m_Blocks.size() - 1);
    row.offset = static_cast<std::uint32_t>(block.size());
    for (int n = 1; n <= SourceTableEntry::kFields; ++n) {
        const std::string& f = *entry.field(n);
        block.append(f, 0, kMaxField);
        row.ends[static_cast<std::size_t>(n - 1)] =
            static_cast<std::uint16_t>(block.size() - row.offset);
    }
    m_Bytes += size;
    m_Rows.push_back(row);
    return true;
}

std::size_t SourceTable::appendToLast(int number, std::string_view bytes) {
    if (m_Rows.empty() || (number != 16 && number != 17)) return 0;
    Row& row = m_Rows.back();
    auto& ends = row.ends;
    const std::size_t end = ends[static_cast<std::size_t>(number - 1)];
    if (end != ends.back()) return 0; // a later field already holds bytes
    const std::size_t have = end - fieldStart(row, number);
    const std::size_t take = std::min(bytes.size(), kMaxField - std::min(have, kMaxField));
    std::string& block = m_Blocks[row.block];
    block.append(bytes.substr(0, take)); // within the room kept after the row
    for (int n = number; n <= SourceTableEntry::kFields; ++n)
        ends[static_cast<std::size_t>(n - 1)] = static_cast<std::uint16_t>(end + take);
    m_Bytes += take;
    return take;
}

void SourceTable::truncateLast(int number, std::size_t length) {
    if (m_Rows.empty() || (number != 16 && number != 17)) return;
    Row& row = m_Rows.back();
    auto& ends = row.ends;
    const std::size_t end = ends[static_cast<std::size_t>(number - 1)];
    if (end != ends.back()) return;
    const std::size_t start = fieldStart(row, number);
    if (start + length >= end) return;
    const std::size_t cut = end - (start + length);
    std::string& block = m_Blocks[row.block];
    block.resize(block.size() - cut);
    for (int n = number; n <= SourceTableEntry::kFields; ++n)
        ends[static_cast<std::size_t>(n - 1)] = static_cast<std::uint16_t>(start + length);
    m_Bytes -= cut;
}

} // namespace tessadorn
