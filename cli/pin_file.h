// The PIN file, written the way the host application writes it: the user's PIN as the only
// word of C:\APP\qmt\GEN\ToolvexPin.txt, where the library reads it.
#ifndef QMTSR_CLI_PIN_FILE_H
#define QMTSR_CLI_PIN_FILE_H

#include <string>

namespace qmtsr {

// Asks for the PIN on the terminal without echo (or reads one line from a non-terminal
// stdin). Returns false with `error` set when no PIN could be read.
bool PromptPin(std::string& pin, std::string& error);

// Writes the PIN file where the fixed path lands on this machine,
// $QMT_DRIVE_ROOT/C/APP/qmt/GEN/ToolvexPin.txt (readable by the owner only), creating its folders.
bool WritePinFile(const std::string& pin, std::string& error);

}  // namespace qmtsr

#endif
