#include "platform/qt/open_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QStringList>

#include "platform/qt/qt_text.h"

namespace spc::qt {

namespace {

// "description|pattern|description|pattern..." as Qt's name filters. Qt
// reads a filter's patterns from the parentheses that end it: a description
// that already ends with its patterns is kept as it is, so that the list shows
// exactly the description; otherwise the patterns are appended.
QStringList NameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    const QString listed = QStringLiteral("(%1)").arg(patterns);
    filters.append(description.endsWith(listed) ? description : QStringLiteral("%1 %2").arg(description, listed));
  }
  return filters;
}

// The file list's type column in French, from the name alone. Qt's own
// provider asks the MIME database, whose texts are English and whose loading
// costs more than the rest of the listing.
class FrenchFileTypes final : public QFileIconProvider {
 public:
  QString type(const QFileInfo& info) const override {
    if (info.isDir()) return info.isRoot() ? QStringLiteral("Disque") : QStringLiteral("Dossier");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("Fichier") : QStringLiteral("Fichier %1").arg(suffix.toUpper());
  }
};

}  // namespace

Status QtOpenDialog::PutProperty(DispId id, const Variant& value) {
  switch (id) {
    case dispid::kFileName:
    case dispid::kDialogTitle:
    case dispid::kFilter: {
      SPC_TRY_ASSIGN(std::u16string text, ToString(value));
      (id == dispid::kFileName ? fileName_ : id == dispid::kDialogTitle ? dialogTitle_ : filter_) = std::move(text);
      return kOk;
    }
    case dispid::kFlags:
      if (value.type == VarType::kI4 || value.type == VarType::kBool) {
        flags_ = value.integer;
        return kOk;
      }
      if (value.type == VarType::kEmpty) {
        flags_ = 0;
        return kOk;
      }
      return Status(code::kTypeMismatch);
    default: return Status(code::kMemberNotFound);
  }
}

Expected<Variant> QtOpenDialog::GetProperty(DispId id) {
  switch (id) {
    case dispid::kFileName: return Variant::String(fileName_);
    case dispid::kDialogTitle: return Variant::String(dialogTitle_);
    case dispid::kFilter: return Variant::String(filter_);
    case dispid::kFlags: return Variant::Int32(flags_);
    default: return Status(code::kMemberNotFound);
  }
}

Status QtOpenDialog::Invoke(DispId id) {
  if (id != dispid::kShowOpen) return Status(code::kMemberNotFound);
  return ShowOpen();
}

Status QtOpenDialog::ShowOpen() {
  FrenchFileTypes fileTypes;
  QFileDialog dialog(owner_ ? owner_() : nullptr);
  dialog.setObjectName(QStringLiteral("CommonDialog1"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setIconProvider(&fileTypes);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setWindowTitle(ToQString(dialogTitle_));
  // One file only. When the file must exist, a typed name of anything else is
  // refused with a warning and the dialog stays open.
  dialog.setFileMode((flags_ & kFlagFileMustExist) != 0 ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  const QStringList filters = NameFilters(ToQString(filter_));
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!fileName_.empty()) dialog.selectFile(ToQString(fileName_));

  auto* buttons = dialog.findChild<QDialogButtonBox*>();
  if ((flags_ & kFlagShowHelp) != 0 && buttons != nullptr) {
    // A Help button with no help behind it: pressing it does nothing.
    buttons->addButton(QDialogButtonBox::Help);
  }
  QCheckBox* readOnly = nullptr;
  auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
  if ((flags_ & kFlagHideReadOnly) == 0 && grid != nullptr) {
    // The read-only option; the launcher never reads it, but the control
    // reports its state in its flags as the Windows dialog does.
    readOnly = new QCheckBox(QStringLiteral("Ouvrir en lecture seule"), &dialog);
    readOnly->setObjectName(QStringLiteral("readOnly"));
    readOnly->setChecked((flags_ & kFlagReadOnly) != 0);
    grid->addWidget(readOnly, grid->rowCount(), 0, 1, grid->columnCount());
  }

  // Modal over the launcher window; returns when the user has closed it.
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted) return kOk;  // a cancel keeps the name it had

  const QStringList chosen = dialog.selectedFiles();
  if (!chosen.isEmpty()) fileName_ = FromQString(chosen.front());
  if (readOnly != nullptr) flags_ = readOnly->isChecked() ? (flags_ | kFlagReadOnly) : (flags_ & ~kFlagReadOnly);
  return kOk;
}

}  // namespace spc::qt
