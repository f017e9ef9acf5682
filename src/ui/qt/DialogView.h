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

class QListWidget;

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
    void applyState(QWidget* widget, const ControlState& state);
    void applyDialog();
    void flush();
    void changed(int id); // any thread
    // Adds the next slice of a list's pending rows; schedules the rest for the next turn.
    void fillList(int id);
    static void selectRow(QListWidget* list, int row);

    // Rows a list box takes a slice at a time, and the row to select once they are all in.
    struct ListFill {
        QStringList rows;
        qsizetype next = 0;
        int selection = -1;
        bool scheduled = false;
    };
    static constexpr qsizetype kListSlice = 1000;
    std::map<int, ListFill> m_ListFills;

    std::uint64_t m_Serial;
    std::shared_ptr<ControlModel> m_Model;
    DialogInput* m_Input;
    SvgBitmaps& m_Bitmaps;
    int m_Scale;
    std::function<void()> m_OnDialogChanged;
    std::map<int, QWidget*> m_Widgets;
    int m_ObserverToken = 0;

    std::mutex m_DirtyMutex;
    std::set<int> m_Dirty;
    bool m_FlushPosted = false;
};

} // namespace tessadorn
