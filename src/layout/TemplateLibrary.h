#pragma once

#include "layout/DialogTemplate.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {

// The two templates of one dialog: the landscape one it is created from, and the portrait one.
struct TemplatePair {
    int landscape;
    int portrait;
};

// Every dialog's template pair.
std::span<const TemplatePair> templatePairs();

// The template a dialog created from `landscapeId` uses on a screen of the given size: its
// portrait template when the screen is taller than wide, else the landscape one (a square
// screen counts as landscape). 0 when `landscapeId` is no dialog's landscape template.
int templateFor(int landscapeId, int screenW, int screenH);

// A set of parsed dialog templates. The program's own set is compiled in and parsed once.
class TemplateLibrary {
  public:
    // Parses `text`; on bad text the library is empty and error() says why.
    explicit TemplateLibrary(std::string_view text);

    // The program's templates (":/dialogs.rc"), parsed on first use; safe from any thread.
    static const TemplateLibrary& program();

    // The template with this number, or nullptr.
    const DialogTemplate* find(int id) const;

    const std::vector<DialogTemplate>& templates() const { return m_Templates; }
    const std::string& error() const { return m_Error; }

  private:
    std::vector<DialogTemplate> m_Templates;
    std::string m_Error;
};

} // namespace tessadorn
