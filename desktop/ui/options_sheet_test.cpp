// The options sheet driven as a user drives it: controls found by name, modal dialogs answered
// by script, and what it leaves in the settings file read back with DeskSettings.
#include "desktop/ui/options_sheet.h"

#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <cstring>
#include <deque>

#include "core/string_table.h"
#include "desktop/desk_texts.h"
#include "desktop/ui/desk_dialogs.h"
#include "desktop/ui/help_note.h"
#include "platform/codepage.h"
#include "platform/linux/posix_file_system.h"
#include "platform/ras.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

enum Page { kMain, kSync, kNetwork, kConnect, kExport, kImport, kBackup };

class OptionsSheetTest : public ::testing::Test {
 protected:
  PosixFileSystem disk;  // the host's files, where the test puts and reads them
  void SetUp() override {
    ASSERT_EQ(root.ctx->registry().SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                                             u"C:\\Program Files\\Microsoft ActiveSync\\"),
              0);
    dir = *FindWorkingDirectory(*root.ctx);
    ini = dir.hostPath + "/Quillet.ini";
  }

  // A sheet whose modal dialogs are answered, in turn, by `dialogs` (Cancel when none is left).
  std::unique_ptr<COptionsSheet> Open() {
    DeskUiHooks hooks;
    hooks.runModal = [this](QDialog& d) {
      shown.push_back(d.objectName().toStdString());
      if (dialogs.empty()) return static_cast<int>(QDialog::Rejected);
      auto answer = std::move(dialogs.front());
      dialogs.pop_front();
      return answer(d);
    };
    hooks.openExternal = [this](const QString& target) {
      opened.push_back(target.toStdString());
      return true;
    };
    return std::make_unique<COptionsSheet>(*root.ctx, dir, hooks);
  }
  template <class W>
  W* Find(COptionsSheet& sheet, const char* name) {
    W* w = sheet.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Save(const DeskSettings& s) { ASSERT_EQ(SaveDeskSettings(*root.ctx, dir, s), 0); }
  DeskSettings Saved() { return LoadDeskSettings(*root.ctx, dir); }
  std::string Bytes() {
    std::string bytes;
    return disk.ReadAll(ini, &bytes) ? "<none>" : bytes;
  }
  static bool Ok(COptionsSheet& sheet) {
    sheet.findChild<QPushButton*>(QStringLiteral("ok"))->click();
    return sheet.result() == QDialog::Accepted;
  }
  std::vector<std::string> Messages() const { return root.answers.texts(); }

  testing::TestRoot root{PlatformContext::Kind::kDesktop};
  WorkingDirectory dir;
  std::string ini;
  std::deque<std::function<int(QDialog&)>> dialogs;
  std::vector<std::string> shown;
  std::vector<std::string> opened;
};

