#pragma once

#include "layout/TemplateLibrary.h"
#include "ui/TemplateSource.h"

namespace tessadorn::test {

// The program's own dialog templates, as a template source for a ScriptedHost.
inline TemplateSet programTemplates() {
    TemplateSet set;
    for (const auto& t : TemplateLibrary::program().templates())
        set.add(t);
    return set;
}

} // namespace tessadorn::test
