#pragma once

#include "ui/ControlModel.h"

#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>

class QListView;

namespace tessadorn {

class DialogInput;
class SvgBitmaps;

// The window of one running dialog on the device screen: a Qt widget for every control of its
// model. It observes the model from any thread and redraws on the GUI thread; what the user
// does goes to the DialogInput with the dialog's serial number (never straight to a handler).
// Without an input the dialog is only shown.
class DialogView final : public QWidget {
  public:
    DialogView(std::uint64_t serial, std::shared_ptr<ControlModel> model, DialogInput* input,
               SvgBitmaps& bitmaps, int scale, QWidget* parent);
    ~DialogView() override;

    std::uint64_t serial() const { return m_Serial; }
    const std::shared_ptr<ControlModel>& model() const { return m_Model; }
    void setScale(int scale);
    // Called when the title, the title-bar OK or the background changed.
    void setOnDialogChanged(std::function<void()> onChanged);
    // The widget showing a control (for tests), or nullptr.
    QWidget* controlWidget(int id) const;

  protected:
    void customEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void build();
    QWidget* create(const ControlState& state);
    void refresh(int id);
    void applyState(QWidget* widget, ControlState& state);
    void applyDialog();
    void flush();
    void changed(int id); // any thread
    void selectRow(QListView* list, int row);

    std::uint64_t m_Serial;
    std::shared_ptr<ControlModel> m_Model;
    DialogInput* m_Input;
    SvgBitmaps& m_Bitmaps;
    int m_Scale;
    std::function<void()> m_OnDialogChanged;
    std::map<int, QWidget*> m_Widgets;
    int m_ObserverToken = 0;
    // Set while the view itself moves a list's selection: the user chose nothing then.
    bool m_SelectingRow = false;

    std::mutex m_DirtyMutex;
    std::set<int> m_Dirty;
    bool m_FlushPosted = false;
};

} // namespace tessadorn
