// The windows library as the provider reaches it in the sync manager: loaded by path, its three
// exports called with the sync manager's window handle and the desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "desktop/desk_settings.h"
#include "desktop/provider/desk_ui_bridge.h"
#include "desktop/working_directory.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

class DeskUiModule : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    library = LoadedLibrary::LoadFile(testing::BuiltProgram("lib/QuilletDeskUi.so"),
                                      ModuleEnvironment{}, &error);
    ASSERT_NE(library, nullptr) << error;
    open = library->Proc<OpenRunWindowsProc>(kOpenRunWindowsExport);
    close = library->Proc<CloseRunWindowsProc>(kCloseRunWindowsExport);
    options = library->Proc<ShowOptionsProc>(kShowOptionsExport);
    ASSERT_TRUE(open && close && options);
    // The sync manager's window, marked with the handle it gives the providers.
    syncWindow.setProperty("quilletHwnd", QVariant::fromValue<qulonglong>(kHandle));
    syncWindow.setGeometry(200, 200, 400, 300);
    syncWindow.show();
  }
  // Answers the next modal window by clicking its button `name`.
  void AnswerNextModal(const char* name) {
    QTimer::singleShot(0, [name] {
      QWidget* modal = QApplication::activeModalWidget();
      ASSERT_NE(modal, nullptr);
      modal->findChild<QPushButton*>(QString::fromLatin1(name))->click();
    });
  }

  static constexpr HWND kHandle = 0x1234500000001ull;
  std::unique_ptr<LoadedLibrary> library;
  OpenRunWindowsProc open = nullptr;
  CloseRunWindowsProc close = nullptr;
  ShowOptionsProc options = nullptr;
  QWidget syncWindow;
};

TEST_F(DeskUiModule, TheProgressWindowOfARunSitsOnTheSyncManagersWindow) {
  DeskRunHost* host = open(kHandle);
  ASSERT_NE(host, nullptr);
  CancelToken cancel;
  {
    std::unique_ptr<DeskProgress> progress = host->OpenProgress(cancel);
    ASSERT_NE(progress, nullptr);
    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "deskProgress" && w->isVisible()) window = w;
    }
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWidget(), &syncWindow);
    // Its Cancel reaches the run.
    window->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    EXPECT_TRUE(cancel.cancelled());
  }
  close(host);
  // An unknown handle still gets windows, centred on the screen.
  host = open(0x99);
  ASSERT_NE(host, nullptr);
  close(host);
}

TEST_F(DeskUiModule, TheOptionsSheetSavesOnlyWhenConfirmed) {
  testing::TestRoot desk(PlatformContext::Kind::kDesktop);
  EXPECT_EQ(options(desk.ctx.get(), kHandle), -1) << "no ActiveSync folder to keep settings in";
  EXPECT_EQ(options(nullptr, kHandle), -1);
  ASSERT_EQ(desk.ctx->registry().SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                                           u"C:\\Program Files\\Microsoft ActiveSync"),
            0);
  const WorkingDirectory dir = *FindWorkingDirectory(*desk.ctx);
  bool exists = true;
  LoadDeskSettings(*desk.ctx, dir, &exists);
  ASSERT_FALSE(exists);
  AnswerNextModal("cancel");
  EXPECT_EQ(options(desk.ctx.get(), kHandle), 0);
  LoadDeskSettings(*desk.ctx, dir, &exists);
  EXPECT_FALSE(exists);
  AnswerNextModal("ok");
  EXPECT_EQ(options(desk.ctx.get(), kHandle), 1);
  LoadDeskSettings(*desk.ctx, dir, &exists);
  EXPECT_TRUE(exists);
}

}  // namespace
}  // namespace quillet
