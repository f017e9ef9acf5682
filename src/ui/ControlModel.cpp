#include "ui/ControlModel.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <utility>

namespace tessadorn {

ControlModel::ControlModel(const DialogTemplate& tpl) : m_Title(tpl.caption) {
    for (const auto& c : tpl.controls) {
        ControlState s;
        s.id = c.id;
        s.kind = c.kind;
        s.style = c.style;
        s.text = c.text;
        s.bitmap = c.bitmap;
        s.visible = (c.style & StyleHidden) == 0;
        s.enabled = (c.style & StyleDisabled) == 0;
        s.rect = dialogUnitsToPixels(c.rect);
        m_Controls.push_back(std::move(s));
    }
}

ControlState* ControlModel::find(int id) {
    for (auto& c : m_Controls)
        if (c.id == id) return &c;
    return nullptr;
}

const ControlState* ControlModel::find(int id) const {
    for (const auto& c : m_Controls)
        if (c.id == id) return &c;
    return nullptr;
}

template <typename F> void ControlModel::edit(int id, F change) {
    bool changed = false;
    {
        std::lock_guard lock(m_Mutex);
        if (ControlState* c = find(id)) changed = change(*c);
    }
    if (changed) notify(id);
}

void ControlModel::notify(int id) {
    std::lock_guard lock(m_ObserverMutex);
    for (auto& [token, observer] : m_Observers)
        observer(id);
}

int ControlModel::addObserver(Observer observer) {
    std::lock_guard lock(m_ObserverMutex);
    const int token = m_NextToken++;
    m_Observers.emplace_back(token, std::move(observer));
    return token;
}

void ControlModel::removeObserver(int token) {
    std::lock_guard lock(m_ObserverMutex);
    std::erase_if(m_Observers, [token](const auto& o) { return o.first == token; });
}

std::string ControlModel::title() const {
    std::lock_guard lock(m_Mutex);
    return m_Title;
}

void ControlModel::setTitle(std::string_view utf8) {
    {
        std::lock_guard lock(m_Mutex);
        m_Title = utf8;
    }
    notify(kDialogItem);
}

bool ControlModel::titleOkVisible() const {
    std::lock_guard lock(m_Mutex);
    return m_TitleOk;
}

void ControlModel::setTitleOkVisible(bool shown) {
    {
        std::lock_guard lock(m_Mutex);
        if (m_TitleOk == shown) return;
        m_TitleOk = shown;
    }
    notify(kDialogItem);
}

std::optional<std::uint32_t> ControlModel::background() const {
    std::lock_guard lock(m_Mutex);
    return m_Background;
}

void ControlModel::setBackground(std::optional<std::uint32_t> rgb) {
    {
        std::lock_guard lock(m_Mutex);
        m_Background = rgb;
    }
    notify(kDialogItem);
}

int ControlModel::icon() const {
    std::lock_guard lock(m_Mutex);
    return m_Icon;
}

void ControlModel::setIcon(int bitmap) {
    {
        std::lock_guard lock(m_Mutex);
        m_Icon = bitmap;
    }
    notify(kDialogItem);
}

std::vector<int> ControlModel::ids() const {
    std::lock_guard lock(m_Mutex);
    std::vector<int> out;
    for (const auto& c : m_Controls)
        out.push_back(c.id);
    return out;
}

bool ControlModel::has(int id) const {
    std::lock_guard lock(m_Mutex);
    return find(id) != nullptr;
}

std::optional<ControlState> ControlModel::state(int id) const {
    std::lock_guard lock(m_Mutex);
    if (const ControlState* c = find(id)) return *c;
    return std::nullopt;
}

std::string ControlModel::text(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c ? c->text : std::string();
}

void ControlModel::setText(int id, std::string_view utf8) {
    edit(id, [utf8](ControlState& c) {
        if (c.text == utf8) return false;
        c.text = utf8;
        return true;
    });
}

void ControlModel::setDeviceText(int id, std::string_view device) {
    setText(id, deviceToUtf8(device));
}

std::string ControlModel::readEdit(int id) const {
    return utf8ToDeviceLimited(text(id), kEditReadLimit);
}

bool ControlModel::visible(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c && c->visible;
}

void ControlModel::setVisible(int id, bool shown) {
    edit(id, [shown](ControlState& c) { return std::exchange(c.visible, shown) != shown; });
}

bool ControlModel::enabled(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c && c->enabled;
}

void ControlModel::setEnabled(int id, bool on) {
    edit(id, [on](ControlState& c) { return std::exchange(c.enabled, on) != on; });
}

bool ControlModel::checked(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c && c->checked;
}

void ControlModel::setChecked(int id, bool on) {
    edit(id, [on](ControlState& c) { return std::exchange(c.checked, on) != on; });
}

bool ControlModel::toggleChecked(int id) {
    bool now = false;
    edit(id, [&now](ControlState& c) {
        c.checked = !c.checked;
        now = c.checked;
        return true;
    });
    return now;
}

int ControlModel::addItem(int id, std::string_view utf8) {
    int index = -1;
    edit(id, [&](ControlState& c) {
        c.items.emplace_back(utf8);
        index = static_cast<int>(c.items.size()) - 1;
        return true;
    });
    return index;
}

void ControlModel::clearItems(int id) {
    edit(id, [](ControlState& c) {
        c.items.clear();
        c.selection = -1;
        return true;
    });
}

void ControlModel::setItems(int id, std::vector<std::string> utf8) {
    edit(id, [&utf8](ControlState& c) {
        c.items = std::move(utf8);
        c.selection = -1;
        return true;
    });
}

void ControlModel::deleteItem(int id, int index) {
    edit(id, [index](ControlState& c) {
        if (index < 0 || index >= static_cast<int>(c.items.size())) return false;
        c.items.erase(c.items.begin() + index);
        if (c.selection == index)
            c.selection = -1;
        else if (c.selection > index)
            --c.selection;
        return true;
    });
}

int ControlModel::itemCount(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c ? static_cast<int>(c->items.size()) : 0;
}

std::string ControlModel::itemText(int id, int index) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return {};
    return c->items[static_cast<std::size_t>(index)];
}

