// TMainView operations of the connection subsystem: opening, the after-connect analysis,
// the catalogue tree, the disconnect handling and the profile files.
#include "shell/UMainView.h"

void TMainView::initConnectionPart() {}
void TMainView::OpenConnection() {}
void TMainView::EditConnection() {}
void TMainView::ADOConnection1AfterConnect() {}
void TMainView::ADOConnection1AfterDisconnect() {}
void TMainView::FillTree() {}
void TMainView::TreeView1Click() {}
void TMainView::TreeView1Expanded(QTreeWidgetItem *) {}
void TMainView::LoadProfile(const QString &) {}
void TMainView::SaveProfile(const QString &) {}
