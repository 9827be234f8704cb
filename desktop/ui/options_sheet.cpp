#include "desktop/ui/options_sheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "desktop/desk_texts.h"
#include "desktop/ui/prefs_pages.h"
#include "platform/context.h"

namespace quillet {

COptionsSheet::COptionsSheet(PlatformContext& desktop, WorkingDirectory dir, DeskUiHooks hooks,
                             QWidget* parent)
    : QDialog(parent), env_{desktop, std::move(dir), std::move(hooks)} {
  setObjectName(QStringLiteral("optionsSheet"));
  setWindowTitle(QString::fromLatin1(desk_text::kSheetTitle));
  settings_ = LoadDeskSettings(desktop, env_.dir);

  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("pages"));
  pages_ = {new CPrefsMain(env_, tabs_),    new CPrefsSync(env_, tabs_),
            new CPrefsNetwork(env_, tabs_), new CPrefsModem(env_, tabs_),
            new CPrefsExport(env_, tabs_),  new CPrefsImport(env_, tabs_),
            new CPrefsBackup(env_, tabs_)};
  const char* titles[] = {"Main", "Sync", "Network", "Connect", "Export", "Import", "Backup"};
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    pages_[i]->Load(settings_);
    tabs_->addTab(pages_[i], QString::fromLatin1(titles[i]));
  }
  visited_.insert(0);
  connect(tabs_, &QTabWidget::currentChanged, this, &COptionsSheet::OnTabChanged);
  layout->addWidget(tabs_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &COptionsSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &COptionsSheet::reject);
  layout->addWidget(buttons);
  resize(520, 430);
}

COptionsSheet::~COptionsSheet() = default;

void COptionsSheet::OnTabChanged(int index) {
  if (switching_) return;
  if (!pages_[static_cast<std::size_t>(current_)]->Leave(&settings_)) {
    // The page said why its entries cannot be taken: the user stays on it.
    switching_ = true;
    tabs_->setCurrentIndex(current_);
    switching_ = false;
    return;
  }
  current_ = index;
  visited_.insert(index);
}

void COptionsSheet::accept() {
  if (!pages_[static_cast<std::size_t>(current_)]->Leave(&settings_)) return;
  if (SaveDeskSettings(env_.desktop, env_.dir, settings_) != ERROR_SUCCESS) {
    // The user believes the settings are stored once the sheet closes: say they are not, and
    // let them try again or cancel.
    env_.Message(desk_text::kCannotSave, MB_ICONSTOP);
    return;
  }
  QDialog::accept();
}

}  // namespace quillet
