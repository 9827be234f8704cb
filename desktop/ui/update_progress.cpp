#include "desktop/ui/update_progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "desktop/desk_texts.h"

namespace quillet {
namespace {

constexpr int kLogoPauseMs = 1000;

// The partners' logos are drawn here: a coloured plate with the partner's name on it.
QPixmap LogoPixmap(UINT logo) {
  QPixmap pixmap(120, 36);
  const QColor plate =
      logo == kMakerLogo ? QColor(0x1f, 0x4e, 0x79) : QColor::fromHsv((logo * 47) % 360, 160, 150);
  pixmap.fill(plate);
  QPainter painter(&pixmap);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  const QString name =
      logo == kMakerLogo ? QStringLiteral("Quillet") : QStringLiteral("Partner %1").arg(logo);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, name);
  return pixmap;
}

QString LinkHtml(const char* address) {
  const QString a = QString::fromLatin1(address);
  return QStringLiteral("<a href=\"%1\">%1</a>").arg(a.toHtmlEscaped());
}

void CentreOn(QWidget& window, QWidget* parent) {
  window.adjustSize();
  QRect area;
  if (parent != nullptr) {
    area = parent->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) window.move(area.center() - window.rect().center());
}

}  // namespace

CDeskProgressDlg::CDeskProgressDlg(CancelToken& cancel, const DeskUiHooks& hooks, QWidget* parent)
    : QDialog(parent), token_(cancel) {
  setObjectName(QStringLiteral("deskProgress"));
  setWindowTitle(QString::fromLatin1(desk_text::kCaption));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setMinimumWidth(260);
  animation_ = new QProgressBar(this);
  animation_->setObjectName(QStringLiteral("animation"));
  animation_->setRange(0, 0);  // runs for as long as the window is open
  animation_->setTextVisible(false);
  logo_ = new QLabel(this);
  logo_->setObjectName(QStringLiteral("logo"));
  link_ = new QLabel(this);
  link_->setObjectName(QStringLiteral("partnerLink"));
  link_->setTextFormat(Qt::RichText);
  link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  connect(link_, &QLabel::linkActivated, this,
          [hooks](const QString& address) { hooks.OpenExternal(address); });
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  connect(cancel_, &QPushButton::clicked, this, [this] {
    token_.Cancel();
    close();
  });
  layout->addWidget(status_);
  layout->addWidget(animation_);
  auto* partner = new QHBoxLayout;
  partner->addWidget(logo_);
  partner->addWidget(link_, 1);
  layout->addLayout(partner);
  layout->addWidget(cancel_, 0, Qt::AlignRight);
  ShowPartner(PartnerEntry{kMakerLogo, PartnerOfSource(-1).szAddress});
  CentreOn(*this, parent);
}

bool CDeskProgressDlg::ShowPartner(const PartnerEntry& partner) {
  if (partner.uLogo == logoId_) return false;
  logoId_ = partner.uLogo;
  logo_->setPixmap(LogoPixmap(partner.uLogo));
  link_->setText(LinkHtml(partner.szAddress));
  return true;
}

CDeskProgressWindow::CDeskProgressWindow(CancelToken& cancel, const DeskUiHooks& hooks,
                                         QWidget* parent)
    : cancel_(cancel), dialog_(new CDeskProgressDlg(cancel, hooks, parent)) {
  // A new window starts a fresh run: an earlier Cancel does not carry over.
  cancel_.Clear();
  dialog_->show();
  PumpMessages();
}

CDeskProgressWindow::~CDeskProgressWindow() {
  if (dialog_) delete dialog_.data();
}

void CDeskProgressWindow::PumpMessages() {
  // Everything pending is dispatched (a Cancel among it is seen by the run at its next check).
  if (!cancel_.cancelled()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CDeskProgressWindow::ShowStatus(UINT stringId) {
  if (dialog_) dialog_->status()->setText(QString::fromLatin1(strings::LoadString(stringId)));
  PumpMessages();
}

void CDeskProgressWindow::ShowSource(int source) {
  if (!dialog_ || !dialog_->ShowPartner(PartnerOfSource(source))) return;
  // The partner's logo stays in view for a moment before the requests begin.
  QElapsedTimer shown;
  shown.start();
  while (shown.elapsed() < kLogoPauseMs && !cancel_.cancelled()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(10);
  }
}

CUpdateQuestionDlg::CUpdateQuestionDlg(QWidget* parent)
    : QDialog(parent), remaining_(desk_text::kUpdateQuestionSeconds) {
  setObjectName(QStringLiteral("updateQuestion"));
  setWindowTitle(QString::fromLatin1(desk_text::kCaption));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(QString::fromLatin1(desk_text::kUpdateQuestion), this);
  text->setObjectName(QStringLiteral("question"));
  layout->addWidget(text);
  auto* buttons = new QHBoxLayout;
  yes_ = new QPushButton(QString::fromLatin1(desk_text::kUpdateYes), this);
  yes_->setObjectName(QStringLiteral("yes"));
  no_ = new QPushButton(
      QString::asprintf(desk_text::kUpdateNoCountdown, desk_text::kUpdateQuestionSeconds), this);
  no_->setObjectName(QStringLiteral("no"));
  yes_->setDefault(true);
  buttons->addWidget(yes_);
  buttons->addWidget(no_);
  layout->addLayout(buttons);
  connect(yes_, &QPushButton::clicked, this, &QDialog::accept);
  connect(no_, &QPushButton::clicked, this, &QDialog::reject);
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &CUpdateQuestionDlg::Tick);
  timer_.start();
  CentreOn(*this, parent);
}

void CUpdateQuestionDlg::Tick() {
  if (remaining_ <= 0) {
    timer_.stop();
    reject();
    return;
  }
  --remaining_;
  no_->setText(QString::asprintf(desk_text::kUpdateNoCountdown, remaining_));
}

std::unique_ptr<DeskProgress> CDeskRunWindows::OpenProgress(CancelToken& cancel) {
  return std::make_unique<CDeskProgressWindow>(cancel, hooks_, parent_);
}

bool CDeskRunWindows::AskToUpdate() {
  CUpdateQuestionDlg question(parent_);
  return hooks_.RunModal(question) == QDialog::Accepted;
}

void CDeskRunWindows::PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace quillet
