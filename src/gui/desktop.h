#pragma once

class QApplication;

namespace cfg {

// The interactive program, from the start dialog on: message boxes, file dialogs, the settings
// and logs of the program folder. Returns the exit status.
int RunDesktop(QApplication& app);

}  // namespace cfg
