#include "ui/win32/dir_tree.h"

#include <vector>

namespace dorvane {

namespace {

// Item data: 0 = children not read yet, 1 = read.
constexpr LPARAM kUnread = 0;
constexpr LPARAM kRead = 1;

std::string WithoutTrailingSep(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

}  // namespace

HTREEITEM DirTree::Add(HTREEITEM parent, const std::string& name) {
  TVINSERTSTRUCTA ins{};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_PARAM;
  ins.item.pszText = const_cast<char*>(name.c_str());
  ins.item.cChildren = 1;  // known once it is expanded
  ins.item.lParam = kUnread;
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

std::string DirTree::TextOf(HTREEITEM item) const {
  char buf[MAX_PATH];
  TVITEMA it{};
  it.mask = TVIF_TEXT;
  it.hItem = item;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  buf[0] = '\0';
  SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return buf;
}

std::string DirTree::PathOf(HTREEITEM item) const {
  std::string path;
  for (HTREEITEM up = item; up; up = TreeView_GetParent(tree_, up)) {
    const std::string name = WithoutTrailingSep(TextOf(up));
    path = path.empty() ? name : name + "\\" + path;
  }
  return path;
}

void DirTree::Fill(HTREEITEM item) {
  TVITEMA it{};
  it.mask = TVIF_PARAM;
  it.hItem = item;
  SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  if (it.lParam == kRead) return;
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((PathOf(item) + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & hidden) && name != "." &&
          name != "..")
        names.push_back(name);
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  for (const std::string& name : names) Add(item, name);
  SendMessageA(tree_, TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(item));
  it.mask = TVIF_PARAM | TVIF_CHILDREN;
  it.lParam = kRead;
  it.cChildren = names.empty() ? 0 : 1;
  SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}

void DirTree::ShowDrive(const std::string& root) {
  root_ = root;
  open_ = nullptr;
  TreeView_DeleteAllItems(tree_);
  HTREEITEM top = Add(TVI_ROOT, root);
  Fill(top);
  TreeView_Expand(tree_, top, TVE_EXPAND);
}

void DirTree::SetDrive(const std::string& root) {
  ShowDrive(root);
  Open(TreeView_GetRoot(tree_));
}

bool DirTree::OpenFolder(const std::string& path) {
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) return false;
  const DWORD attributes = GetFileAttributesA(full);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  const std::string folder = WithoutTrailingSep(full);
  if (folder.size() < 2 || folder[1] != ':') return false;  // drives only, as the drive list
  const std::string root = folder.substr(0, 2) + "\\";
  if (!tree_) return false;
  if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, root.c_str(), -1, root_.c_str(), -1) != CSTR_EQUAL)
    ShowDrive(root);
  // Down from the root, one folder at a time.
  HTREEITEM item = TreeView_GetRoot(tree_);
  size_t at = 3;
  while (item && at < folder.size()) {
    size_t end = folder.find('\\', at);
    if (end == std::string::npos) end = folder.size();
    const std::string name = folder.substr(at, end - at);
    Fill(item);
    TreeView_Expand(tree_, item, TVE_EXPAND);
    HTREEITEM child = TreeView_GetChild(tree_, item);
    while (child && lstrcmpiA(TextOf(child).c_str(), name.c_str()) != 0) child = TreeView_GetNextSibling(tree_, child);
    item = child;
    at = end + 1;
  }
  if (!item) return false;
  Open(item);
  return true;
}

void DirTree::Open(HTREEITEM item) {
  if (!item) return;
  TVITEMA it{};
  it.mask = TVIF_STATE;
  it.stateMask = TVIS_BOLD;
  if (open_) {
    it.hItem = open_;
    it.state = 0;
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  }
  open_ = item;
  it.hItem = item;
  it.state = TVIS_BOLD;
  SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  openPath_ = PathOf(item);
  // Revealed once, when it is opened.
  Fill(item);
  TreeView_Expand(tree_, item, TVE_EXPAND);
  TreeView_SelectItem(tree_, item);
  TreeView_EnsureVisible(tree_, item);
  if (onOpened) onOpened();
}

void DirTree::OpenSelected() { Open(TreeView_GetSelection(tree_)); }

LRESULT DirTree::OnNotify(NMHDR& hdr) {
  switch (hdr.code) {
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW: {
      auto& tv = reinterpret_cast<NMTREEVIEWA&>(hdr);
      if (tv.action & TVE_EXPAND) Fill(tv.itemNew.hItem);
      return 0;
    }
    case NM_DBLCLK: {
      TVHITTESTINFO hit{};
      GetCursorPos(&hit.pt);
      ScreenToClient(tree_, &hit.pt);
      HTREEITEM item = TreeView_HitTest(tree_, &hit);
      if (item && (hit.flags & TVHT_ONITEM)) Open(item);
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace dorvane
