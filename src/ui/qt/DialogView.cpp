#include "ui/qt/DialogView.h"

#include "ui/qt/DialogInput.h"
#include "ui/qt/GuiJob.h"
#include "ui/qt/PictureWidget.h"

#include <QAbstractListModel>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace tessadorn {

namespace {

QString qt(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Height of a closed combo box: the template gives the dropped-down height.
constexpr int kComboFieldHeight = 21;
// The dialogs' font, in device pixels.
constexpr int kFontPixels = 9;

// The rows of a list box as the control model holds them: a row costs its text and nothing
// more, and a new set of rows is one reset however many there are.
class ListBoxRows final : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_Rows.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
        if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
        return qt(m_Rows[static_cast<std::size_t>(index.row())]);
    }
    const std::vector<std::string>& rows() const { return m_Rows; }
    void setRows(std::vector<std::string> rows) {
        beginResetModel();
        m_Rows = std::move(rows);
        m_Rows.shrink_to_fit();
        endResetModel();
    }

  private:
    std::vector<std::string> m_Rows;
};

} // namespace

DialogView::DialogView(std::uint64_t serial, std::shared_ptr<ControlModel> model,
                       DialogInput* input, SvgBitmaps& bitmaps, int scale, QWidget* parent)
    : QWidget(parent), m_Serial(serial), m_Model(std::move(model)), m_Input(input),
      m_Bitmaps(bitmaps), m_Scale(scale) {
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    m_ObserverToken = m_Model->addObserver([this](int id) { changed(id); });
    build();
}

DialogView::~DialogView() {
    m_Model->removeObserver(m_ObserverToken);
}

void DialogView::setOnDialogChanged(std::function<void()> onChanged) {
    m_OnDialogChanged = std::move(onChanged);
}

QWidget* DialogView::controlWidget(int id) const {
    const auto it = m_Widgets.find(id);
    return it == m_Widgets.end() ? nullptr : it->second;
}

void DialogView::build() {
    QFont f = font();
    f.setPixelSize(kFontPixels * m_Scale);
    setFont(f);
    std::vector<QWidget*> groups, pictureButtons;
    for (int id : m_Model->ids()) {
        if (m_Widgets.count(id)) continue;
        auto state = m_Model->state(id);
        if (!state) continue;
        QWidget* w = create(*state);
        m_Widgets[id] = w;
        if (state->kind == ControlKind::GroupBox) groups.push_back(w);
        if (state->kind == ControlKind::Bitmap && state->hasStyle(StyleNotify))
            pictureButtons.push_back(w);
        applyState(w, *state);
    }
    // Frames lie under everything; picture buttons over the pictures that share their place.
    for (QWidget* g : groups)
        g->lower();
    for (QWidget* p : pictureButtons)
        p->raise();
    applyDialog();
}

QWidget* DialogView::create(const ControlState& s) {
    const int id = s.id;
    const std::uint64_t serial = m_Serial;
    DialogInput* input = m_Input;
    switch (s.kind) {
    case ControlKind::Label: {
        auto* label = new QLabel(this);
        label->setWordWrap(true);
        Qt::Alignment a = Qt::AlignTop;
        a |= s.hasStyle(StyleCenter)  ? Qt::AlignHCenter
             : s.hasStyle(StyleRight) ? Qt::AlignRight
                                      : Qt::AlignLeft;
        label->setAlignment(a);
        label->setTextFormat(Qt::PlainText);
        if (s.hasStyle(StyleBorder)) {
            // A bordered label: a thin line around the text, which keeps clear of it.
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
            label->setLineWidth(1);
            label->setMargin(1);
        }
        return label;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(this);
        button->setAutoDefault(false);
        if (input)
            connect(button, &QPushButton::clicked, this,
                    [input, serial, id] { input->command(serial, id); });
        return button;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(this);
        if (input)
            connect(box, &QCheckBox::clicked, this, [this, box, input, serial, id] {
                // The mark flips on the dialog thread, just before the handler runs.
                box->setChecked(m_Model->checked(id));
                input->command(serial, id);
            });
        return box;
    }
    case ControlKind::Edit: {
        if (s.hasStyle(StyleMultiLine)) {
            auto* edit = new QPlainTextEdit(this);
            edit->setReadOnly(s.hasStyle(StyleReadOnly));
            connect(edit, &QPlainTextEdit::textChanged, this,
                    [this, edit, id] { m_Model->setText(id, edit->toPlainText().toStdString()); });
            return edit;
        }
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(s.hasStyle(StyleReadOnly));
        if (s.hasStyle(StylePassword)) edit->setEchoMode(QLineEdit::Password);
        if (s.hasStyle(StyleDigitsOnly))
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
        connect(edit, &QLineEdit::textEdited, this,
                [this, id](const QString& text) { m_Model->setText(id, text.toStdString()); });
        return edit;
    }
    case ControlKind::ListBox: {
        auto* list = new QListView(this);
        list->setModel(new ListBoxRows(list));
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        // Rows of one height: long lists are laid out without measuring every row.
        list->setUniformItemSizes(true);
        // The selection, not the current row, is what the user chose: focus by Tab makes the
        // first row current without choosing it. Typing a name's first letters selects the first
        // row that starts with them (the list's keyboard search), a click or an arrow the row.
        if (input)
            connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                    [this, list, input, serial, id] {
                        if (m_SelectingRow) return;
                        const auto chosen = list->selectionModel()->selectedRows();
                        if (!chosen.isEmpty()) input->selection(serial, id, chosen.front().row());
                    });
        return list;
    }
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(this);
        combo->setEditable(s.hasStyle(StyleDropDownEdit));
        if (combo->lineEdit())
            connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                    [this, id](const QString& text) { m_Model->setText(id, text.toStdString()); });
        if (input)
            connect(combo, &QComboBox::activated, this,
                    [input, serial, id](int row) { input->selection(serial, id, row); });
        return combo;
    }
    case ControlKind::Bitmap: {
        auto* picture = new PictureWidget(m_Bitmaps, this);
        picture->setScale(m_Scale);
        if (input && s.hasStyle(StyleNotify))
            picture->setOnClick([input, serial, id] { input->command(serial, id); });
        return picture;
    }
    case ControlKind::Progress: {
        auto* bar = new QProgressBar(this);
        bar->setTextVisible(false);
        return bar;
    }
    case ControlKind::GroupBox: {
        auto* group = new QGroupBox(this);
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        return group;
    }
    }
    return new QWidget(this);
}