TEST_F(OptionsSheetTest, WhatEveryPageShowsIsWhatOkSaves) {
  ASSERT_EQ(RasAddEntry(root.ctx->registry(), u"My ISP", u"5551234"), 0u);
  ASSERT_EQ(RasAddEntry(root.ctx->registry(), u"Office", u"5559876"), 0u);
  auto sheet = Open();
  EXPECT_EQ(sheet->windowTitle(), "Quillet - Sync preferences");
  QStringList titles;
  for (int i = 0; i < sheet->tabs()->count(); ++i) titles << sheet->tabs()->tabText(i);
  EXPECT_EQ(titles.join(','), "Main,Sync,Network,Connect,Export,Import,Backup");

  Find<QCheckBox>(*sheet, "enableSync")->click();
  Find<QCheckBox>(*sheet, "askUpdate")->click();
  sheet->tabs()->setCurrentIndex(kSync);
  Find<QRadioButton>(*sheet, "syncEvery")->click();
  Find<QComboBox>(*sheet, "syncEveryList")->setCurrentIndex(5);  // 1 Hour
  Find<QCheckBox>(*sheet, "onlyBetween")->click();
  Find<QComboBox>(*sheet, "fromHour")->setCurrentIndex(7);
  Find<QComboBox>(*sheet, "toHour")->setCurrentIndex(10);
  sheet->tabs()->setCurrentIndex(kNetwork);
  Find<QCheckBox>(*sheet, "useProxy")->click();
  Find<QLineEdit>(*sheet, "proxyHost")->setText("http://proxy.example");
  Find<QLineEdit>(*sheet, "proxyPort")->setText("3128");
  dialogs.push_back([](QDialog& d) {
    auto& auth = dynamic_cast<CProxyAuthDialog&>(d);
    auth.user()->setText("anna");
    auth.password()->setText(QString(25, 'p'));  // the field takes 19
    return static_cast<int>(QDialog::Accepted);
  });
  Find<QCheckBox>(*sheet, "proxyAuth")->click();
  sheet->tabs()->setCurrentIndex(kConnect);
  Find<QRadioButton>(*sheet, "modem")->click();
  Find<QComboBox>(*sheet, "rasProfile")->setCurrentIndex(1);
  Find<QCheckBox>(*sheet, "hangup")->click();
  sheet->tabs()->setCurrentIndex(kExport);
  Find<QComboBox>(*sheet, "exportWhen")->setCurrentIndex(3);
  Find<QCheckBox>(*sheet, "exportChart")->click();
  Find<QComboBox>(*sheet, "separator")->setCurrentIndex(2);
  sheet->tabs()->setCurrentIndex(kImport);
  Find<QComboBox>(*sheet, "importFormat")->setCurrentIndex(1);
  sheet->tabs()->setCurrentIndex(kBackup);
  Find<QComboBox>(*sheet, "backupEvery")->setCurrentIndex(1);
  ASSERT_TRUE(Ok(*sheet));
  EXPECT_EQ(shown, std::vector<std::string>{"proxyAuthDialog"});

  DeskSettings s = Saved();
  EXPECT_EQ(s.ConduitEnabled, 0);
  EXPECT_EQ(s.bUpdateAsk, 1);
  EXPECT_EQ(s.ucSyncMode, 1);
  EXPECT_EQ(s.ucSyncEvery, 60);
  EXPECT_EQ(s.ucSyncInterval, 1);
  EXPECT_EQ(s.ucSyncIntervalFrom, 8);
  EXPECT_EQ(s.ucSyncIntervalTo, 11);
  EXPECT_EQ(s.bUseProxy, 1);
  EXPECT_STREQ(s.proxyAddress, "proxy.example");
  EXPECT_EQ(s.proxyPort, 3128);
  EXPECT_EQ(s.bProxyAuth, 1);
  EXPECT_STREQ(s.proxyUser, "anna");
  EXPECT_EQ(std::string(s.proxyPasswd), std::string(19, 'p'));
  EXPECT_EQ(s.ucProxyType, 0);
  EXPECT_EQ(s.bConnectMethod, 1);
  EXPECT_STREQ(s.szRasEntry, "Office");
  EXPECT_EQ(s.bHangupModem, 1);
  EXPECT_EQ(s.BackupTime, 3);
  EXPECT_EQ(s.bExportChart, 1);
  EXPECT_EQ(s.ucExportSep, 2);
  EXPECT_EQ(s.ucImportFormat, 1);
  EXPECT_EQ(s.BackupMode, 1);

  // Opened again, the sheet shows the file as it is, and OK alone changes nothing.
  const std::string before = Bytes();
  auto again = Open();
  EXPECT_FALSE(Find<QCheckBox>(*again, "enableSync")->isChecked());
  EXPECT_EQ(Find<QLineEdit>(*again, "proxyHost")->text(), "proxy.example");
  EXPECT_EQ(Find<QComboBox>(*again, "rasProfile")->currentText(), "Office");
  for (int i = 0; i < again->tabs()->count(); ++i) again->tabs()->setCurrentIndex(i);
  ASSERT_TRUE(Ok(*again));
  EXPECT_EQ(Bytes(), before);
}

