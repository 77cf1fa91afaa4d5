#pragma once

namespace cfg {

// SIGINT and SIGTERM as a request to stop: the work in progress stops after the exchange under
// way, as the user's "Cancelar" does. A second SIGINT ends the program at once with 130, for a
// scale that takes its time.
void CatchInterrupts();
// Whether one of them came since CatchInterrupts.
bool InterruptRequested();

}  // namespace cfg
