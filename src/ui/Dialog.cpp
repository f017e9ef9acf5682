#include "ui/Dialog.h"

#include "layout/TemplateLibrary.h"
#include "ui/Relayout.h"

namespace tessadorn {

namespace {

std::shared_ptr<ControlModel> modelFor(const DialogHost& host, int templateId) {
    if (const DialogTemplate* tpl = host.findTemplate(templateId))
        return std::make_shared<ControlModel>(*tpl);
    return std::make_shared<ControlModel>();
}

} // namespace

Dialog::Dialog(DialogHost& host, int templateId)
    : m_Host(host), m_TemplateId(templateId), m_Model(modelFor(host, templateId)) {}

Dialog::Dialog(Dialog& parent, int templateId) : Dialog(parent.host(), templateId) {}

int Dialog::messageBox(std::string_view text, std::string_view caption, MessageButtons buttons) {
    MessageBoxRequest request;
    request.text = text;
    request.caption = caption.empty() ? std::string(kApplicationTitle) : std::string(caption);
    request.buttons = buttons;
    return m_Host.messageBox(request);
}

int Dialog::relayoutForScreen(int width, int height) {
    // A dialog without a template pair keeps the template it was created from.
    const int chosen = templateFor(m_TemplateId, width, height);
    const DialogTemplate* tpl = m_Host.findTemplate(chosen != 0 ? chosen : m_TemplateId);
    if (!tpl) return 0;
    return relayout(*m_Model, *tpl);
}

} // namespace tessadorn