TEST_F(OptionsSheetTest, CancelKeepsTheFileAsItWas) {
  auto fresh = Open();
  Find<QCheckBox>(*fresh, "askUpdate")->click();
  fresh->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
  EXPECT_EQ(fresh->result(), QDialog::Rejected);
  EXPECT_EQ(Bytes(), "<none>");

  DeskSettings s = Saved();
  s.BackupMode = 2;
  Save(s);
  const std::string before = Bytes();
  auto sheet = Open();
  Find<QCheckBox>(*sheet, "enableSync")->click();
  sheet->tabs()->setCurrentIndex(kBackup);
  Find<QComboBox>(*sheet, "backupEvery")->setCurrentIndex(6);
  sheet->tabs()->setCurrentIndex(kMain);
  sheet->reject();
  EXPECT_EQ(Bytes(), before);
}

TEST_F(OptionsSheetTest, TheScheduleControlsEnableEachOtherAndKeepWhatTheyCannotShow) {
  DeskSettings s = Saved();
  s.ucSyncEvery = 45;
  s.ucSyncIntervalTo = 12;
  Save(s);
  auto sheet = Open();
  sheet->tabs()->setCurrentIndex(kSync);
  auto* every = Find<QComboBox>(*sheet, "syncEveryList");
  auto* between = Find<QCheckBox>(*sheet, "onlyBetween");
  auto* from = Find<QComboBox>(*sheet, "fromHour");
  auto* to = Find<QComboBox>(*sheet, "toHour");
  EXPECT_TRUE(Find<QRadioButton>(*sheet, "syncOnSync")->isChecked());
  EXPECT_EQ(every->currentIndex(), -1);
  EXPECT_EQ(to->currentIndex(), -1);
  EXPECT_EQ(from->currentText(), "9");
  EXPECT_FALSE(every->isEnabled());
  EXPECT_FALSE(between->isEnabled());
  EXPECT_FALSE(from->isEnabled());

  Find<QRadioButton>(*sheet, "syncEvery")->click();
  EXPECT_TRUE(every->isEnabled());
  EXPECT_TRUE(between->isEnabled());
  EXPECT_FALSE(from->isEnabled());
  between->click();
  EXPECT_TRUE(from->isEnabled());
  EXPECT_TRUE(to->isEnabled());
  Find<QRadioButton>(*sheet, "syncOnSync")->click();
  EXPECT_FALSE(between->isEnabled());
  EXPECT_FALSE(to->isEnabled());

  ASSERT_TRUE(Ok(*sheet));
  EXPECT_EQ(Saved().ucSyncEvery, 45);
  EXPECT_EQ(Saved().ucSyncIntervalTo, 12);
  EXPECT_EQ(Saved().ucSyncInterval, 1);

  auto picked = Open();
  picked->tabs()->setCurrentIndex(kSync);
  Find<QComboBox>(*picked, "syncEveryList")->setCurrentIndex(0);
  ASSERT_TRUE(Ok(*picked));
  EXPECT_EQ(Saved().ucSyncEvery, 2);
}

