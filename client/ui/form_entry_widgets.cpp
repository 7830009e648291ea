#include "form_entry_widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "control_mirror.h"
#include "text_box_value.h"
#include "widget_look.h"

namespace orvik::client {
namespace {

constexpr const char* kEntryProperty = "entryNumber";
// A text box without a length of its own takes as much as a line edit does.
constexpr int kNoMaxLength = 32767;

QPushButton* FnButton(QWidget* form) {
  auto* button = new QPushButton(form);
  button->hide();
  return button;
}

}  // namespace

FormEntryWidgets::FormEntryWidgets(QWidget* form, ScreenFormCore& core,
                                   std::function<bool(QKeyEvent*)> formKey)
    : QObject(form),
      form_(form),
      core_(core),
      formKey_(std::move(formKey)),
      fnExit_(FnButton(form)),
      fnQuit_(FnButton(form)),
      fnFile_(FnButton(form)),
      fnScreenPrint_(FnButton(form)),
      fnSearch_(FnButton(form)) {
  const auto after = [this](auto call) {
    return [this, call] {
      call();
      Mirror();
    };
  };
  connect(fnExit_, &QPushButton::clicked, this, after([this] { core_.Menu().FnExit(); }));
  connect(fnQuit_, &QPushButton::clicked, this, after([this] { core_.Menu().FnQuit(); }));
  connect(fnFile_, &QPushButton::clicked, this, after([this] { core_.Entries().FnFile(); }));
  connect(fnScreenPrint_, &QPushButton::clicked, this,
          after([this] { core_.Entries().FnScreenPrint(); }));
  connect(fnSearch_, &QPushButton::clicked, this, after([this] { core_.FnSearchClick(); }));
  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget*, QWidget* now) { FocusChanged(now); });
}

std::int32_t FormEntryWidgets::EntryOf(const QWidget* widget) const {
  for (const QWidget* w = widget; w != nullptr && w != form_; w = w->parentWidget()) {
    const QVariant entry = w->property(kEntryProperty);
    if (entry.isValid()) return entry.toInt();
  }
  return -1;
}

// Qt moves the focus at once; the original's handlers ran from its message pump, the old
// control's validation before the new one's got-focus. So the move reaches the core queued.
void FormEntryWidgets::FocusChanged(QWidget* now) {
  if (now == nullptr || !form_->isAncestorOf(now)) return;  // another window: no validation
  const std::int32_t entry = EntryOf(now);
  QMetaObject::invokeMethod(
      this,
      [this, entry] {
        core_.Entries().FocusMoved(entry);
        Mirror();
      },
      Qt::QueuedConnection);
}

QWidget* FormEntryWidgets::Make(ControlKind kind, std::int32_t entry) {
  QWidget* widget = nullptr;
  EntryTransmit& entries = core_.Entries();
  const auto edited = [this, &entries, entry](const std::string& text) {
    entries.EntryEdited(entry, text);
    Mirror();
  };
  const auto typed = [this, edited](QLineEdit* box, const QString& text) {
    edited(TextBoxValue(box, text, core_, [this] { Mirror(); }));
  };
  switch (kind) {
    case ControlKind::kComboBox: {
      auto* combo = new QComboBox(form_);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      connect(combo, &QComboBox::editTextChanged, this,
              [typed, combo](const QString& text) { typed(combo->lineEdit(), text); });
      widget = combo;
      break;
    }
    case ControlKind::kCheckBox: {
      auto* check = new QCheckBox(form_);
      connect(check, &QCheckBox::clicked, this,
              [edited](bool checked) { edited(checked ? "1" : "0"); });
      widget = check;
      break;
    }
    case ControlKind::kButton: {
      auto* button = new QPushButton(form_);
      connect(button, &QPushButton::clicked, this, [this, entry] {
        core_.Entries().CommandClick(entry);
        Mirror();
      });
      widget = button;
      break;
    }
    default: {
      auto* edit = new QLineEdit(form_);
      connect(edit, &QLineEdit::textEdited, this,
              [typed, edit](const QString& text) { typed(edit, text); });
      widget = edit;
      break;
    }
  }
  widget->setProperty(kEntryProperty, entry);
  widget->installEventFilter(this);
  widget->hide();
  return widget;
}

