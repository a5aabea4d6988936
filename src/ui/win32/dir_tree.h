// Dir1: a tree view of the folders of one drive, read as they are expanded.
// A double click (or Enter) opens a folder; the open folder is shown in bold
// and is the one the "Set" buttons copy, not merely the highlighted one.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

namespace dorvane {

class DirTree {
 public:
  void Attach(HWND tree) { tree_ = tree; }
  HWND Hwnd() const { return tree_; }
  // Shows the folders of the drive whose root ("C:\") is given and opens its root.
  void SetDrive(const std::string& root);
  // Opens a folder, switching drive when needed, and reveals it; false when
  // it is not a folder.
  bool OpenFolder(const std::string& path);
  // Enter on the tree opens the highlighted folder.
  void OpenSelected();
  // The open folder without a trailing separator ("C:" for a drive's root).
  const std::string& OpenPath() const { return openPath_; }
  const std::string& DriveRoot() const { return root_; }
  // The tree's notifications, forwarded by the window.
  LRESULT OnNotify(NMHDR& hdr);

  std::function<void()> onOpened;

 private:
  HTREEITEM Add(HTREEITEM parent, const std::string& name);
  void Fill(HTREEITEM item);
  std::string PathOf(HTREEITEM item) const;
  std::string TextOf(HTREEITEM item) const;
  void Open(HTREEITEM item);
  void ShowDrive(const std::string& root);

  HWND tree_ = nullptr;
  std::string root_;
  std::string openPath_;
  HTREEITEM open_ = nullptr;
};

}  // namespace dorvane
