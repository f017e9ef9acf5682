#include "layout/TemplateLibrary.h"

#include "layout/TemplateParser.h"
#include "platform/Resources.h"

#include <array>

namespace tessadorn {

namespace {

constexpr std::array<TemplatePair, 9> kPairs{{
    {103, 102}, // main dialog
    {101, 104}, // current caster selection
    {105, 106}, // source table (mountpoints)
    {107, 108}, // server list
    {110, 109}, // server edit
    {111, 112}, // APN settings
    {141, 140}, // GPS position source
    {178, 177}, // firmware update
    {186, 187}, // relay service
}};

} // namespace

std::span<const TemplatePair> templatePairs() {
    return kPairs;
}

int templateFor(int landscapeId, int screenW, int screenH) {
    for (const auto& pair : kPairs)
        if (pair.landscape == landscapeId) return screenH > screenW ? pair.portrait : landscapeId;
    return 0;
}

TemplateLibrary::TemplateLibrary(std::string_view text) {
    m_Templates = parseTemplates(text, &m_Error);
}

const TemplateLibrary& TemplateLibrary::program() {
    static const TemplateLibrary library = [] {
        const std::string text = resourceBytes(":/dialogs.rc");
        TemplateLibrary parsed(text);
        if (text.empty()) parsed.m_Error = "the dialog templates are missing from the program";
        return parsed;
    }();
    return library;
}

const DialogTemplate* TemplateLibrary::find(int id) const {
    for (const auto& dialog : m_Templates)
        if (dialog.id == id) return &dialog;
    return nullptr;
}

} // namespace tessadorn
