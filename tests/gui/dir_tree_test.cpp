// Dir1 keeps the user's scrolling while other programs create and delete
// folders beside the open one and beside its parents.
#include <gtest/gtest.h>

#include <QDir>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "ui/qt/dir_tree.h"

namespace dorvane::test {
namespace {

TEST(DirTree, FolderChangesNeverUndoTheUsersScrolling) {
  QTemporaryDir tmp;
  QDir top(tmp.path());
  for (int i = 0; i < 60; ++i) top.mkpath(QString("a%1").arg(i, 2, 10, QChar('0')));
  top.mkpath("a30/shop/in");
  DirTree tree;
  tree.resize(200, 150);
  tree.show();
  ASSERT_TRUE(tree.OpenFolder(top.filePath("a30/shop/in")));
  const QString open = tree.OpenPath();
  QTest::qWait(1000);  // the folders on the way are read and the open one revealed
  ASSERT_GT(tree.verticalScrollBar()->value(), 0);

  tree.verticalScrollBar()->setValue(0);  // the user scrolls to the top
  for (const char* dir : {"a30/shop/new", "a30/other", "zz"}) top.mkpath(dir);
  QTest::qWait(1000);
  for (const char* dir : {"a30/shop/new", "a30/other", "zz"}) top.rmdir(dir);
  QTest::qWait(1000);
  EXPECT_EQ(tree.verticalScrollBar()->value(), 0);
  EXPECT_EQ(tree.OpenPath(), open);
  EXPECT_EQ(QDir::toNativeSeparators(static_cast<QFileSystemModel*>(tree.model())->filePath(tree.currentIndex())), open);
}

}  // namespace
}  // namespace dorvane::test
