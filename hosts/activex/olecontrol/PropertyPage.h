#pragma once
// A property page made of one dialog template of the module: the frame a container (or the
// control's Properties verb) opens shows it on a tab with the caption string. The page
// edits nothing of its own: it has no data exchange, is never dirty, and Apply does nothing.
#include "hosts/activex/olecontrol/ComSupport.h"

#include <ocidl.h>

#include <atomic>
#include <vector>

namespace olecontrol {

class DialogPropertyPage : public IPropertyPage {
public:
  DialogPropertyPage(UINT dialogId, UINT captionId);
  virtual ~DialogPropertyPage();
  DialogPropertyPage(const DialogPropertyPage&) = delete;
  DialogPropertyPage& operator=(const DialogPropertyPage&) = delete;

  HWND dialog() const { return dialog_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT position, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Apply() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }

private:
  void releaseObjects();
  SIZE dialogSize();

  const UINT dialogId_;
  const UINT captionId_;
  std::atomic<ULONG> references_{1};
  IPropertyPageSite* site_ = nullptr;
  std::vector<IUnknown*> objects_;
  HWND dialog_ = nullptr;
};

} // namespace olecontrol