QWidget* FormEntryWidgets::Entry(std::int32_t entry) const {
  return entry >= 0 && entry < static_cast<std::int32_t>(entries_.size())
             ? entries_[static_cast<std::size_t>(entry)].data()
             : nullptr;
}

void FormEntryWidgets::Mirror() {
  FormControls& controls = core_.Controls();
  MirrorButton(fnExit_, controls.fnExit);
  MirrorButton(fnQuit_, controls.fnQuit);
  MirrorButton(fnFile_, controls.fnFile);
  MirrorButton(fnScreenPrint_, controls.fnScreenPrint);
  MirrorButton(fnSearch_, controls.fnSearch);
  std::vector<ControlRecord>& records = controls.entries;
  for (std::size_t e = records.size(); e < entries_.size(); ++e) {
    if (entries_[e]) entries_[e]->hide();
  }
  if (entries_.size() < records.size()) {
    entries_.resize(records.size());
    kinds_.resize(records.size(), ControlKind::kLabel);
  }
  for (std::size_t e = 0; e < records.size(); ++e) {
    ControlRecord& record = records[e];
    QPointer<QWidget>& widget = entries_[e];
    if (!widget || kinds_[e] != record.kind) {
      delete widget.data();
      widget = Make(record.kind, static_cast<std::int32_t>(e));
      kinds_[e] = record.kind;
    }
    const QSignalBlocker blocker(widget.data());
    const QString text = FromLatin1(record.caption);
    if (auto* edit = qobject_cast<QLineEdit*>(widget.data())) {
      if (edit->text() != text) edit->setText(text);
      // Setting the length sets the text again, losing the selection: only when it changed.
      const int maxLength = record.maxLength > 0 ? record.maxLength : kNoMaxLength;
      if (edit->maxLength() != maxLength) edit->setMaxLength(maxLength);
      edit->setReadOnly(record.locked);
      edit->setAlignment(QtAlignment(record.alignment) & Qt::AlignHorizontal_Mask);
      MirrorCommon(edit, record);
      QPalette palette = edit->palette();
      palette.setColor(QPalette::Base, QtColour(record.backColour));
      palette.setColor(QPalette::Text, QtColour(record.foreColour));
      edit->setPalette(palette);
      if (record.selectAll && edit->hasFocus()) edit->selectAll();
    } else if (auto* combo = qobject_cast<QComboBox*>(widget.data())) {
      QStringList items;
      for (const std::string& item : record.list) items << FromLatin1(item);
      QStringList shown;
      for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
      if (shown != items) {
        combo->clear();
        combo->addItems(items);
      }
      if (combo->currentText() != text) combo->setEditText(text);
      combo->lineEdit()->setReadOnly(record.locked);
      MirrorCommon(combo, record);
      if (record.selectAll && combo->hasFocus()) combo->lineEdit()->selectAll();
    } else if (auto* check = qobject_cast<QCheckBox*>(widget.data())) {
      check->setTristate(record.value == 2);
      check->setCheckState(record.value == 0   ? Qt::Unchecked
                           : record.value == 2 ? Qt::PartiallyChecked
                                               : Qt::Checked);
      MirrorButton(check, record);
    } else if (auto* button = qobject_cast<QPushButton*>(widget.data())) {
      MirrorButton(button, record);
    }
    if (widget->hasFocus()) record.selectAll = false;
  }
}

bool FormEntryWidgets::Focus(std::int32_t entry) {
  Mirror();
  QWidget* widget = Entry(entry);
  if (widget == nullptr || !widget->isVisibleTo(form_) || !widget->isEnabled()) return false;
  widget->setFocus(Qt::OtherFocusReason);
  return true;
}

bool FormEntryWidgets::PressCancel() {
  const FormControls& controls = core_.Controls();
  if (controls.fnQuitIsCancel && fnQuit_->isVisible() && fnQuit_->isEnabled()) {
    fnQuit_->click();
    return true;
  }
  if (controls.fnExit.isCancel && fnExit_->isVisible() && fnExit_->isEnabled()) {
    fnExit_->click();
    return true;
  }
  return false;
}

bool FormEntryWidgets::eventFilter(QObject* watched, QEvent* event) {
  // The form sees an entry's keys first; Tab is a key of the screen, not a focus move.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (formKey_(key)) return true;
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace orvik::client
