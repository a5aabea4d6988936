#include "ui/qt/dir_tree.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QStorageInfo>
#include <QTimer>

namespace dorvane {

QVariant DirModel::data(const QModelIndex& index, int role) const {
  if (role == Qt::FontRole && !openPath.isEmpty() && filePath(index) == openPath) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  return QFileSystemModel::data(index, role);
}

DirTree::DirTree(QWidget* parent) : QTreeView(parent) {
  model_.setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_.setReadOnly(true);
  setModel(&model_);
  for (int column = 1; column < model_.columnCount(); ++column) hideColumn(column);
  header()->hide();
  setUniformRowHeights(true);
  setExpandsOnDoubleClick(false);
  // The model reads folders in the background: reveal the open folder as
  // each folder on its way is first read after opening. The model sends the
  // same signal again whenever a watched folder changes: that must not undo
  // the user's scrolling.
  connect(&model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
    if (!unread_.remove(QDir::cleanPath(loaded))) return;
    // after the model's own delayed sort has placed the rows
    QTimer::singleShot(60, this, [this] { Reveal(); });
  });
  connect(this, &QTreeView::activated, this, [this](const QModelIndex& index) { OpenFolder(model_.filePath(index)); });
}

void DirTree::SetDrive(const QString& root) {
  root_ = QDir::cleanPath(root);
  model_.setRootPath(root_);
  setRootIndex(model_.index(root_));
  model_.openPath = root_;
  unread_.clear();
  viewport()->update();
  if (onOpened) onOpened();
}

bool DirTree::OpenFolder(const QString& path) {
  QFileInfo info(path);
  if (!info.isDir()) return false;
  const QString folder = QDir::cleanPath(info.absoluteFilePath());
  const QString root = QDir::cleanPath(QStorageInfo(folder).rootPath());
  if (!root.isEmpty() && root != root_) {
    root_ = root;
    model_.setRootPath(root_);
    setRootIndex(model_.index(root_));
  }
  model_.openPath = folder;
  unread_.clear();
  for (QString up = folder;; up = QFileInfo(up).path()) {
    const QModelIndex index = model_.index(up);
    if (!index.isValid() || model_.canFetchMore(index)) unread_.insert(up);
    if (up == root_ || QFileInfo(up).path() == up) break;
  }
  Reveal();
  if (onOpened) onOpened();
  return true;
}

void DirTree::Reveal() {
  const QModelIndex index = model_.index(model_.openPath);
  if (index.isValid()) {
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) expand(up);
    expand(index);
    setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
  }
  viewport()->update();
}

QString DirTree::OpenPath() const {
  QString path = QDir::toNativeSeparators(model_.openPath);
  // "C:\" is held as "C:", so that joining a name gives "C:\name"; "/" stays.
  if (path.size() > 1 && (path.endsWith('\\') || path.endsWith('/'))) path.chop(1);
  return path;
}

}  // namespace dorvane
