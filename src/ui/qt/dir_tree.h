// Dir1: a tree of the folders of one drive. A double click (or Enter) opens
// a folder; the open folder is shown in bold and is the one the "Set"
// buttons copy, not merely the highlighted one.
#pragma once

#include <functional>

#include <QFileSystemModel>
#include <QSet>
#include <QTreeView>

namespace dorvane {

class DirModel : public QFileSystemModel {
 public:
  using QFileSystemModel::QFileSystemModel;
  QString openPath;
  QVariant data(const QModelIndex& index, int role) const override;
};

class DirTree : public QTreeView {
 public:
  explicit DirTree(QWidget* parent = nullptr);
  // Shows the folders of the drive whose root is given and opens its root.
  void SetDrive(const QString& root);
  // Opens a folder, switching drive when needed; false when it is not a folder.
  bool OpenFolder(const QString& path);
  // The open folder, in the platform's form, without a trailing separator.
  QString OpenPath() const;
  QString DriveRoot() const { return root_; }

  std::function<void()> onOpened;

 private:
  void Reveal();
  DirModel model_;
  QString root_;
  QSet<QString> unread_;  // folders on the way to the open one not read since it was opened
};

}  // namespace dorvane