TEST_F(OptionsSheetTest, TheProxyControlsFollowUseProxyAndTheAccountDialog) {
  auto sheet = Open();
  sheet->tabs()->setCurrentIndex(kNetwork);
  auto* use = Find<QCheckBox>(*sheet, "useProxy");
  auto* auth = Find<QCheckBox>(*sheet, "proxyAuth");
  for (const char* name : {"proxyHost", "proxyPort", "proxyAuth", "proxyType"}) {
    EXPECT_FALSE(Find<QWidget>(*sheet, name)->isEnabled()) << name;
  }
  use->click();
  for (const char* name : {"proxyHost", "proxyPort", "proxyAuth", "proxyType"}) {
    EXPECT_TRUE(Find<QWidget>(*sheet, name)->isEnabled()) << name;
  }

  // Anything but OK with both entries unticks the box.
  auto fill = [](QString user, QString password, int result) {
    return [=](QDialog& d) {
      auto& dialog = dynamic_cast<CProxyAuthDialog&>(d);
      dialog.user()->setText(user);
      dialog.password()->setText(password);
      return result;
    };
  };
  dialogs.push_back(fill("anna", "", QDialog::Accepted));
  auth->click();
  EXPECT_FALSE(auth->isChecked());
  dialogs.push_back(fill("anna", "pw", QDialog::Rejected));
  auth->click();
  EXPECT_FALSE(auth->isChecked());
  dialogs.push_back(fill("anna", "pw", QDialog::Accepted));
  auth->click();
  EXPECT_TRUE(auth->isChecked());
  auth->click();  // unticking forgets the account
  dialogs.push_back([](QDialog& d) {
    auto& dialog = dynamic_cast<CProxyAuthDialog&>(d);
    EXPECT_EQ(dialog.user()->text(), "");
    return static_cast<int>(QDialog::Rejected);
  });
  auth->click();
  EXPECT_EQ(shown.size(), 4u);

  // A proxy needs a port it can be reached on: the user stays on the page until it has one.
  auto* port = Find<QLineEdit>(*sheet, "proxyPort");
  port->setText("0");
  sheet->tabs()->setCurrentIndex(kMain);
  EXPECT_EQ(sheet->tabs()->currentIndex(), kNetwork);
  EXPECT_FALSE(Ok(*sheet));
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{desk_text::kBadProxyPort, desk_text::kBadProxyPort}));
  EXPECT_EQ(Bytes(), "<none>");
  port->setText("65535");
  Find<QLineEdit>(*sheet, "proxyHost")->setText("HTTP://" + QString(130, 'h'));
  ASSERT_TRUE(Ok(*sheet));
  EXPECT_EQ(Saved().proxyPort, 65535);
  EXPECT_EQ(std::string(Saved().proxyAddress), std::string(127, 'h'));
  EXPECT_EQ(Saved().bProxyAuth, 0);
}

TEST_F(OptionsSheetTest, TheModemIsOfferedOnlyWithAPhoneBookAndDirectForgetsIt) {
  DeskSettings s = Saved();
  s.bConnectMethod = 1;
  s.bHangupModem = 1;
  CopyToField(s.szRasEntry, "Gone");
  Save(s);
  {
    auto sheet = Open();  // no phone book entries at all
    EXPECT_FALSE(Find<QRadioButton>(*sheet, "modem")->isEnabled());
    EXPECT_TRUE(Find<QRadioButton>(*sheet, "direct")->isChecked());
    sheet->tabs()->setCurrentIndex(kConnect);
    ASSERT_TRUE(Ok(*sheet));
    EXPECT_EQ(Saved().bConnectMethod, 0);
    EXPECT_EQ(Saved().bHangupModem, 0);
    EXPECT_STREQ(Saved().szRasEntry, "");
  }
  ASSERT_EQ(RasAddEntry(root.ctx->registry(), u"My ISP", u"1"), 0u);
  ASSERT_EQ(RasAddEntry(root.ctx->registry(), u"Office", u"2"), 0u);
  Save(s);
  {
    auto sheet = Open();  // the stored entry is gone: the first one is offered
    EXPECT_TRUE(Find<QRadioButton>(*sheet, "modem")->isChecked());
    EXPECT_EQ(Find<QComboBox>(*sheet, "rasProfile")->currentText(), "My ISP");
    EXPECT_TRUE(Find<QCheckBox>(*sheet, "hangup")->isEnabled());
    sheet->tabs()->setCurrentIndex(kConnect);
    Find<QRadioButton>(*sheet, "direct")->click();
    EXPECT_FALSE(Find<QCheckBox>(*sheet, "hangup")->isEnabled());
    ASSERT_TRUE(Ok(*sheet));
    EXPECT_EQ(Saved().bConnectMethod, 0);
    EXPECT_EQ(Saved().bHangupModem, 0);
    EXPECT_STREQ(Saved().szRasEntry, "");
  }
  // A phone book that cannot be opened offers no modem either.
  ASSERT_EQ(root.ctx->registry().SetDword(HKEY_CURRENT_USER, kRasBookKey, u"Unavailable", 1), 0);
  EXPECT_FALSE(Find<QRadioButton>(*Open(), "modem")->isEnabled());
}

