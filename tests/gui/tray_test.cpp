// The tray icon, the window's placement and the About box, through the Qt
// implementation of the Ui port and the same entry points the tray uses.
#include <gtest/gtest.h>

#include <QMessageBox>

#include "gui/gui_support.h"

namespace dorvane::test {
namespace {

bool Topmost(QWidget& w) { return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

TEST(TrayIcon, DoubleClickRestoresMinimiseHidesSingleClickDoesNothing) {
  QtUiWindow f(true, "/STOP");
  EXPECT_FALSE(f.w.isVisible()) << "started without /NONID: only the icon";
  EXPECT_TRUE(Topmost(f.w));

  emit f.ui.Tray().activated(QSystemTrayIcon::Trigger);
  QApplication::processEvents();
  EXPECT_FALSE(f.w.isVisible());

  emit f.ui.Tray().activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(f.w.isVisible());
  EXPECT_FALSE(f.w.isMinimized());

  f.w.showMinimized();
  QTRY_VERIFY_WITH_TIMEOUT(!f.w.isVisible(), 2000);
  EXPECT_TRUE(f.ui.Tray().isVisible()) << "the icon stays";

  emit f.ui.Tray().activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(f.w.isVisible());
  EXPECT_FALSE(f.w.isMinimized());
}

TEST(TrayIcon, MenuHasOneBoldEntryThatEndsTheProgramNormally) {
  QtUiWindow f(true, "/STOP");
  f.ui.SetTopmost(false);
  emit f.ui.Tray().activated(QSystemTrayIcon::Context);
  EXPECT_TRUE(Topmost(f.w)) << "a right click puts the window back in the topmost band";

  QMenu* menu = f.ui.Tray().contextMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions()[0], f.w.m_esci);
  EXPECT_EQ(menu->defaultAction(), f.w.m_esci) << "shown in bold";

  f.w.m_esci->trigger();
  EXPECT_TRUE(f.d->Ended());
  EXPECT_FALSE(f.ui.Tray().isVisible());
  ASSERT_NE(f.ui.ClosingNotice(), nullptr);
  EXPECT_EQ(f.LogLines("OK:  |CHIUSURA ZTK DORVANE|"), 1);
  f.ui.ClosingNotice()->close();
}

TEST(TrayIcon, WithoutANotificationAreaTheWindowIsMinimisedNotHiddenAndTheLogSaysSoOnce) {
  QtUiWindow f(false, "/STOP");
  EXPECT_TRUE(f.w.isVisible());
  EXPECT_TRUE(f.w.isMinimized());
  f.w.showNormal();
  f.w.showMinimized();
  QApplication::processEvents();
  EXPECT_TRUE(f.w.isVisible());
  EXPECT_EQ(f.LogLines("AREA DI NOTIFICA NON DISPONIBILE"), 1);
}

TEST(WindowPlacement, MessageBoxesTakeTheWindowOutOfTheTopmostBandWhileUp) {
  QtUiWindow f(true, "/NONID /STOP");
  ASSERT_TRUE(Topmost(f.w));
  bool topmostWhileUp = true;
  QString text;
  OnNextModal([&](QWidget* modal) {
    topmostWhileUp = Topmost(f.w);
    auto* box = qobject_cast<QMessageBox*>(modal);
    text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  f.w.txtTimerVal->selectAll();
  QTest::keyClicks(f.w.txtTimerVal, "0");
  QTest::mouseClick(f.w.cmdChgTimer, Qt::LeftButton);
  EXPECT_EQ(text, "Valore non ammesso");
  EXPECT_FALSE(topmostWhileUp);
  EXPECT_TRUE(Topmost(f.w));
}

TEST(AboutBox, ClosesWithEscOrEnterAndPutsTheWindowBackOnTop) {
  QtUiWindow f(true, "/NONID /STOP");
  for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
    f.ui.SetTopmost(false);
    bool closed = false;
    OnNextModal([&](QWidget* about) {
      EXPECT_EQ(about->parentWidget(), &f.w) << "owned by the main window";
      QTest::keyClick(about, key);
      closed = about->isHidden();
    });
    f.w.m_info->trigger();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(Topmost(f.w)) << "the main window goes back on top";
  }
}

}  // namespace
}  // namespace dorvane::test
