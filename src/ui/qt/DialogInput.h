#pragma once

#include <cstdint>

namespace tessadorn {

// Where the view sends what the user does to a dialog (the host's dialog thread).
class DialogInput {
  public:
    virtual ~DialogInput() = default;
    virtual void command(std::uint64_t serial, int id) = 0;
    virtual void selection(std::uint64_t serial, int id, int index) = 0;
    virtual void cancel(std::uint64_t serial) = 0;
    // True while the wait cursor shows: clicks and keys on the dialogs are dropped.
    virtual bool inputBlocked() const = 0;
    // Escape while input is blocked: a long piece of work may hear it (see
    // DialogHost::setEscapeWhileBusy).
    virtual void escapeWhileBlocked() = 0;
};

} // namespace tessadorn
