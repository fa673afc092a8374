#pragma once
// Resource numbers of CamViewControl.ocx (shared by the .rc script and the code).

#define IDS_CAMVIEWCONTROL 1     // type name of the control class
#define IDS_CAMVIEWCONTROL_PPG 2 // type name of the property page class
#define IDS_CAMVIEWCONTROL_PPG_CAPTION 200
#define IDD_PROPPAGE_CAMVIEWCONTROL 200
#define IDB_CAMVIEWCONTROL 1 // toolbox bitmap, 16 x 15
#define IDR_TYPELIB 1