TEST_F(OptionsSheetTest, TheImportFileIsChosenOnTheDesktopsDrives) {
  const std::string csv = root.ctx->root() + "/C/My Documents/stocks.csv";
  ASSERT_EQ(disk.CreateFolders(root.ctx->root() + "/C/My Documents"), 0);
  ASSERT_EQ(disk.WriteAll(csv, "MSFT\n"), 0);
  testing::TempDir elsewhere;
  ASSERT_EQ(disk.WriteAll(elsewhere.File("x.csv"), "x"), 0);
  auto choose = [](std::string path) {
    return [path](QDialog& d) {
      auto& files = dynamic_cast<QFileDialog&>(d);
      EXPECT_EQ(files.nameFilters().join('|'), "CSV Files (*.csv)|All Files (*.*)");
      files.selectFile(QString::fromStdString(path));
      return static_cast<int>(QDialog::Accepted);
    };
  };
  auto sheet = Open();
  sheet->tabs()->setCurrentIndex(kImport);
  auto* next = Find<QCheckBox>(*sheet, "importNext");
  next->click();  // cancelled
  EXPECT_FALSE(next->isChecked());
  dialogs.push_back(choose(elsewhere.File("x.csv")));
  next->click();
  EXPECT_FALSE(next->isChecked());
  EXPECT_EQ(Messages(), std::vector<std::string>{desk_text::kNotOnTheDesktop});
  dialogs.push_back(choose(csv));
  next->click();
  EXPECT_TRUE(next->isChecked());
  EXPECT_EQ(Find<QLabel>(*sheet, "importPath")->text(), "C:\\My Documents\\stocks.csv");
  EXPECT_EQ(shown, std::vector<std::string>(3, "importFileDialog"));
  ASSERT_TRUE(Ok(*sheet));
  EXPECT_EQ(Saved().bImportNextSync, 1);
  EXPECT_STREQ(Saved().szPathImport, "C:\\My Documents\\stocks.csv");
}

TEST_F(OptionsSheetTest, TheChartImportNeedsStocksAndADate) {
  auto sheet = Open();
  sheet->tabs()->setCurrentIndex(kImport);
  auto* chart = Find<QCheckBox>(*sheet, "importChart");
  auto* list = Find<QListWidget>(*sheet, "symbolList");
  auto* add = Find<QPushButton>(*sheet, "addSymbol");
  auto* all = Find<QCheckBox>(*sheet, "allStocks");
  auto* from = Find<QPushButton>(*sheet, "fromDate");
  for (QWidget* w : {static_cast<QWidget*>(list), static_cast<QWidget*>(add),
                     static_cast<QWidget*>(all), static_cast<QWidget*>(from)}) {
    EXPECT_FALSE(w->isEnabled());
  }
  chart->click();
  EXPECT_TRUE(list->isEnabled() && add->isEnabled() && all->isEnabled() && from->isEnabled());
  all->click();
  EXPECT_FALSE(list->isEnabled() || add->isEnabled());
  all->click();

  // Neither stocks nor all: the request is dropped with its message.
  sheet->tabs()->setCurrentIndex(kBackup);
  EXPECT_EQ(Messages(), std::vector<std::string>{desk_text::kNoStocksSpecified});
  EXPECT_FALSE(chart->isChecked());

  // Stocks without a date: dropped too.
  sheet->tabs()->setCurrentIndex(kImport);
  chart->click();
  auto type = [](QString text) {
    return [text](QDialog& d) {
      dynamic_cast<CAddSymbolDialog&>(d).symbol()->setText(text);
      return static_cast<int>(QDialog::Accepted);
    };
  };
  dialogs.push_back(type("msft"));
  add->click();
  dialogs.push_back(type(""));  // empty is no symbol
  add->click();
  dialogs.push_back(type("fp.pa"));
  emit list->itemDoubleClicked(list->item(0));
  EXPECT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "MSFT");
  EXPECT_EQ(list->item(1)->text(), "FP.PA");
  sheet->tabs()->setCurrentIndex(kMain);
  EXPECT_EQ(Messages().back(), desk_text::kNoDateSpecified);
  EXPECT_FALSE(chart->isChecked());
  EXPECT_EQ(list->count(), 0);

  // Sixteen symbols at most; Del removes the selected one; a date from the calendar.
  sheet->tabs()->setCurrentIndex(kImport);
  chart->click();
  for (int i = 0; i < 16; ++i) {
    dialogs.push_back(type(QStringLiteral("S%1").arg(i)));
    add->click();
  }
  EXPECT_EQ(list->count(), 16);
  EXPECT_FALSE(add->isEnabled());
  list->setCurrentRow(0);
  Find<QPushButton>(*sheet, "delSymbol")->click();
  EXPECT_EQ(list->count(), 15);
  EXPECT_TRUE(add->isEnabled());
  EXPECT_EQ(from->text(), "From: (select)");
  dialogs.push_back([](QDialog& d) {
    dynamic_cast<CCalendarDateDialog&>(d).calendar()->setSelectedDate(QDate(2006, 11, 30));
    return static_cast<int>(QDialog::Accepted);
  });
  from->click();
  EXPECT_EQ(from->text(), "From: 11/30/2006");
  ASSERT_TRUE(Ok(*sheet));
  DeskSettings s = Saved();
  EXPECT_EQ(s.bImportChart, 1);
  EXPECT_EQ(s.ulImportChartTime, 1164844800u);  // 30 November 2006, 00:00
  EXPECT_STREQ(s.szChartImport[0], "S1");
  EXPECT_STREQ(s.szChartImport[14], "S15");
  EXPECT_STREQ(s.szChartImport[15], "");

  // All stocks with a date needs no list.
  auto again = Open();
  again->tabs()->setCurrentIndex(kImport);
  EXPECT_EQ(Find<QPushButton>(*again, "fromDate")->text(), "From: 11/30/2006");
  Find<QListWidget>(*again, "symbolList")->clear();
  Find<QCheckBox>(*again, "allStocks")->click();
  ASSERT_TRUE(Ok(*again));
  EXPECT_EQ(Saved().ucImportChartAll, 1);
  EXPECT_EQ(Saved().bImportChart, 1);
}

