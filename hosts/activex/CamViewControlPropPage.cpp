#include "hosts/activex/CamViewControlPropPage.h"

#include "hosts/activex/ResourceIds.h"

CCamViewControlPropPage::CCamViewControlPropPage()
    : olecontrol::DialogPropertyPage(IDD_PROPPAGE_CAMVIEWCONTROL, IDS_CAMVIEWCONTROL_PPG_CAPTION) {}
