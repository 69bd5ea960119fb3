// TMainView operations of the result grid and the memo editor.
#include "shell/UMainView.h"

void TMainView::initGridPart() {}
void TMainView::DBGrid1DblClick() {}
