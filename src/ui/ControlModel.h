#pragma once

#include "layout/DialogTemplate.h"
#include "ui/ControlState.h"
#include "ui/Relayout.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {

// The controls of one dialog, shared by every thread: the dialog's handlers, worker threads
// and the view. Every write takes the model's lock and then tells the observers which control
// changed (by id only; id 0 is the dialog itself: title, title-bar OK, background). Observers
// re-read what they need. Reads never wait for the view.
//
// Writes to a control id the dialog does not have are ignored; reads of one give empty values.
class ControlModel final : public RelayoutTarget {
  public:
    static constexpr int kDialogItem = 0;
    // An edit is read as at most this many characters.
    static constexpr std::size_t kEditReadLimit = 48;

    using Observer = std::function<void(int id)>;

    ControlModel() = default;
    // Controls, their start states and the title from a template.
    explicit ControlModel(const DialogTemplate& tpl);

    ControlModel(const ControlModel&) = delete;
    ControlModel& operator=(const ControlModel&) = delete;

    // The dialog itself.
    std::string title() const;
    void setTitle(std::string_view utf8);
    bool titleOkVisible() const;
    void setTitleOkVisible(bool shown);
    // Background colour of the dialog (0xRRGGBB), or none for the system's colour.
    std::optional<std::uint32_t> background() const;
    void setBackground(std::optional<std::uint32_t> rgb);
    int icon() const;
    void setIcon(int bitmap);

    // Ids in creation (stacking) order.
    std::vector<int> ids() const;
    bool has(int id) const;
    std::optional<ControlState> state(int id) const;

    std::string text(int id) const;
    void setText(int id, std::string_view utf8);
    // Texts in the device code page, converted on the way in and out.
    void setDeviceText(int id, std::string_view device);
    // An edit as the program reads it: at most 48 characters, in the device code page.
    std::string readEdit(int id) const;

    bool visible(int id) const;
    void setVisible(int id, bool shown);
    bool enabled(int id) const;
    void setEnabled(int id, bool on);
    bool checked(int id) const;
    void setChecked(int id, bool on);
    // Flips a check box's mark and returns the new one.
    bool toggleChecked(int id);

    // List box and combo box rows. addItem returns the new row's index, or -1.
    int addItem(int id, std::string_view utf8);
    void clearItems(int id);
    // Replaces every row at once (one change for the view however many rows); no selection.
    void setItems(int id, std::vector<std::string> utf8);
    void deleteItem(int id, int index);
    int itemCount(int id) const;
    std::string itemText(int id, int index) const;
    std::vector<std::string> items(int id) const;
    int selection(int id) const;
    // Selects a row (-1 clears); a combo's edit field takes the row's text. Returns false for a
    // row that does not exist (the selection is then cleared).
    bool setSelection(int id, int index);

    int bitmap(int id) const;
    void setBitmap(int id, int bitmap);

    // Progress bar. stepIt() starts over from the range's bottom when it passes the top.
    void setRange(int id, int low, int high);
    void setStep(int id, int step);
    void setPosition(int id, int position);
    void stepIt(int id);
    int position(int id) const;

    PixelRect rect(int id) const;

    int addObserver(Observer observer);
    // Once this returns, the observer is not running and will not be called again.
    void removeObserver(int token);

    // RelayoutTarget
    bool hasControl(int id) const override { return has(id); }
    void moveControls(const std::vector<Move>& moves) override;
    void setControlText(int id, const std::string& utf8) override { setText(id, utf8); }
    void setControlBitmap(int id, int bitmap) override;
    void reselect(int id) override;

  private:
    ControlState* find(int id);
    const ControlState* find(int id) const;
    // Applies `change` to control `id` under the lock; notifies when it returned true.
    template <typename F> void edit(int id, F change);
    void notify(int id);

    mutable std::mutex m_Mutex;
    std::vector<ControlState> m_Controls;
    std::string m_Title;
    bool m_TitleOk = true;
    std::optional<std::uint32_t> m_Background;
    int m_Icon = 0;

    std::mutex m_ObserverMutex; // held while observers run
    std::vector<std::pair<int, Observer>> m_Observers;
    int m_NextToken = 1;
};

} // namespace tessadorn
