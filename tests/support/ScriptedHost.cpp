#include "ScriptedHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace tessadorn::test {

ScriptedHost::ScriptedHost(const TemplateSource& templates) : DialogRunner(templates) {}

void ScriptedHost::click(int id) {
    postToTop([this, id](Dialog& d) { dispatchCommand(d, id); });
}

void ScriptedHost::select(int id, int index) {
    postToTop([this, id, index](Dialog& d) { dispatchSelection(d, id, index); });
}

void ScriptedHost::type(int id, std::string_view utf8) {
    postToTop([id, text = std::string(utf8)](Dialog& d) {
        const auto state = d.controls().state(id);
        if (!state || !state->visible || !state->enabled) return;
        const bool edit =
            state->kind == ControlKind::Edit ||
            (state->kind == ControlKind::ComboBox && state->hasStyle(StyleDropDownEdit));
        if (!edit || state->hasStyle(StyleReadOnly)) return;
        std::string typed = text;
        if (state->hasStyle(StyleDigitsOnly))
            std::erase_if(typed,
                          [](char c) { return !std::isdigit(static_cast<unsigned char>(c)); });
        d.controls().setText(id, typed);
    });
}

void ScriptedHost::ok() {
    click(kIdOk);
}

void ScriptedHost::cancel() {
    postToTop([](Dialog& d) { d.onCancel(); });
}

void ScriptedHost::turn(int width, int height) {
    postScreenSize(width, height);
}

void ScriptedHost::call(std::function<void(Dialog&)> step) {
    postToTop(std::move(step));
}

void ScriptedHost::answer(int button) {
    std::lock_guard lock(m_BoxMutex);
    m_Answers.push_back(button);
}

int ScriptedHost::messageBox(const MessageBoxRequest& request) {
    std::lock_guard lock(m_BoxMutex);
    int button = request.buttons == MessageButtons::YesNo ? kIdNo : kIdOk;
    if (!m_Answers.empty()) {
        button = m_Answers.front();
        m_Answers.pop_front();
        // Cancel: the box went away unanswered, which any box may.
        const bool offered = button == kIdCancel || (request.buttons == MessageButtons::YesNo
                                                         ? button == kIdYes || button == kIdNo
                                                         : button == kIdOk);
        if (!offered)
            ADD_FAILURE() << "answer " << button << " is not a button of the box \"" << request.text
                          << "\"";
    }
    MessageBoxRequest shown = request;
    if (shown.caption.empty()) shown.caption = kApplicationTitle;
    m_Shown.push_back({std::move(shown), button});
    return button;
}

std::vector<ScriptedHost::ShownBox> ScriptedHost::shownBoxes() const {
    std::lock_guard lock(m_BoxMutex);
    return m_Shown;
}

std::vector<std::string> ScriptedHost::shownTexts() const {
    std::lock_guard lock(m_BoxMutex);
    std::vector<std::string> out;
    for (const auto& b : m_Shown)
        out.push_back(b.request.text);
    return out;
}

std::vector<std::string> ScriptedHost::shownSummaries() const {
    std::lock_guard lock(m_BoxMutex);
    std::vector<std::string> out;
    for (const auto& b : m_Shown)
        out.push_back(b.request.caption + " | " + b.request.text + " | " +
                      (b.request.buttons == MessageButtons::YesNo ? "Yes/No" : "OK"));
    return out;
}

} // namespace tessadorn::test
