#pragma once

namespace tunora {

// Keeps stderr readable whatever others send over the bus: each kind of log
// message (its domain and its text, digits aside) is written at most three
// times a minute, from the program or from a library it uses; the fourth
// time says that the rest are left out. Fatal messages always pass. Installs
// the process's GLib log writer, once. Every message it writes is marked
// SYSLOG_IDENTIFIER=tunora for the journal.
void limitRepeatedLogMessages();

} // namespace tunora