void DialogView::applyState(QWidget* w, ControlState& s) {
    QRect r(s.rect.x * m_Scale, s.rect.y * m_Scale, s.rect.w * m_Scale, s.rect.h * m_Scale);
    if (s.kind == ControlKind::ComboBox)
        r.setHeight(std::min(r.height(), kComboFieldHeight * m_Scale));
    w->setGeometry(r);
    w->setEnabled(s.enabled);
    const QString text = qt(s.text);
    switch (s.kind) {
    case ControlKind::Label:
        static_cast<QLabel*>(w)->setText(text);
        break;
    case ControlKind::PushButton:
        static_cast<QPushButton*>(w)->setText(text);
        break;
    case ControlKind::CheckBox: {
        auto* box = static_cast<QCheckBox*>(w);
        box->setText(text);
        box->setChecked(s.checked);
        break;
    }
    case ControlKind::Edit:
        if (auto* line = qobject_cast<QLineEdit*>(w)) {
            if (line->text() != text) line->setText(text);
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
            if (plain->toPlainText() != text) {
                const QSignalBlocker block(plain);
                plain->setPlainText(text);
            }
        }
        break;
    case ControlKind::ListBox: {
        auto* list = static_cast<QListView*>(w);
        auto* rows = static_cast<ListBoxRows*>(list->model());
        if (rows->rows() != s.items) {
            // A new set of rows replaces the old in one reset; the view lays out only what it
            // shows, so thousands of rows go in within one turn of the event loop.
            const bool selecting = std::exchange(m_SelectingRow, true);
            rows->setRows(std::move(s.items));
            m_SelectingRow = selecting;
        }
        selectRow(list, s.selection);
        break;
    }
    case ControlKind::ComboBox: {
        auto* combo = static_cast<QComboBox*>(w);
        const QSignalBlocker block(combo);
        QStringList rows;
        for (const auto& item : s.items)
            rows << qt(item);
        bool same = combo->count() == rows.size();
        for (int i = 0; same && i < rows.size(); ++i)
            same = combo->itemText(i) == rows[i];
        if (!same) {
            combo->clear();
            combo->addItems(rows);
        }
        combo->setCurrentIndex(s.selection);
        if (combo->isEditable() && combo->currentText() != text) combo->setEditText(text);
        break;
    }
    case ControlKind::Bitmap: {
        auto* picture = static_cast<PictureWidget*>(w);
        picture->setScale(m_Scale);
        picture->setBitmap(s.bitmap);
        break;
    }
    case ControlKind::Progress: {
        auto* bar = static_cast<QProgressBar*>(w);
        bar->setRange(s.rangeMin, std::max(s.rangeMin, s.rangeMax));
        bar->setValue(s.position);
        break;
    }
    case ControlKind::GroupBox:
        static_cast<QGroupBox*>(w)->setTitle(text);
        break;
    }
    w->setVisible(s.visible);
}

void DialogView::selectRow(QListView* list, int row) {
    const bool selecting = std::exchange(m_SelectingRow, true);
    const QModelIndex index = list->model()->index(row, 0);
    if (index.isValid()) {
        list->setCurrentIndex(index);
        list->scrollTo(index);
    } else {
        list->clearSelection();
    }
    m_SelectingRow = selecting;
}

void DialogView::applyDialog() {
    QPalette p = palette();
    const auto bg = m_Model->background();
    p.setColor(QPalette::Window,
               bg ? QColor::fromRgb(static_cast<QRgb>(*bg)) : QColor(236, 236, 236));
    setPalette(p);
    if (m_OnDialogChanged) m_OnDialogChanged();
}

void DialogView::refresh(int id) {
    if (id == ControlModel::kDialogItem) return applyDialog();
    QWidget* w = controlWidget(id);
    auto state = m_Model->state(id);
    if (w && state) applyState(w, *state);
}

void DialogView::setScale(int scale) {
    if (scale == m_Scale) return;
    m_Scale = scale;
    QFont f = font();
    f.setPixelSize(kFontPixels * m_Scale);
    setFont(f);
    for (const auto& [id, w] : m_Widgets)
        refresh(id);
}

void DialogView::changed(int id) {
    {
        std::lock_guard lock(m_DirtyMutex);
        m_Dirty.insert(id);
        if (m_FlushPosted) return;
        m_FlushPosted = true;
    }
    GuiJob::post(this, [this] { flush(); });
}

void DialogView::flush() {
    std::set<int> dirty;
    {
        std::lock_guard lock(m_DirtyMutex);
        dirty.swap(m_Dirty);
        m_FlushPosted = false;
    }
    for (int id : dirty)
        refresh(id);
}

void DialogView::customEvent(QEvent* event) {
    GuiJob::runIfJob(event);
}

void DialogView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_Input) {
        if (!m_Input->inputBlocked()) m_Input->cancel(m_Serial);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore(); // the screen presses the title-bar OK
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace tessadorn