TEST(TextDateDialogTest, TakesOnlyRealDatesAsMonthDayYear) {
  CTextDateDialog dialog(QDate(), nullptr);
  auto date = [&](const char* text) {
    dialog.text()->setText(QString::fromLatin1(text));
    return dialog.Date();
  };
  EXPECT_EQ(date("11/30/2006"), QDate(2006, 11, 30));
  EXPECT_EQ(date(" 2/3/2004 "), QDate(2004, 2, 3));
  EXPECT_FALSE(date("30/11/2006"));
  EXPECT_FALSE(date("02/30/2006"));
  EXPECT_FALSE(date("1/1/1969"));
  EXPECT_FALSE(date("11-30-2006"));
  EXPECT_FALSE(date(""));
}

TEST_F(OptionsSheetTest, ARestoreIsChosenFromTheBackupSetsThere) {
  const std::string backup = dir.hostPath + "/Backup";
  ASSERT_EQ(disk.CreateFolders(backup), 0);
  for (const char* name : {"20261207_QuilletDB", "20261207_StockNoteDB", "2026120_QuilletDB",
                           "abcdefgh_QuilletDB", "20261130_QuilletDB"}) {
    ASSERT_EQ(disk.WriteAll(backup + "/" + name, "x"), 0);
  }
  auto sheet = Open();
  sheet->tabs()->setCurrentIndex(kBackup);
  auto* restore = Find<QCheckBox>(*sheet, "restoreNext");
  dialogs.push_back([](QDialog& d) {
    auto& select = dynamic_cast<CSelectDateDialog&>(d);
    EXPECT_EQ(select.list()->count(), 2);
    EXPECT_EQ(select.list()->item(0)->text(), "20261130");
    EXPECT_EQ(select.Selected(), "20261207");  // nothing chosen before: the last one
    select.list()->setCurrentRow(0);
    return static_cast<int>(QDialog::Accepted);
  });
  restore->click();
  EXPECT_TRUE(restore->isChecked());
  ASSERT_TRUE(Ok(*sheet));
  EXPECT_EQ(Saved().bRestoreNextTime, 1);
  EXPECT_STREQ(Saved().RestoreTime, "20261130");

  auto again = Open();
  again->tabs()->setCurrentIndex(kBackup);
  auto* box = Find<QCheckBox>(*again, "restoreNext");
  box->click();  // unticked by the user
  dialogs.push_back([](QDialog& d) {
    EXPECT_EQ(dynamic_cast<CSelectDateDialog&>(d).Selected(), "20261130");
    return static_cast<int>(QDialog::Rejected);
  });
  box->click();  // cancelled
  EXPECT_FALSE(box->isChecked());
  ASSERT_TRUE(Ok(*again));
  EXPECT_EQ(Saved().bRestoreNextTime, 0);
}