std::vector<std::string> ControlModel::items(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c ? c->items : std::vector<std::string>{};
}

int ControlModel::selection(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c ? c->selection : -1;
}

bool ControlModel::setSelection(int id, int index) {
    bool valid = false;
    edit(id, [&](ControlState& c) {
        valid = index >= 0 && index < static_cast<int>(c.items.size());
        c.selection = valid ? index : -1;
        if (valid && c.kind == ControlKind::ComboBox)
            c.text = c.items[static_cast<std::size_t>(index)];
        return true;
    });
    return valid || index == -1;
}

int ControlModel::bitmap(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c ? c->bitmap : 0;
}

void ControlModel::setBitmap(int id, int bitmap) {
    edit(id, [bitmap](ControlState& c) { return std::exchange(c.bitmap, bitmap) != bitmap; });
}

void ControlModel::setRange(int id, int low, int high) {
    edit(id, [low, high](ControlState& c) {
        c.rangeMin = low;
        c.rangeMax = high;
        c.position = std::clamp(c.position, low, std::max(low, high));
        return true;
    });
}

void ControlModel::setStep(int id, int step) {
    edit(id, [step](ControlState& c) { return std::exchange(c.step, step) != step; });
}

void ControlModel::setPosition(int id, int position) {
    edit(id, [position](ControlState& c) {
        const int p = std::clamp(position, c.rangeMin, std::max(c.rangeMin, c.rangeMax));
        return std::exchange(c.position, p) != p;
    });
}

void ControlModel::stepIt(int id) {
    edit(id, [](ControlState& c) {
        int p = c.position + c.step;
        const int span = c.rangeMax - c.rangeMin;
        if (span <= 0)
            p = c.rangeMin;
        else if (p > c.rangeMax)
            p = c.rangeMin + (p - c.rangeMax) % span;
        else if (p < c.rangeMin)
            p = c.rangeMax - (c.rangeMin - p) % span;
        c.position = p;
        return true;
    });
}

int ControlModel::position(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c ? c->position : 0;
}

PixelRect ControlModel::rect(int id) const {
    std::lock_guard lock(m_Mutex);
    const ControlState* c = find(id);
    return c ? c->rect : PixelRect{};
}

void ControlModel::moveControls(const std::vector<Move>& moves) {
    std::vector<int> moved;
    {
        std::lock_guard lock(m_Mutex);
        for (const auto& m : moves)
            if (ControlState* c = find(m.id); c && c->rect != m.rect) {
                c->rect = m.rect;
                moved.push_back(m.id);
            }
    }
    for (int id : moved)
        notify(id);
}

void ControlModel::setControlBitmap(int id, int bitmap) {
    edit(id, [bitmap](ControlState& c) {
        c.bitmap = bitmap;
        return true;
    });
}

void ControlModel::reselect(int id) {
    edit(id, [](ControlState&) { return true; });
}

} // namespace tessadorn
