#include "device/about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "device/bitmaps.h"

namespace quillet {

CAboutDlg::CAboutDlg(QWidget* parent, std::function<void()> openPartners)
    : CModalDialog(parent, IDD_ABOUTBOX) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(QStringLiteral("About Quillet"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 12, 8, 8);
  auto* picture = new QLabel(this);
  picture->setPixmap(ResourceBitmap(IDB_ABOUT));
  picture->setAlignment(Qt::AlignCenter);
  layout->addWidget(picture);
  auto* name = new QLabel(QStringLiteral("<b>Quillet</b>"), this);
  name->setObjectName(QStringLiteral("programName"));
  name->setAlignment(Qt::AlignCenter);
  QFont big = name->font();
  big.setPixelSize(16);
  name->setFont(big);
  layout->addWidget(name);
  auto* version = new QLabel(QString::fromLatin1(kProgramVersion), this);
  version->setObjectName(QStringLiteral("programVersion"));
  version->setAlignment(Qt::AlignCenter);
  layout->addWidget(version);
  auto* info = new QLabel(
      QStringLiteral("Your stock portfolios in your pocket: profit, change and alerts, with "
                     "prices from the Internet."),
      this);
  info->setWordWrap(true);
  info->setAlignment(Qt::AlignCenter);
  layout->addWidget(info);
  layout->addStretch();
  auto* partners = new QPushButton(QStringLiteral("Partners..."), this);
  partners->setObjectName(QStringLiteral("partnersButton"));
  connect(partners, &QPushButton::clicked, this, [openPartners] {
    if (openPartners) openPartners();
  });
  layout->addWidget(partners);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok);
}

CPartnersDlg::CPartnersDlg(QWidget* parent) : CModalDialog(parent, IDD_PARTNERS) {
  setObjectName(QStringLiteral("partnersDialog"));
  setWindowTitle(QStringLiteral("Partners"));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(QString::fromStdString(strings::LoadString(strings::IDS_PARTNERS)), this);
  text->setObjectName(QStringLiteral("partnersText"));
  text->setWordWrap(true);
  layout->addWidget(text);
  layout->addStretch();
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok);
}

}  // namespace quillet
