#include "hosts/activex/olecontrol/PropertyPage.h"

#include "hosts/activex/olecontrol/ComSupport.h"
#include "hosts/activex/olecontrol/Module.h"

namespace olecontrol {
namespace {

INT_PTR CALLBACK pageDialogProcedure(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

} // namespace

DialogPropertyPage::DialogPropertyPage(UINT dialogId, UINT captionId) : dialogId_(dialogId), captionId_(captionId) {
  objectCreated();
}

DialogPropertyPage::~DialogPropertyPage() {
  Deactivate();
  releaseObjects();
  if (site_) site_->Release();
  objectDestroyed();
}

HRESULT DialogPropertyPage::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage)) {
    *object = static_cast<IPropertyPage*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DialogPropertyPage::AddRef() { return references_.fetch_add(1) + 1; }

ULONG DialogPropertyPage::Release() {
  ULONG left = references_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return left;
}

HRESULT DialogPropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  return S_OK;
}

HRESULT DialogPropertyPage::Activate(HWND parent, LPCRECT position, BOOL) {
  if (dialog_) return E_UNEXPECTED;
  dialog_ = CreateDialogParamW(moduleInstance(), MAKEINTRESOURCEW(dialogId_), parent, pageDialogProcedure, 0);
  if (!dialog_) return E_OUTOFMEMORY;
  if (position) Move(position);
  return S_OK;
}

HRESULT DialogPropertyPage::Deactivate() {
  if (dialog_) DestroyWindow(dialog_);
  dialog_ = nullptr;
  return S_OK;
}

SIZE DialogPropertyPage::dialogSize() {
  // The template is in dialog units of its font; the frame wants pixels. Measuring a hidden
  // instance of the dialog converts them as the dialog manager does.
  SIZE size{0, 0};
  HWND probe =
      CreateDialogParamW(moduleInstance(), MAKEINTRESOURCEW(dialogId_), GetDesktopWindow(), pageDialogProcedure, 0);
  if (!probe) return size;
  RECT area{};
  GetWindowRect(probe, &area);
  DestroyWindow(probe);
  size.cx = area.right - area.left;
  size.cy = area.bottom - area.top;
  return size;
}

HRESULT DialogPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  return guarded([&] {
    *info = PROPPAGEINFO{};
    info->cb = sizeof *info;
    info->pszTitle = copyToTaskMemory(loadResourceString(captionId_).c_str());
    if (!info->pszTitle) return E_OUTOFMEMORY;
    info->size = dialogSize();
    return S_OK;
  });
}

HRESULT DialogPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count > 0 && !objects) return E_POINTER;
  return guarded([&] {
    releaseObjects();
    objects_.reserve(count);
    for (ULONG i = 0; i < count; ++i) {
      if (!objects[i]) continue;
      objects[i]->AddRef();
      objects_.push_back(objects[i]);
    }
    return S_OK;
  });
}

void DialogPropertyPage::releaseObjects() {
  for (IUnknown* object : objects_) object->Release();
  objects_.clear();
}

HRESULT DialogPropertyPage::Show(UINT command) {
  if (!dialog_) return E_UNEXPECTED;
  ShowWindow(dialog_, static_cast<int>(command));
  return S_OK;
}

HRESULT DialogPropertyPage::Move(LPCRECT position) {
  if (!position) return E_POINTER;
  if (!dialog_) return E_UNEXPECTED;
  MoveWindow(dialog_, position->left, position->top, position->right - position->left, position->bottom - position->top,
             TRUE);
  return S_OK;
}

} // namespace olecontrol
