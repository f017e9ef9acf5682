#pragma once

#include "layout/DialogTemplate.h"

#include <map>

namespace tessadorn {

// Where the dialog templates come from.
class TemplateSource {
  public:
    virtual ~TemplateSource() = default;
    // nullptr when there is no template of that number.
    virtual const DialogTemplate* findTemplate(int id) const = 0;
};

// Templates held in memory (built by hand or copied from a parsed file).
class TemplateSet final : public TemplateSource {
  public:
    void add(DialogTemplate tpl) { m_Templates[tpl.id] = std::move(tpl); }
    const DialogTemplate* findTemplate(int id) const override {
        const auto it = m_Templates.find(id);
        return it == m_Templates.end() ? nullptr : &it->second;
    }

  private:
    std::map<int, DialogTemplate> m_Templates;
};

} // namespace tessadorn