TEST_F(OptionsSheetTest, HelpNotesAppearWhileTheMouseIsOverTheIcon) {
  auto sheet = Open();
  sheet->show();
  const std::pair<Page, unsigned> pages[] = {{kNetwork, strings::IDS_HELP_NETWORK},
                                             {kConnect, strings::IDS_HELP_CONNECT},
                                             {kExport, strings::IDS_HELP_EXPORT},
                                             {kImport, strings::IDS_HELP_IMPORT}};
  for (auto [page, id] : pages) {
    auto* icon = sheet->page(page)->findChild<CHelpIcon*>(QStringLiteral("helpIcon"));
    ASSERT_NE(icon, nullptr) << page;
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(icon, &enter);
    ASSERT_NE(icon->note(), nullptr);
    EXPECT_TRUE(icon->note()->isVisible());
    EXPECT_EQ(icon->note()->text().toStdString(), strings::LoadString(id));
    EXPECT_FALSE(icon->note()->windowFlags() & Qt::WindowTitleHint);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(icon, &leave);
    EXPECT_EQ(icon->note(), nullptr);
  }
  EXPECT_EQ(sheet->page(kMain)->findChild<CHelpIcon*>(), nullptr);
  EXPECT_EQ(sheet->page(kSync)->findChild<CHelpIcon*>(), nullptr);
}

TEST_F(OptionsSheetTest, TheLogAndTheMakersSiteOpenInTheDesktopsViewer) {
  auto sheet = Open();
  Find<QPushButton>(*sheet, "viewLog")->click();
  EXPECT_EQ(Messages(), std::vector<std::string>{"No log file!"});
  EXPECT_EQ(root.answers.shown().back().caption, "Quillet");
  EXPECT_TRUE(opened.empty());
  ASSERT_EQ(disk.WriteAll(dir.hostPath + "/QuilletLog.txt", "Quillet log started\n"), 0);
  Find<QPushButton>(*sheet, "viewLog")->click();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], dir.hostPath + "/QuilletLog.txt");
  EXPECT_EQ(Find<QLabel>(*sheet, "version")->text(), "v4.36");
  emit Find<QLabel>(*sheet, "makerLink")->linkActivated(desk_text::kMakerSite);
  EXPECT_EQ(opened.back(), desk_text::kMakerSite);
}

TEST_F(OptionsSheetTest, ASaveThatFailsIsToldAndTheSheetStaysOpen) {
  DeskSettings s = Saved();
  s.BackupMode = 2;
  Save(s);
  const std::string before = Bytes();
  FaultInjectingFileSystem faulty(disk);
  faulty.FailOn(FaultInjectingFileSystem::Op::kRename, "Quillet.ini");
  root.ctx->SetFiles(&faulty);
  auto sheet = Open();
  Find<QCheckBox>(*sheet, "askUpdate")->click();
  EXPECT_FALSE(Ok(*sheet));
  EXPECT_EQ(Messages(), std::vector<std::string>{desk_text::kCannotSave});
  EXPECT_EQ(Bytes(), before);
  EXPECT_TRUE(Ok(*sheet));  // the disk works again
  root.ctx->SetFiles(nullptr);
  EXPECT_EQ(Saved().bUpdateAsk, 1);
  EXPECT_EQ(Saved().BackupMode, 2);
}

}  // namespace
}  // namespace quillet
