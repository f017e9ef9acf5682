#pragma once

namespace tessadorn {

// The mouse cursor of the dialogs: show the wait cursor, remembering the cursor shown before,
// and bring the remembered one back. The dialog surface supplies the implementation.
class WaitCursor {
  public:
    virtual ~WaitCursor() = default;
    virtual void showWait() = 0;
    virtual void restore() = 0;
};

// A cursor that shows nothing (workers without a screen, tests that do not look).
class NoCursor final : public WaitCursor {
  public:
    void showWait() override {}
    void restore() override {}
};

} // namespace tessadorn
