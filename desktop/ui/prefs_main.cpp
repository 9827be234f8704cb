#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/desk_texts.h"
#include "desktop/ui/log_viewer.h"
#include "desktop/ui/prefs_pages.h"
#include "platform/context.h"

namespace quillet {

void PrefsEnv::Message(const char* text, unsigned icon) const {
  desktop.messageBoxes().Show(text, desk_text::kCaption, MB_OK | icon);
}

int IndexOfValue(const std::vector<int>& values, int value) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] == value) return static_cast<int>(i);
  }
  return -1;
}

CPrefsMain::CPrefsMain(const PrefsEnv& env, QWidget* parent) : CPrefsPage(env, parent) {
  setObjectName(QStringLiteral("CPrefsMain"));
  auto* layout = new QVBoxLayout(this);
  enable_ = new QCheckBox(QStringLiteral("Enable Synchronization"), this);
  enable_->setObjectName(QStringLiteral("enableSync"));
  ask_ = new QCheckBox(QStringLiteral("Ask if update"), this);
  ask_->setObjectName(QStringLiteral("askUpdate"));
  auto* viewLog = new QPushButton(QStringLiteral("View Log"), this);
  viewLog->setObjectName(QStringLiteral("viewLog"));
  viewLog->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  connect(viewLog, &QPushButton::clicked, this, &CPrefsMain::ViewLog);
  auto* version = new QLabel(QString::fromLatin1(desk_text::kVersion), this);
  version->setObjectName(QStringLiteral("version"));
  auto* link = new QLabel(
      QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromLatin1(desk_text::kMakerSite)),
      this);
  link->setObjectName(QStringLiteral("makerLink"));
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(link, &QLabel::linkActivated, this,
          [this](const QString& url) { env_.hooks.OpenExternal(url); });
  layout->addWidget(enable_);
  layout->addWidget(ask_);
  layout->addSpacing(12);
  layout->addWidget(viewLog);
  layout->addStretch();
  layout->addWidget(version);
  layout->addWidget(link);
}

void CPrefsMain::Load(const DeskSettings& s) {
  enable_->setChecked(s.ConduitEnabled != 0);
  ask_->setChecked(s.bUpdateAsk != 0);
}

bool CPrefsMain::Leave(DeskSettings* s) {
  s->ConduitEnabled = enable_->isChecked() ? 1 : 0;
  s->bUpdateAsk = ask_->isChecked() ? 1 : 0;
  return true;
}

void CPrefsMain::ViewLog() { ViewRunLog(env_.desktop, env_.dir, env_.hooks); }

}  // namespace quillet
