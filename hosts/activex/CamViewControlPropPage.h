#pragma once
// The control's property page: dialog 200 with the caption "General" and no fields.
#include "hosts/activex/olecontrol/PropertyPage.h"

class CCamViewControlPropPage final : public olecontrol::DialogPropertyPage {
public:
  CCamViewControlPropPage();
};
