#include "link/SerialChannel.h"

#include "link/TokenMatcher.h"
#include "platform/DebugOutput.h"

#include <algorithm>
#include <vector>

namespace tessadorn {

SerialChannel::SerialChannel(SerialPort& port, Clock& clock) : m_Port(port), m_Clock(clock) {}

int SerialChannel::Open(int baudIndex) {
    // Once the program closes nothing opens the port again (a gone device would only be
    // reported as a failure on the way out).
    dropBuffered();
    // A port fixed at one rate opens at that one, whatever the profile held.
    if (m_Port.fixedBaudIndex() >= 0) baudIndex = m_Port.fixedBaudIndex();
    if (Aborted() || !m_Port.open(baudIndex)) return 0;
    m_OpenIndex = baudIndexForRate(baudRateForIndex(baudIndex));
    return 1;
}

void SerialChannel::Close() {
    dropBuffered();
    m_Port.close();
}

int SerialChannel::ChangeRateInBand(int baudIndex) {
    if (Aborted() || !m_Port.isOpen()) return -1;
    dropBuffered();
    const int moved = m_Port.changeRate(baudIndex);
    if (moved > 0) m_OpenIndex = baudIndexForRate(baudRateForIndex(baudIndex));
    return moved;
}

int SerialChannel::Reopen() {
    if (Aborted()) return 0;
    const int baudIndex = m_OpenIndex.load();
    Close();
    return baudIndex >= 0 ? Open(baudIndex) : 0;
}

bool SerialChannel::nextByte(std::uint8_t& byte) {
    if (m_Next == m_End) {
        m_Next = 0;
        m_End = m_Port.readAvailable(m_Buffer.data(), m_Buffer.size());
        if (m_End == 0) return false;
        m_BytesRead += m_End;
    }
    byte = m_Buffer[m_Next++];
    return true;
}

void SerialChannel::WriteCommand(std::string_view command) {
    if (Aborted()) return; // closing: nothing is written any more
    m_Port.write(reinterpret_cast<const std::uint8_t*>(command.data()), command.size());
    debugLineDevice("OK CMD: ", command);
    const int settle = kWriteSettleMs + m_Port.roundTripMs();
    if (m_Yield.load() == nullptr) {
        if (!DeviceGone()) m_Clock.sleepMs(settle);
        return;
    }
    // An exchange that may yield waits in steps, and not at all once the line is wanted.
    for (int waited = 0; waited < settle && !Interrupted(); waited += kYieldStepMs)
        m_Clock.sleepMs(std::min(kYieldStepMs, settle - waited));
}

int SerialChannel::waitTokens(const std::array<std::string_view, 5>& tokens, std::size_t count,
                              int readLimit, int emptyLimit) {
    TokenSet set;
    switch (count) {
    case 1:
        set = TokenSet{tokens[0]};
        break;
    case 2:
        set = TokenSet{tokens[0], tokens[1]};
        break;
    default:
        set = TokenSet{tokens[0], tokens[1], tokens[2], tokens[3], tokens[4]};
        break;
    }
    int empty = 0;
    for (int reads = 0; reads < readLimit && empty < emptyLimit; ++reads) {
        if (Interrupted()) return 0;
        std::uint8_t byte = 0;
        if (!nextByte(byte)) {
            ++empty;
            continue;
        }
        if (int found = set.feed(byte)) return found;
    }
    return 0;
}

int SerialChannel::WaitToken(std::string_view token) {
    return waitTokens({token}, 1, kDefaultReadLimit, kEmptyReadLimit);
}

int SerialChannel::WaitTokenLimited(std::string_view token, int readLimit) {
    return waitTokens({token}, 1, readLimit, kEmptyReadLimit);
}

int SerialChannel::WaitEither(std::string_view token1, std::string_view token2, int readLimit) {
    return waitTokens({token1, token2}, 2, readLimit, kEmptyReadLimit);
}

int SerialChannel::WaitOneOfFive(const std::array<std::string_view, 5>& tokens) {
    return waitTokens(tokens, 5, kDefaultReadLimit, kOneOfFiveEmptyLimit);
}

int SerialChannel::WaitOneOfFiveLimited(const std::array<std::string_view, 5>& tokens,
                                        int readLimit) {
    return waitTokens(tokens, 5, readLimit, kOneOfFiveLimitedEmptyLimit);
}

int SerialChannel::capture(std::string_view start, std::string_view end, std::string& out,
                           std::size_t capacity, int readLimit, bool skipNul) {
    TokenMatcher startMatcher(start);
    TokenMatcher endMatcher(end);
    const std::size_t keepMax = capacity > 0 ? capacity - 1 : 0;
    bool capturing = false;
    std::size_t captured = 0; // bytes captured, also those past the caller's capacity
    std::string text;
    int empty = 0;
    for (int reads = 0; reads < readLimit && empty < kEmptyReadLimit; ++reads) {
        if (Interrupted()) break;
        std::uint8_t byte = 0;
        if (!nextByte(byte)) {
            ++empty;
            continue;
        }
        if (capturing && !(skipNul && byte == 0)) {
            ++captured;
            if (text.size() < keepMax) text.push_back(static_cast<char>(byte));
        }
        const bool startDone = startMatcher.feed(byte);
        const bool endDone = endMatcher.feed(byte);
        if (startDone) {
            capturing = true;
            captured = 0;
            text.clear();
            continue;
        }
        if (endDone) {
            if (!capturing || captured <= kCaptureCut) {
                out.clear();
                return 0;
            }
            text.resize(std::min(text.size(), captured - kCaptureCut));
            out = std::move(text);
            return 1;
        }
    }
    return 0;
}

int SerialChannel::CaptureLimited(std::string_view start, std::string_view end, std::string& out,
                                  std::size_t capacity, int readLimit) {
    return capture(start, end, out, capacity, readLimit, false);
}

int SerialChannel::Capture(std::string_view start, std::string_view end, std::string& out,
                           std::size_t capacity) {
    return capture(start, end, out, capacity, kDefaultReadLimit, true);
}

int SerialChannel::ReadBlock(std::uint8_t* buffer, std::size_t length) {
    std::size_t have = 0;
    for (int attempt = 0; attempt < kBlockReads; ++attempt) {
        if (Interrupted()) return 0;
        // The buffer's bytes first; a single byte comes from one read into the buffer, a longer
        // block waits for the rest as one read of the port.
        const std::size_t buffered = std::min(Buffered(), length - have);
        std::copy_n(m_Buffer.begin() + static_cast<std::ptrdiff_t>(m_Next), buffered,
                    buffer + have);
        m_Next += buffered;
        have += buffered;
        if (have + 1 == length) {
            if (nextByte(buffer[have])) ++have;
        } else if (have < length) {
            const std::size_t got = m_Port.read(buffer + have, length - have);
            m_BytesRead += got;
            have += got;
        }
        if (have == length) return 1;
        if (Interrupted()) return 0;
        m_Clock.sleepMs(kBlockRetryMs);
    }
    return 0;
}

std::size_t SerialChannel::ReadUpTo(std::uint8_t* buffer, std::size_t length) {
    if (Interrupted()) return 0;
    const std::size_t have = std::min(Buffered(), length);
    std::copy_n(m_Buffer.begin() + static_cast<std::ptrdiff_t>(m_Next), have, buffer);
    m_Next += have;
    if (have == length) return have;
    const std::size_t got = m_Port.read(buffer + have, length - have);
    m_BytesRead += got;
    return have + got;
}

int SerialChannel::Drain(std::size_t threshold) {
    PurgeReceive();
    std::vector<std::uint8_t> block(1024);
    for (std::size_t got = threshold + 1; !Interrupted() && got > threshold;) {
        got = m_Port.read(block.data(), block.size());
        m_BytesRead += got;
    }
    return 1;
}

} // namespace tessadorn
